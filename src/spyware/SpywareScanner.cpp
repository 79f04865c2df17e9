#include "spyware/SpywareScanner.h"

#include <cstdio>
#include <optional>

#include "core/IniFile.h"
#include "core/MainState.h"
#include "core/TimeStamp.h"
#include "spyware/ProcessMatcher.h"
#include "spyware/SpywareList.h"

namespace halvern::spyware {

namespace {

const std::string kCrLf = "\r\n";

/// The date and time in the short format: "12/10/2026 9:05:01 AM".
std::string shortDateTime(const platform::LocalTime& t) {
    const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    char text[64];
    std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d %s", t.month, t.day, t.year, hour12,
                  t.minute, t.second, t.hour < 12 ? "AM" : "PM");
    return text;
}

std::string describe(const platform::ProcessInfo& process) {
    return "pid " + std::to_string(process.pid) +
           (process.exe.empty() ? std::string() : ", " + process.exe);
}

}  // namespace

SpywareScanner::SpywareScanner(core::Context& context, core::StatusLog& log,
                               core::BlockedRings& rings, ui::TrayIcon& tray)
    : TimerSpyWare(context.platform.scheduler, "TimerSpyWare", 15000, true),
      m_ctx(context),
      m_log(log),
      m_rings(rings),
      m_tray(tray) {
    TimerSpyWare.onTimer = [this] { TimerSpyWare_Timer(); };
    m_ctx.form.cmdKill.onClick = [this] { cmdKill_Click(); };
}

SpywareScanner::~SpywareScanner() {
    *m_alive = false;
    m_ctx.form.cmdKill.onClick = nullptr;
}

std::string SpywareScanner::record(const std::string& name) {
    return " Spyware application '" + name + "' running. Closed it.";
}

void SpywareScanner::setSpyWareListArray() {
    const core::IniFile file(m_ctx.platform.files, m_ctx.paths.strgSpyWareFile());
    std::vector<std::string> duplicates;
    const std::vector<SpywareList::Line> lines = SpywareList::read(file.document(), &duplicates);
    std::vector<std::string> names;
    names.reserve(lines.size());
    for (const SpywareList::Line& line : lines) {
        if (!SpywareList::hasFields(line.value)) {
            // A bare flag says neither whether to ask nor what the program is: never acted on.
            m_log.AddToStatus("#Spyware list: '" + line.name + "=" + line.value +
                              "' has no fields (watch:asked:description); not watched.");
            names.emplace_back("x");
            continue;
        }
        names.push_back(SpywareList::split(line.value).watched() ? line.name : "x");
    }
    for (const std::string& name : duplicates) {
        m_log.AddToStatus("#Spyware list: '" + name + "' is listed again; the first line counts.");
    }
    m_names = std::move(names);
}

void SpywareScanner::TimerSpyWare_Timer() {
    core::MainState& st = m_ctx.state;
    if (st.bExiting) {
        return;
    }
    platform::Scheduler& scheduler = m_ctx.platform.scheduler;
    platform::Processes& processes = m_ctx.platform.processes;
    forms::Label& lblStatus = m_ctx.form.lblStatus;
    lblStatus.setCaption("checking for spyware... " + shortDateTime(scheduler.localTime()));
    if (!processes.endableUid() && !m_toldNoUser) {
        m_toldNoUser = true;
        m_log.AddToStatus(
            "#Spyware scan: running as root with no desktop user to act for; no "
            "program is ended.");
    }

    // One walk of the process table serves the whole scan; a question, which may stay open for
    // minutes, makes it stale, and the next entry walks again. Events run between entries, so a
    // process found in the walk is read again once held before anything is done to it.
    std::optional<ProcessMatcher> walk;
    // The list may be reloaded while events run (an answer, the viewer's OK): the index is checked
    // against the current list each time and the entry copied before anything else runs.
    for (std::size_t i = 0;; ++i) {
        scheduler.pump();
        if (st.bExiting) {
            return;
        }
        if (i >= m_names.size()) {
            break;
        }
        const std::string name = m_names[i];
        if (!ProcessMatcher::usableName(name)) {
            continue;
        }
        lblStatus.setCaption(lblStatus.caption() + ".. " + name);

        const std::optional<unsigned> user = processes.endableUid();
        if (!user) {
            continue;
        }
        if (!walk) {
            walk.emplace(processes.list(), processes.ownPid(), *user);
        }
        std::vector<std::unique_ptr<platform::HeldProcess>> held = holdAll(name, walk->find(name));
        if (held.empty()) {
            continue;
        }

        if (auto kept = m_unwrittenAnswers.find(SpywareList::lower(name));
            kept != m_unwrittenAnswers.end()) {
            if (kept->second == Answer::Yes) {
                endAll(name, std::move(held), true);
            }
            continue;
        }
        const core::IniFile file(m_ctx.platform.files, m_ctx.paths.strgSpyWareFile());
        const std::optional<std::string> value = SpywareList::value(file.document(), name);
        const SpywareList::Fields fields = SpywareList::split(value.value_or(""));
        if (!value || !SpywareList::hasFields(*value) || !fields.watched()) {
            // Changed since the list was loaded: no longer a watched program.
            continue;
        }
        if (fields.closeWithoutAsking()) {
            endAll(name, std::move(held), true);
            continue;
        }

        const bool yes = ask(name, fields.description);
        walk.reset();
        if (st.bExiting) {
            return;
        }
        if (yes) {
            endAll(name, std::move(held), true);
        }
        storeAnswer(name, yes ? Answer::Yes : Answer::No);
    }
}

bool SpywareScanner::ask(const std::string& name, const std::string& description) {
    const std::string n = core::kServiceName;
    m_tray.SetWindowToFrontForeground();
    m_tray.mnuTraySettings_Click();
    const platform::BoxAnswer answer = m_ctx.platform.dialogs.messageBox(
        n + " has detected the following Spyware:" + kCrLf + kCrLf + name + " - Description: " +
            description + kCrLf + kCrLf + "Would you like " + n + " to close this program?",
        n + " has detected Spyware.", platform::BoxButtons::YesNo, platform::BoxIcon::Question);
    return answer == platform::BoxAnswer::Yes;
}

void SpywareScanner::storeAnswer(const std::string& name, Answer answer) {
    // Read again after the question: the list may have changed while it was open. Nothing runs
    // between this read and its write.
    core::IniFile file(m_ctx.platform.files, m_ctx.paths.strgSpyWareFile(),
                       m_ctx.paths.spyWareWriteFile());
    const std::optional<std::string> current = SpywareList::value(file.document(), name);
    bool written = false;
    if (!current) {
        m_log.AddToStatus("#Spyware list: '" + name +
                          "' is no longer in the list; the answer holds until exit.");
    } else {
        const std::string description = SpywareList::split(*current).description;
        file.set(SpywareList::kSection, name,
                 (answer == Answer::Yes ? "1:1:" : "0:1:") + description);
        written = file.save();
        if (!written) {
            m_log.AddToStatus("#Spyware list: the answer about '" + name +
                              "' could not be written to " + file.path() +
                              "; it holds until exit.");
        }
    }
    if (!written) {
        m_unwrittenAnswers[SpywareList::lower(name)] = answer;
    }
    setSpyWareListArray();
}

void SpywareScanner::endAll(const std::string& name,
                            std::vector<std::unique_ptr<platform::HeldProcess>> held,
                            bool recordIt) {
    for (auto& process : held) {
        const int pid = process->pid();
        // Looked at again just before the end: a question may have stayed open for minutes.
        if (!stillMatches(*process, name)) {
            continue;
        }
        m_ending.insert(pid);
        std::weak_ptr<bool> alive = m_alive;
        m_ctx.platform.processes.end(
            std::move(process), [this, alive, name, pid, recordIt](platform::EndResult result) {
                if (alive.expired()) {
                    return;
                }
                m_ending.erase(pid);
                const std::string who = "'" + name + "' (pid " + std::to_string(pid) + ")";
                switch (result) {
                    case platform::EndResult::Ended:
                        if (recordIt) {
                            m_rings.cycSpyware.PutItem(
                                core::GetTimeStamp(m_ctx.platform.scheduler) + record(name));
                        } else {
                            m_log.AddToStatus("#Ended " + who + ".");
                        }
                        break;
                    case platform::EndResult::Gone:
                        m_log.AddToStatus("#Spyware application " + who +
                                          " had ended before it was signalled.");
                        break;
                    case platform::EndResult::Refused:
                        m_log.AddToStatus("#Spyware application " + who +
                                          " could not be closed: no permission, or it outlived "
                                          "the forced end.");
                        break;
                }
            });
    }
}

std::vector<std::unique_ptr<platform::HeldProcess>> SpywareScanner::holdAll(
    const std::string& name, const std::vector<platform::ProcessInfo>& found) {
    std::vector<std::unique_ptr<platform::HeldProcess>> held;
    for (const platform::ProcessInfo& process : found) {
        if (m_ending.contains(process.pid)) {
            continue;
        }
        // The walk may be minutes old: the id may belong to another program by now. Held, the
        // process stays itself, and is read again to see whether it still is the one listed.
        auto hold = m_ctx.platform.processes.hold(process.pid);
        if (hold && stillMatches(*hold, name)) {
            held.push_back(std::move(hold));
        }
    }
    return held;
}

bool SpywareScanner::stillMatches(const platform::HeldProcess& process, const std::string& name) {
    platform::Processes& processes = m_ctx.platform.processes;
    const std::string who = "'" + name + "' (pid " + std::to_string(process.pid()) + ")";
    const std::optional<platform::ProcessInfo> now = process.current();
    if (!now) {
        m_log.AddToStatus("#Spyware application " + who +
                          " had ended already; nothing was signalled.");
        return false;
    }
    const std::optional<unsigned> user = processes.endableUid();
    if (!user || !ProcessMatcher::endable(*now, processes.ownPid(), *user) ||
        !ProcessMatcher::matches(*now, name)) {
        m_log.AddToStatus("#Spyware application " + who + " is now " + describe(*now) +
                          ", not the program listed; nothing was signalled.");
        return false;
    }
    return true;
}

void SpywareScanner::cmdKill_Click() {
    const std::string name = SpywareList::trim(m_ctx.form.txtKillExe.text());
    if (!ProcessMatcher::usableName(name)) {
        m_log.AddToStatus("#kill exe: '" + name + "' is shorter than " +
                          std::to_string(ProcessMatcher::kMinName) +
                          " characters and matches nothing.");
        return;
    }
    platform::Processes& processes = m_ctx.platform.processes;
    const std::optional<unsigned> user = processes.endableUid();
    std::vector<std::unique_ptr<platform::HeldProcess>> held;
    if (user) {
        const ProcessMatcher walk(processes.list(), processes.ownPid(), *user);
        held = holdAll(name, walk.find(name));
        for (const auto& process : held) {
            m_log.AddToStatus("#kill exe: ending '" + name + "' (pid " +
                              std::to_string(process->pid()) + ").");
        }
    }
    if (held.empty()) {
        m_log.AddToStatus("#kill exe: no process of yours is '" + name + "'.");
        return;
    }
    endAll(name, std::move(held), false);
}

}  // namespace halvern::spyware
