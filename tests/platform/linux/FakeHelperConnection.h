#pragma once

#include <string>
#include <vector>

#include "platform/FileSystem.h"
#include "platform/linux/HelperConnection.h"

namespace halvern::platform::testing {

/// zorvik-helper in the test's hands: records every request as a line ("write /etc/hosts",
/// "copy /etc/hostszvb /etc/hosts"), carries the changes out on the file system it is given
/// (root's view of the files), or refuses them all with `refusal`; port 80 is whatever
/// descriptor the test hands it.
class FakeHelperConnection final : public HelperConnection {
public:
    explicit FakeHelperConnection(FileSystem& rootFiles) : m_files(rootFiles) {}

    ClaimResult claim() override {
        calls.emplace_back("claim");
        return claimResult;
    }
    bool writeFile(const std::string& path, const std::string& content,
                   std::string& error) override {
        return done("write " + path, error) && carried(m_files.write(path, content), error);
    }
    bool copyFile(const std::string& from, const std::string& to, std::string& error) override {
        return done("copy " + from + " " + to, error) && carried(m_files.copy(from, to), error);
    }
    bool renameFile(const std::string& from, const std::string& to, std::string& error) override {
        return done("rename " + from + " " + to, error) && carried(m_files.rename(from, to), error);
    }
    bool removeFile(const std::string& path, std::string& error) override {
        return done("remove " + path, error) && carried(m_files.remove(path), error);
    }
    bool recover(const std::string& path, std::string& error) override {
        return done("recover " + path, error);
    }
    bool flushNameCaches(std::string& error) override { return done("flush", error); }
    int takePort80Listener(std::string& error) override {
        calls.emplace_back("port80");
        if (port80Fd < 0) {
            error = port80Error;
        }
        // Handed over once: the helper keeps no copy.
        const int fd = port80Fd;
        port80Fd = -1;
        return fd;
    }

    ClaimResult claimResult{Claim::Granted, {}, {}};
    /// When set, every change and flush is refused with this reason.
    std::string refusal;
    /// The descriptor the next takePort80Listener() hands over; -1 refuses with port80Error.
    int port80Fd = -1;
    std::string port80Error = "Address already in use";
    std::vector<std::string> calls;

private:
    bool done(std::string call, std::string& error) {
        calls.push_back(std::move(call));
        error = refusal;
        return refusal.empty();
    }
    bool carried(bool ok, std::string& error) const {
        if (!ok) {
            error = m_files.writeError().empty() ? "failed" : m_files.writeError();
        }
        return ok;
    }

    FileSystem& m_files;
};

}  // namespace halvern::platform::testing
