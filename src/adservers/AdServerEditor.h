#pragma once

#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

#include "adservers/AdServerBlocking.h"
#include "adservers/AdServerEditorForm.h"
#include "core/Context.h"

namespace halvern::adservers {

/// The ad-server list editor: the user allows servers of the default list, adds servers of
/// their own and takes them off again; OK saves the two user lists and, while ad-server blocking
/// is on, rebuilds the hosts file through the blocking. Wires every control of its window and
/// the tool tips of cmdAddSites and cmdAllow.
class AdServerEditor {
public:
    /// The example names the messages give.
    static constexpr const char* kExampleHost = "ads.example.com";
    static constexpr const char* kOtherExampleHost = "banners.example.net";

    AdServerEditor(core::Context& context, AdServerBlocking& blocking);
    AdServerEditor(const AdServerEditor&) = delete;
    AdServerEditor& operator=(const AdServerEditor&) = delete;

    AdServerEditorForm& form() { return m_form; }

    /// Opens the window with freshly loaded lists, or brings an open one to the front. record
    /// is a recently-blocked ad record handed over ("... 'server' ..."): the hint then names its
    /// server instead of the last blocked one.
    void show(const std::string& record = {});
    /// Closes the window without saving.
    void unload();

    /// Asked when the user clicks lblPopupTitles: opens the title list editor (the window
    /// itself closes first).
    std::function<void()> openTitleEditor;

    void Form_Load(const std::string& record);
    void cmdDo_Click();
    void cmdUndo_Click();
    void cmdDel_Click();
    void cmdGo_Click();
    void cmdAdd_Click();
    void cmdOK_Click();

    /// The messages of "Add to List" that refuse a value.
    static std::string httpText();
    static std::string compoundText();
    static std::string addressText();

private:
    void fill(forms::ListBox& list, const std::string& path, bool keepDefaults);
    void showHint(const std::string& record);
    void setExcludeCount(int count);
    /// True when the value equals an entry of the default list, both trimmed and lower-cased.
    bool isDefault(const std::string& value) const;
    /// The value's check against the rules the hosts file applies; the first refusal's box.
    bool refused(const std::string& value);

    platform::Dialogs& m_dialogs;
    platform::Scheduler& m_scheduler;
    core::MainState& m_state;
    const core::AppPaths& m_paths;
    platform::FileSystem& m_files;
    AdServerBlocking& m_blocking;
    AdServerEditorForm m_form;

    /// The default list as read at load, in file order: slot i = trimmed entry "D" + i.
    std::vector<std::string> m_strDefaultList;
    std::unordered_set<std::string> m_defaults;
    bool m_bLoading = false;
    bool m_bListChanged = false;
    int m_nFindNext = 0;
    /// True while OK saves: a second OK inside its pauses does nothing.
    bool m_saving = false;
};

}  // namespace halvern::adservers
