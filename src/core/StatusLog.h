#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "forms/MainForm.h"
#include "platform/Scheduler.h"

namespace halvern::core {

/// The developer's trace in the main window's txtStatus: newest line first, recorded only after
/// "Debug" was pressed, "#" detail lines only with "Extra Debug" checked.
class StatusLog {
public:
    /// Wires cmdClear ("Debug") of the form.
    StatusLog(forms::MainForm& form, platform::Scheduler& scheduler);
    StatusLog(const StatusLog&) = delete;
    StatusLog& operator=(const StatusLog&) = delete;

    /// Puts "minute:second - text" in front of the log, keeping its first 15000 characters.
    void AddToStatus(const std::string& strIn);
    /// The same as AddToStatus.
    void SetStatusMSG(const std::string& strIn) { AddToStatus(strIn); }
    /// "Debug": starts recording (until exit) with an empty log.
    void cmdClear_Click();
    /// Calls the observer with every line given to AddToStatus, recorded or not: the trace's
    /// readers other than the window (the tests, an export).
    void observe(std::function<void(const std::string&)> observer) {
        m_observers.push_back(std::move(observer));
    }

    /// Characters the log keeps; the oldest text falls off the end.
    static constexpr std::size_t kMaxChars = 15000;

    /// Lines are recorded only while it is set.
    bool bStatusLogOn = false;

private:
    forms::MainForm& m_form;
    platform::Scheduler& m_scheduler;
    std::vector<std::function<void(const std::string&)>> m_observers;
};

}  // namespace halvern::core
