#include "ui/SoundOptions.h"

namespace halvern::ui {

SoundOptions::SoundOptions(core::Context& context)
    : m_dialogs(context.platform.dialogs),
      m_sound(context.platform.sound),
      m_state(context.state),
      m_pop{context.form.chkPopSound, context.form.txtPopWav,  context.form.cmdBrowsePop,
            context.form.cmdTestPop,  context.state.bPopSound, context.state.PopSound},
      m_banner{context.form.chkBannerSound, context.form.txtBannerWav,  context.form.cmdBrowseAd,
               context.form.cmdTestAd,      context.state.bBannerSound, context.state.BannerSound} {
    m_pop.check.onClick = [this] { chkPopSound_Click(); };
    m_pop.path.onChange = [this] { txtPopWav_Change(); };
    m_pop.browse.onClick = [this] { cmdBrowsePop_Click(); };
    m_pop.test.onClick = [this] { cmdTestPop_Click(); };
    m_banner.check.onClick = [this] { chkBannerSound_Click(); };
    m_banner.path.onChange = [this] { txtBannerWav_Change(); };
    m_banner.browse.onClick = [this] { cmdBrowseAd_Click(); };
    m_banner.test.onClick = [this] { cmdTestAd_Click(); };
}

SoundOptions::~SoundOptions() {
    for (const Twin* twin : {&m_pop, &m_banner}) {
        twin->check.onClick = nullptr;
        twin->path.onChange = nullptr;
        twin->browse.onClick = nullptr;
        twin->test.onClick = nullptr;
    }
}

void SoundOptions::chkPopSound_Click() {
    checkClick(m_pop);
}
void SoundOptions::txtPopWav_Change() {
    pathChange(m_pop);
}
void SoundOptions::cmdBrowsePop_Click() {
    browse(m_pop);
}
void SoundOptions::cmdTestPop_Click() {
    test(m_pop);
}
void SoundOptions::chkBannerSound_Click() {
    checkClick(m_banner);
}
void SoundOptions::txtBannerWav_Change() {
    pathChange(m_banner);
}
void SoundOptions::cmdBrowseAd_Click() {
    browse(m_banner);
}
void SoundOptions::cmdTestAd_Click() {
    test(m_banner);
}

void SoundOptions::checkClick(const Twin& twin) {
    if (m_state.bLoadingSettings) {
        return;
    }
    twin.on = twin.check.checked();
    twin.path.setEnabled(twin.on);
    twin.browse.setEnabled(twin.on);
    twin.test.setEnabled(twin.on);
}

void SoundOptions::pathChange(const Twin& twin) {
    if (m_state.bLoadingSettings) {
        return;
    }
    twin.file = twin.path.text();
}

void SoundOptions::browse(const Twin& twin) {
    if (m_state.bLoadingSettings) {
        return;
    }
    // The dialog starts at the file now set, so a cancelled choice leaves it as it was.
    const auto chosen = m_dialogs.openFile("Choose Sound File", "*.wav", "wav", twin.path.text());
    if (!chosen) {
        return;
    }
    twin.path.setText(*chosen);
    twin.file = *chosen;
}

void SoundOptions::test(const Twin& twin) {
    // The test plays even while the settings load: it changes nothing.
    m_sound.play(twin.path.text());
}

}  // namespace halvern::ui
