#pragma once

#include <string>

#include "core/Context.h"

namespace halvern::ui {

/// The " Sounds" tab: for popups and for banner ads, a check box that turns the sound on and
/// off, the sound file's box, a Browse button and a Test button. The check box and the box keep
/// the stored settings (bPopSound, PopSound, bBannerSound, BannerSound) in step, so the next
/// save writes what the user chose. Wires chkPopSound, txtPopWav, cmdBrowsePop, cmdTestPop,
/// chkBannerSound, txtBannerWav, cmdBrowseAd and cmdTestAd.
class SoundOptions {
public:
    explicit SoundOptions(core::Context& context);
    ~SoundOptions();
    SoundOptions(const SoundOptions&) = delete;
    SoundOptions& operator=(const SoundOptions&) = delete;

    void chkPopSound_Click();
    void txtPopWav_Change();
    void cmdBrowsePop_Click();
    void cmdTestPop_Click();
    void chkBannerSound_Click();
    void txtBannerWav_Change();
    void cmdBrowseAd_Click();
    void cmdTestAd_Click();

private:
    /// One sound's controls and settings.
    struct Twin {
        forms::CheckBox& check;
        forms::TextBox& path;
        forms::Button& browse;
        forms::Button& test;
        bool& on;
        std::string& file;
    };
    void checkClick(const Twin& twin);
    void pathChange(const Twin& twin);
    void browse(const Twin& twin);
    void test(const Twin& twin);

    platform::Dialogs& m_dialogs;
    platform::Sound& m_sound;
    core::MainState& m_state;
    Twin m_pop;
    Twin m_banner;
};

}  // namespace halvern::ui
