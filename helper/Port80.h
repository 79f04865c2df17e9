#pragma once

#include <string>

namespace halvern::helper {

/// A non-blocking TCP socket listening on 127.0.0.1:80 (SO_REUSEADDR, the system's largest
/// backlog), as Zorvik's placeholder server listens; -1 with the system's reason ("Address
/// already in use", "Permission denied") when the port cannot be had.
int openPort80Listener(std::string& error);

}  // namespace halvern::helper
