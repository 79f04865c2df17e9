#include "ui/LogWindow.h"

#include <algorithm>

#include "core/MainState.h"

namespace halvern::ui {

namespace {

const std::string kN = core::kServiceName;
const std::string kCrLf = "\r\n";

/// Room the buttons above and below the list take, in twips.
constexpr int kSideRoom = 350;
constexpr int kButtonRoom = 2500;

}  // namespace

LogWindow::LogWindow(core::Context& context, core::BlockedRings& rings, core::StatusLog& log)
    : Timer1(context.platform.scheduler, "Timer1", 5000, false),
      m_context(context),
      m_rings(rings),
      m_log(log) {
    form.cmdByAdServer.onClick = [this] { selectView(kAdServers); };
    form.cmdIEPopups.onClick = [this] { selectView(kIEPopups); };
    form.cmdTitles.onClick = [this] { selectView(kTitles); };
    form.cmdSpyWare.onClick = [this] { selectView(kSpyware); };
    form.cmdCopy.onClick = [this] { cmdCopy_Click(); };
    form.cmdClear.onClick = [this] { cmdClear_Click(); };
    form.cmdCancel.onClick = [this] { Form_Unload(); };
    form.lstBlocked.onDblClick = [this] { lstBlocked_DblClick(); };
    form.onResize = [this](int width, int height) { Form_Resize(width, height); };
    form.frmLastBlocked.onQueryUnload = [this](forms::UnloadMode) {
        Form_Unload();
        return false;
    };
    Timer1.onTimer = [this] { Timer1_Timer(); };
}

void LogWindow::open() {
    if (!form.frmLastBlocked.visible()) {
        selectView(kAdServers);
        Timer1.setEnabled(true);
        form.frmLastBlocked.show();
    }
    form.frmLastBlocked.raiseRequested().emit();
}

void LogWindow::Form_Unload() {
    Timer1.setEnabled(false);
    form.frmLastBlocked.hide();
}

void LogWindow::fill(int view) {
    switch (view) {
        case kAdServers:
            m_rings.FillListAdServers(form.lstBlocked);
            break;
        case kIEPopups:
            m_rings.FillListPopupIE(form.lstBlocked);
            break;
        case kTitles:
            m_rings.FillListPopupTitles(form.lstBlocked);
            break;
        case kSpyware:
            m_rings.FillListSpywareTitles(form.lstBlocked);
            break;
        default:
            break;
    }
}

std::string LogWindow::explanation(int view) {
    switch (view) {
        case kAdServers:
            return "No Ads Blocked by Host (ad server) yet during this " + kN + " session.";
        case kIEPopups:
            return "No Ads Blocked by Unsolicited Internet Explorer Popups.";
        case kTitles:
            return "No Ads Blocked by Window Title yet during this " + kN + " session.";
        default:
            return "No Spyware programs have been closed by " + kN + " yet today.";
    }
}

void LogWindow::selectView(int view) {
    nView = view;
    form.cmdByAdServer.setBold(view == kAdServers);
    form.cmdIEPopups.setBold(view == kIEPopups);
    form.cmdTitles.setBold(view == kTitles);
    form.cmdSpyWare.setBold(view == kSpyware);
    fill(view);
    if (form.lstBlocked.listCount() == 0) {
        form.lstBlocked.addItem(explanation(view));
    }
}

void LogWindow::Timer1_Timer() {
    if (nView != kSpyware) {
        fill(nView);
    }
}

void LogWindow::cmdCopy_Click() {
    std::string text;
    for (int i = 0; i < form.lstBlocked.listCount(); ++i) {
        form.lstBlocked.setListIndex(i);
        text += form.lstBlocked.item(i) + kCrLf;
    }
    // The file ends with a line break of its own, so an empty view writes one empty line.
    const platform::ScratchFiles::Result result =
        m_context.platform.scratch.write(kCopyFile, text + kCrLf);
    if (result.path.empty()) {
        exportFailed("The log could not be exported: no private folder for " +
                     std::string(kCopyFile) + ".");
        return;
    }
    if (!result.written) {
        exportFailed("The log could not be written to " + result.path + ".");
    }
    // Also after a failed write: the older export is gone, so the editor shows nothing stale.
    m_context.platform.launcher.openInEditor(result.path);
}

void LogWindow::exportFailed(const std::string& text) {
    m_log.AddToStatus(text);
    m_context.platform.dialogs.messageBox(text, kN, platform::BoxButtons::Ok,
                                          platform::BoxIcon::Warning);
}

void LogWindow::cmdClear_Click() {
    const platform::BoxAnswer answer = m_context.platform.dialogs.messageBox(
        "Click YES to clear the log of recently blocked ads (ALL TYPES OF ADS). "
        "The log is automatically cleared when you close " +
            kN + "." + kCrLf + kCrLf + "Click NO to leave the recent ads blocked list alone.",
        "Clear Log?", platform::BoxButtons::YesNo, platform::BoxIcon::Question);
    if (answer != platform::BoxAnswer::Yes) {
        return;
    }
    m_rings.ClearLog();
    selectView(kAdServers);
}

void LogWindow::lstBlocked_DblClick() {
    const int index = form.lstBlocked.listIndex();
    const std::string line = index >= 0 ? form.lstBlocked.item(index) : std::string();
    const std::function<void()>* editor = nullptr;
    switch (nView) {
        case kAdServers:
            editor = &editors.frmExclude;
            break;
        case kIEPopups:
            editor = &editors.frmIEWhiteList;
            break;
        case kTitles:
            editor = &editors.frmPopupTitles;
            break;
        case kSpyware:
            editor = &editors.frmAdWare;
            break;
        default:
            break;
    }
    // Without the view's editor nothing could be allowed: the window stays, and nothing is
    // handed over for another editor to pick up later.
    if (editor == nullptr || !*editor) {
        return;
    }
    if (editors.setWhiteListItemText) {
        editors.setWhiteListItemText(line);
    }
    if (nView == kIEPopups) {
        // The page address of a blocked popup is the text between the line's first two quotes;
        // a line without such a pair hands over no address.
        const auto open = line.find('\'');
        const auto close = open == std::string::npos ? open : line.find('\'', open + 1);
        if (close != std::string::npos && editors.setLastIEPopURL) {
            editors.setLastIEPopURL(line.substr(open + 1, close - open - 1));
        }
    }
    (*editor)();
    Form_Unload();
}

void LogWindow::Form_Resize(int width, int height) {
    const int listWidth = std::max(0, width - kSideRoom);
    const int listHeight = std::max(0, height - kButtonRoom);
    if (listWidth != form.listWidth || listHeight != form.listHeight) {
        form.listWidth = listWidth;
        form.listHeight = listHeight;
        form.listResized.emit();
    }
}

}  // namespace halvern::ui
