// Reads a list file and a settings file as a start does (the list's count for the settings, the
// settings, then the whole list for the hosts build), for peak-memory measurements of files
// padded with blank lines. bench/listload/blank-lines.sh runs it under /usr/bin/time -v.
//
//   listload_blank <list file> <settings file>

#include <cstdio>
#include <string>

#include "core/IniFile.h"
#include "core/ListFiles.h"
#include "platform/linux/PosixFileSystem.h"

using namespace halvern;

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: listload_blank <list file> <settings file>\n");
        return 2;
    }
    platform::PosixFileSystem files;
    files.onReadRefused = [](const std::string& path, const platform::ReadResult& result) {
        std::printf("refused %s: %s\n", path.c_str(), result.error.c_str());
    };
    const auto countText = core::ListFiles::readCountText(files, argv[1]);
    const core::IniFile settings(files, argv[2]);
    const std::string minimized = settings.get("Settings", "bMinimized", "0");
    const core::ListFiles::List list = core::ListFiles::read(files, argv[1]);
    std::printf("count text '%s', bMinimized=%s, %d entries\n", countText.value_or("").c_str(),
                minimized.c_str(), list.count);
    return 0;
}
