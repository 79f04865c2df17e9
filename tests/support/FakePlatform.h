#pragma once

#include "platform/Platform.h"
#include "platform/fake/FakeAutostart.h"
#include "platform/fake/FakeBrowser.h"
#include "platform/fake/FakeDesktop.h"
#include "platform/fake/FakeDialogs.h"
#include "platform/fake/FakeFileSystem.h"
#include "platform/fake/FakeHttp.h"
#include "platform/fake/FakeInputDevice.h"
#include "platform/fake/FakeLauncher.h"
#include "platform/fake/FakePasswordHasher.h"
#include "platform/fake/FakeProcesses.h"
#include "platform/fake/FakeProgramProcess.h"
#include "platform/fake/FakeRegistry.h"
#include "platform/fake/FakeResolver.h"
#include "platform/fake/FakeScheduler.h"
#include "platform/fake/FakeScratchFiles.h"
#include "platform/fake/FakeSingleInstance.h"
#include "platform/fake/FakeSound.h"
#include "platform/fake/FakeTcpListener.h"
#include "platform/fake/FakeTray.h"
#include "platform/fake/FakeUserStore.h"

namespace halvern::testing {

/// Every fake service, bundled as the program receives the real ones. The program folder is
/// /opt/halvern, the executable's folder as in a build tree, and holds the placeholder image;
/// settings go to kConfigFolder, lists and state to kDataFolder; the hosts file is /etc/hosts.
struct FakePlatform {
    FakePlatform() {
        files.put(kAppFolder + "/1by1.jpg", "GIF89a");
        files.makeDirectories("/etc");
    }

    static inline const std::string kAppFolder = "/opt/halvern";
    static inline const std::string kConfigFolder = "/home/user/.config/halvern";
    static inline const std::string kDataFolder = "/home/user/.local/share/halvern";

    platform::FakeScheduler clock;
    platform::FakeFileSystem files;
    platform::FakeDialogs dialogs;
    platform::FakeUserStore userStore;
    platform::FakeLauncher launcher;
    platform::FakeProgramProcess process;
    platform::FakeResolver resolver;
    platform::FakeSingleInstance instance;
    platform::FakeTray tray;
    platform::FakeSound sound;
    platform::FakeTcpListener listener;
    platform::FakeDesktop desktop;
    platform::FakeProcesses processes{clock};
    platform::FakeHttp http{clock};
    platform::FakePasswordHasher hasher;
    platform::FakeScratchFiles scratch;
    platform::FakeRegistry registry;
    platform::FakeAutostart autostart;
    platform::FakeBrowser browser;
    platform::FakeInputDevice input;
    platform::Platform platform{clock,    files,     dialogs,   userStore, launcher,
                                process,  resolver,  instance,  tray,      sound,
                                listener, desktop,   processes, http,      hasher,
                                scratch,  autostart, registry,  browser,   input};
};

}  // namespace halvern::testing
