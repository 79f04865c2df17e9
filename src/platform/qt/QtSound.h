#pragma once

#include <QString>
#include <QStringList>

#include "platform/Sound.h"

namespace halvern::platform {

/// Plays a WAV file through a detached player process (aplay, else paplay) found in PATH, so the
/// loop never waits for the sound; without a player, or without the file, nothing plays.
class QtSound final : public Sound {
public:
    QtSound();
    void play(const std::string& path) override;

    /// The player found at construction, "" when none.
    const QString& player() const { return m_player; }

private:
    QString m_player;
    QStringList m_options;
};

}  // namespace halvern::platform
