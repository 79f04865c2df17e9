#include "system/BrowserOptions.h"

#include <cstdint>

#include "system/RegistryHelpers.h"

namespace halvern::system {

namespace {

using platform::HKEY_CURRENT_USER;
using platform::HKEY_LOCAL_MACHINE;

constexpr const char* kScriptDebugger = "Disable Script Debugger";
constexpr const char* kErrorDialog = "Error Dlg Displayed On Every Error";
constexpr const char* kAnimations = "Play_Animations";
constexpr const char* kFlashFlags = "Compatibility Flags";
constexpr std::uint32_t kFlashOff = 0x400;
const std::string kRestart =
    "You must restart your Internet Explorer Browsers for this change to take effect.";

}  // namespace

BrowserOptions::BrowserOptions(core::Context& context, core::Settings& settings,
                               core::StatusLog& log)
    : m_context(context), m_settings(settings), m_log(log) {
    forms::MainForm& f = m_context.form;
    f.chkDisableScriptDebuggingInIE.onClick = [this] { chkDisableScriptDebuggingInIE_Click(); };
    f.chkDisableNotificationScriptErrorIE.onClick = [this] {
        chkDisableNotificationScriptErrorIE_Click();
    };
    f.chkFlashIE.onClick = [this] { chkFlashIE_Click(); };
    f.chkPlayAnimationinWebPagesIE.onClick = [this] { chkPlayAnimationinWebPagesIE_Click(); };
}

BrowserOptions::~BrowserOptions() {
    forms::MainForm& f = m_context.form;
    f.chkDisableScriptDebuggingInIE.onClick = nullptr;
    f.chkDisableNotificationScriptErrorIE.onClick = nullptr;
    f.chkFlashIE.onClick = nullptr;
    f.chkPlayAnimationinWebPagesIE.onClick = nullptr;
}

void BrowserOptions::readBrowserSettings() {
    platform::Registry& registry = m_context.platform.registry;
    forms::MainForm& f = m_context.form;
    const auto yes = [&registry](const char* name) {
        return GetRegString(registry, HKEY_CURRENT_USER, kMainKey, name, "no") == "yes";
    };
    f.chkDisableScriptDebuggingInIE.setChecked(yes(kScriptDebugger));
    f.chkDisableNotificationScriptErrorIE.setChecked(yes(kErrorDialog));
    f.chkFlashIE.setChecked(GetRegDword(registry, HKEY_LOCAL_MACHINE, kFlashKey, kFlashFlags) > 0);
    f.chkPlayAnimationinWebPagesIE.setChecked(yes(kAnimations));
}

void BrowserOptions::chkDisableScriptDebuggingInIE_Click() {
    storeYesNo(m_context.form.chkDisableScriptDebuggingInIE, kScriptDebugger);
}

void BrowserOptions::chkDisableNotificationScriptErrorIE_Click() {
    storeYesNo(m_context.form.chkDisableNotificationScriptErrorIE, kErrorDialog);
}

void BrowserOptions::chkFlashIE_Click() {
    const forms::CheckBox& box = m_context.form.chkFlashIE;
    m_settings.MsgBoxOnce(kRestart, "Turn Flash Ads ON/OFF", "MSGFlash");
    platform::Registry& registry = m_context.platform.registry;
    const bool stored =
        box.checked() ? SetRegDword(registry, HKEY_LOCAL_MACHINE, kFlashKey, kFlashFlags, kFlashOff)
                      : DeleteRegKey(registry, HKEY_LOCAL_MACHINE, kFlashKey);
    if (!stored) {
        reportFailure(box);
    }
}

void BrowserOptions::chkPlayAnimationinWebPagesIE_Click() {
    m_settings.MsgBoxOnce(kRestart + "  Animations are also known as 'Animated Gifs'.",
                          "Turn Animated Gifs  ON/OFF", "MSGAnimation");
    storeYesNo(m_context.form.chkPlayAnimationinWebPagesIE, kAnimations);
}

void BrowserOptions::storeYesNo(const forms::CheckBox& box, const std::string& value) {
    if (!SetRegString(m_context.platform.registry, HKEY_CURRENT_USER, kMainKey, value,
                      box.checked() ? "yes" : "no")) {
        reportFailure(box);
    }
}

void BrowserOptions::reportFailure(const forms::CheckBox& box) {
    const std::string text = std::string(core::kServiceName) + " could not store the option \"" +
                             box.caption() + "\": " + m_context.platform.registry.error() +
                             ".  It keeps its old value.";
    m_context.form.lblStatus.setCaption(text);
    m_log.AddToStatus("#" + text);
}

}  // namespace halvern::system
