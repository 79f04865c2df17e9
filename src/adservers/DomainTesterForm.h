#pragma once

#include "forms/Button.h"
#include "forms/Form.h"
#include "forms/Label.h"
#include "forms/ListBox.h"
#include "forms/ProgressBar.h"
#include "forms/TextBox.h"

namespace halvern::adservers {

/// The domain tester's window, for the people who publish the ad-server data: every control
/// named and captioned as the user sees it. It holds no behaviour; its timer belongs to the
/// tester.
struct DomainTesterForm {
    forms::Form frmTestDomains{"frmTestDomains", "Ad Blocking Servers Update"};

    forms::Button cmdTest{"cmdTest", "1 TEST"};
    forms::Button cmdTestFail{"cmdTestFail", "2- ReTry Failures"};
    forms::Button cmdUpdate{"cmdUpdate", "3- Fix Domains and Removals text files"};
    forms::Button Command2{"Command2", "pause Test"};
    forms::Button Command3{"Command3", "Clear Try List"};
    forms::Button cmdStopTimer{"cmdStopTimer", "Stop Timer"};
    forms::Button cmdOpenDomains{"cmdOpenDomains", "Open Domains.txt"};
    forms::Button cmdOpenRemovals{"cmdOpenRemovals", "Open Removals.txt"};
    forms::Button cmdOK{"cmdOK", "OK"};

    /// The folder of the server copies of domains.txt and removals.txt, ending in a slash.
    forms::TextBox txtDir{"txtDir"};
    /// The body of the last successful answer.
    forms::TextBox txtResult{"txtResult"};
    forms::ListBox lstTry{"lstTry"};
    forms::ListBox lstFail{"lstFail"};
    forms::Label lblTryStatus{"lblTryStatus", ""};
    forms::Label lblTryCount{"lblTryCount", "0"};
    forms::Label lblFailStatus{"lblFailStatus", ""};
    forms::Label lblFailCount{"lblFailCount", "0"};
    forms::Label lblErr{"lblErr", ""};
    forms::Label lblStatus{"lblStatus", ""};
    forms::Label lblTries{"lblTries", "Fail Tries: 0"};
    forms::ProgressBar ProgressBar1{"ProgressBar1"};
};

}  // namespace halvern::adservers
