#include "popups/UserIntent.h"

namespace halvern::popups {

UserIntent::UserIntent(core::Context& context, adservers::PlaceholderServer& server)
    : hotKeys(context, server),
      Timerkeys(context.platform.scheduler, "Timerkeys", 50, true),
      timerClickReset(context.platform.scheduler, "timerClickReset", 2000, true),
      TimerLDClick(context.platform.scheduler, "TimerLDClick", 400, false),
      TimerRDClick(context.platform.scheduler, "TimerRDClick", 400, false),
      TimerDClickOK(context.platform.scheduler, "TimerDClickOK", 2500, true),
      TimerManyPops(context.platform.scheduler, "TimerManyPops", 4000, false),
      m_context(context) {}

UserIntent::~UserIntent() = default;

bool UserIntent::IsTempPopsAllowed() const {
    return m_context.state.bTempPopsAllowed;
}

bool UserIntent::IsTempSoundOff() const {
    return m_context.state.bTempSoundOff;
}

void UserIntent::setMouseClick(bool bval, const std::string& strIn) {
    bLClick = bval;
    bRClick = bval;
    m_context.form.LblKeyName.setCaption(strIn);
    timerClickReset.setEnabled(false);
}

void UserIntent::setHotKeyDown(bool bval) {
    bHotKeyDown = bval;
}

void UserIntent::CheckKeys() {}

void UserIntent::takeInPresses() {}

void UserIntent::CountManyPops() {}

}  // namespace halvern::popups
