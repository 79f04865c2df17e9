#include "ui/TabHelp.h"

namespace halvern::ui {

namespace {

const std::string kN = core::kServiceName;
const std::string kCrLf = "\r\n";

}  // namespace

std::vector<TabHelp::Row> TabHelp::rows() {
    return {
        {" Ad Types", "Ad Types Help", "Choose the types of ads to block or allow.", "AdTypes", "",
         "Ad Types:" + kCrLf + kCrLf +
             "1) Popup ads: new browser windows a page opens without "
             "your asking." +
             kCrLf + "2) Banner ads: pictures and scripts from known ad servers." + kCrLf +
             "3) Popup windows of other programs, blocked by their window title." + kCrLf + kCrLf +
             "Check the kinds of ads you want " + kN + " to block."},
        {" Startup", "Startup Help",
         "Configure how you want " + kN +
             " to run (at windows startup or just when you use Internet Explorer).",
         "", "", ""},
        {"Log History", "Logging Info",
         "After clicking the logging button, double-click on any entry in the log to allow that "
         "content from now on.",
         "Log", "Logging and Allowing Content.",
         "Logging:" + kCrLf + kCrLf +
             "1) Click the Logging button to open the log of recently "
             "blocked ads." +
             kCrLf + "2) Choose the kind of content you want to see." + kCrLf +
             "3) Double-click an entry to allow that content from now on."},
        {" Sounds", "Sound Help",
         "Uncheck the box to turn off sounds.  You can select any *.wav file on your computer.", "",
         "", ""},
        {" Other / Password", "Other Help",
         "Check for the lastest version of " + kN + ", or download the latest ad blocking data.",
         "", "", ""},
        {" Status",
         "Click the Mini-Stats button to show current ad blocking activity on your task bar.",
         "This tells you how many ads blocked to date.", "", "", ""},
        {" Allow (whitelist)", "Allowing Ads Help",
         "Click on one of the buttons or links to allow recently blocked content if it was "
         "blocked improperly.",
         "AllowContent", "Allowing Content",
         "Allowing content:" + kCrLf + kCrLf +
             "1) Ad servers: allow a server whose banners "
             "you want to see with 'Allow Ads by Ad Server Name'." +
             kCrLf +
             "2) Browser popups: allow the popups of a site with 'Allow IE Popups by URL "
             "(WhiteList)'." +
             kCrLf +
             "3) Popup windows by title: allow a window with 'Allow Popups by Window "
             "Title'." +
             kCrLf + kCrLf +
             "The links above the buttons allow the most recently blocked item "
             "of each kind."},
        {" Block (blacklist)", "Block Ads Help",
         "You can choose to block additional ads by host/domain and by window title.",
         "BlockContent", "Blocking additional ads.",
         "Blocking more ads:" + kCrLf + kCrLf +
             "1) Add an ad server (host or domain name) to "
             "block all of its ads." +
             kCrLf +
             "2) Add a text that the title of unwanted popup "
             "windows contains, and " +
             kN + " closes them."},
        {" Hot Keys", "Hot Keys",
         "Assign your keyboard function keys to common " + kN + " functions.", "HotKeys",
         "Hot Keys",
         "Hot Keys:" + kCrLf + kCrLf +
             "1) Choose a function key for a command from its "
             "drop-down list." +
             kCrLf +
             "2) Press that key at any time to run the command, for "
             "example to close all open browser windows at once." +
             kCrLf +
             "3) Choose 'none' to "
             "free the key again."},
        {" Help", "Help", "Choose audio help or online help topics.", "", "", ""},
        {" Spyware", "", "", "", "", ""},
    };
}

TabHelp::TabHelp(core::Context& context, HelpLine& help, core::Settings& settings)
    : m_form(context.form),
      m_state(context.state),
      m_help(help),
      m_settings(settings),
      m_rows(rows()) {
    m_form.A.onClick = [this] { A_Click(); };
}

TabHelp::~TabHelp() {
    m_form.A.onClick = nullptr;
}

void TabHelp::A_Click() {
    if (m_state.bLoadingSettings) {
        return;
    }
    const auto& captions = m_form.A.captions();
    const auto tab = static_cast<std::size_t>(m_form.A.tab());
    if (tab >= captions.size()) {
        return;
    }
    for (const Row& row : m_rows) {
        if (row.caption != captions[tab]) {
            continue;
        }
        if (!row.topic.empty()) {
            m_form.cmdContextHelp.setCaption(row.topic);
            m_help.FlashHelpText(row.help);
        }
        if (!row.suffix.empty()) {
            m_settings.MsgBoxOnce(row.message, row.title, "MSG" + row.suffix);
        }
        return;
    }
}

}  // namespace halvern::ui
