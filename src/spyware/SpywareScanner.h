#pragma once

#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/BlockedRings.h"
#include "core/Context.h"
#include "core/StatusLog.h"
#include "forms/Timer.h"
#include "platform/Processes.h"
#include "ui/TrayIcon.h"

namespace halvern::spyware {

/// Watches the running processes for the programs of the spyware list and ends them, asking the
/// user the first time each one is found; the answer is written back into the list, so it is
/// asked once per program.
class SpywareScanner {
public:
    /// Wires cmdKill ("kill exe") of the developer zone; TimerSpyWare runs from now on.
    SpywareScanner(core::Context& context, core::StatusLog& log, core::BlockedRings& rings,
                   ui::TrayIcon& tray);
    ~SpywareScanner();
    SpywareScanner(const SpywareScanner&) = delete;
    SpywareScanner& operator=(const SpywareScanner&) = delete;

    /// (Re)loads the watched names from the list: a watched line gives its name, any other line
    /// the placeholder "x". A value without its fields is not watched and says so in the log.
    void setSpyWareListArray();
    /// One scan over the names, every 15 s.
    void TimerSpyWare_Timer();
    /// "kill exe": ends the program named in txtKillExe at once, by the scan's own rules; asks
    /// nothing and records nothing.
    void cmdKill_Click();

    /// The watched names, in list order, "x" for a line that is not watched.
    const std::vector<std::string>& names() const { return m_names; }

    /// The scan's timer.
    forms::Timer TimerSpyWare;
    /// The record of a spyware program ended, after its time stamp.
    static std::string record(const std::string& name);

private:
    enum class Answer { Yes, No };

    /// Asks the question about a found program; true for Yes.
    bool ask(const std::string& name, const std::string& description);
    /// Writes the answer into the list and reloads it; an answer that cannot be written is kept
    /// for the run.
    void storeAnswer(const std::string& name, Answer answer);
    /// Takes hold of the processes of a walk that still run the named program.
    std::vector<std::unique_ptr<platform::HeldProcess>> holdAll(
        const std::string& name, const std::vector<platform::ProcessInfo>& found);
    /// Whether a held process, read again now, still is the named program and one Zorvik may
    /// end; says in the log why not.
    bool stillMatches(const platform::HeldProcess& process, const std::string& name);
    /// Ends each held process that still is the named program; a record goes to the ring for
    /// each one that really ended.
    void endAll(const std::string& name, std::vector<std::unique_ptr<platform::HeldProcess>> held,
                bool recordIt);

    core::Context& m_ctx;
    core::StatusLog& m_log;
    core::BlockedRings& m_rings;
    ui::TrayIcon& m_tray;
    std::vector<std::string> m_names;
    /// Answers that could not be written to the list, by lower-cased name: kept for the run.
    std::unordered_map<std::string, Answer> m_unwrittenAnswers;
    /// Processes asked to end whose end is not over yet: not asked to end again meanwhile.
    std::set<int> m_ending;
    /// The log has said once that, as root with no desktop user, nothing is ended.
    bool m_toldNoUser = false;
    /// Lets the end's answer, which comes later on the loop, know the scanner is still there.
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace halvern::spyware
