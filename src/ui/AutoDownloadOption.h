#pragma once

#include "core/Context.h"
#include "core/Settings.h"
#include "ui/HelpLine.h"

namespace halvern::ui {

/// The " Startup" tab's automatic-download switch: explains itself once, keeps bAutoDownload in
/// step with the box (so the next save stores it) and says what the choice means. Wires chkAuto.
class AutoDownloadOption {
public:
    AutoDownloadOption(core::Context& context, HelpLine& help, core::Settings& settings);
    ~AutoDownloadOption();
    AutoDownloadOption(const AutoDownloadOption&) = delete;
    AutoDownloadOption& operator=(const AutoDownloadOption&) = delete;

    /// Nothing while the settings load.
    void chkAuto_Click();

private:
    forms::MainForm& m_form;
    core::MainState& m_state;
    HelpLine& m_help;
    core::Settings& m_settings;
};

}  // namespace halvern::ui
