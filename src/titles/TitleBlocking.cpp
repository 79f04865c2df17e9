#include "titles/TitleBlocking.h"

#include "titles/WindowWalks.h"

namespace halvern::titles {

TitleBlocking::TitleBlocking(core::Context& context, core::StatusLog& log,
                             core::BlockedRings& rings, ui::TrayIcon& tray,
                             popups::BlockedPopupReaction& reaction)
    : list(context.platform.files, context.paths, log),
      dismissal(context, log, tray, reaction),
      scanner(context, log, rings, list, reaction, dismissal),
      editor(context, list, scanner),
      m_context(context),
      m_log(log) {}

void TitleBlocking::CloseAllBrowsers() {
    titles::CloseAllBrowsers(m_context.platform.desktop, m_context.platform.processes.ownPid(),
                             m_log);
}

void TitleBlocking::Form_Unload() {
    editor.Form_Unload();
    scanner.TimerCloseByTitle.setEnabled(false);
    scanner.TimerResetByTitleTimer.setEnabled(false);
    scanner.TimerPopupTitleClosed.setEnabled(false);
}

}  // namespace halvern::titles
