#pragma once

#include <functional>

#include "platform/Autostart.h"
#include "platform/Browser.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/FileSystem.h"
#include "platform/HostsAccess.h"
#include "platform/Http.h"
#include "platform/InputDevice.h"
#include "platform/Launcher.h"
#include "platform/PasswordHasher.h"
#include "platform/Processes.h"
#include "platform/ProgramProcess.h"
#include "platform/Registry.h"
#include "platform/Resolver.h"
#include "platform/Scheduler.h"
#include "platform/ScratchFiles.h"
#include "platform/SingleInstance.h"
#include "platform/Sound.h"
#include "platform/TcpListener.h"
#include "platform/Tray.h"
#include "platform/UserStore.h"

namespace halvern::platform {

/// The services the program reaches the world through, real or fake, handed in as one bundle.
struct Platform {
    Scheduler& scheduler;
    FileSystem& files;
    Dialogs& dialogs;
    UserStore& userStore;
    Launcher& launcher;
    ProgramProcess& process;
    Resolver& resolver;
    SingleInstance& instance;
    Tray& tray;
    Sound& sound;
    TcpListener& listener;
    Desktop& desktop;
    Processes& processes;
    Http& http;
    PasswordHasher& hasher;
    ScratchFiles& scratch;
    Autostart& autostart;
    Registry& registry;
    Browser& browser;
    InputDevice& input;
    /// Whether this run may change the hosts file and serve port 80, asked once the program
    /// knows it is the only copy of this user (a second copy would take the privileged helper
    /// from the first); when not, it runs without ad-server blocking and says why. Empty: it
    /// may (run as root).
    std::function<HostsAccess()> claimHostsAccess{};
};

}  // namespace halvern::platform
