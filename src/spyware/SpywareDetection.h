#pragma once

#include "core/BlockedRings.h"
#include "core/Context.h"
#include "core/StatusLog.h"
#include "spyware/SpywareDownload.h"
#include "spyware/SpywareScanner.h"
#include "spyware/SpywareViewer.h"
#include "ui/TrayIcon.h"

namespace halvern::spyware {

/// Spyware detection: the scanner with its 15 s timer, the list download and the list window.
class SpywareDetection {
public:
    SpywareDetection(core::Context& context, core::StatusLog& log, core::BlockedRings& rings,
                     ui::TrayIcon& tray)
        : scanner(context, log, rings, tray),
          download(context, log, scanner),
          viewer(context, log, scanner, download) {}

    /// Loads the watched programs from the list (at start, and after every change of it).
    void setSpyWareListArray() { scanner.setSpyWareListArray(); }
    /// Downloads the server's list and merges it into the user's (the ad-data update calls it).
    void ProcessSpyWare(bool bShowStatus) { download.ProcessSpyWare(bShowStatus); }
    /// Opens the window of known spyware programs (the "SpyWare" button and its label), or
    /// brings it to the front when it is open.
    void openViewer() { viewer.open(); }

    SpywareScanner scanner;
    SpywareDownload download;
    SpywareViewer viewer;
};

}  // namespace halvern::spyware
