#include "platform/qt/QtSound.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace halvern::platform {

QtSound::QtSound() {
    m_player = QStandardPaths::findExecutable(QStringLiteral("aplay"));
    if (!m_player.isEmpty()) {
        m_options << QStringLiteral("-q");
        return;
    }
    m_player = QStandardPaths::findExecutable(QStringLiteral("paplay"));
}

void QtSound::play(const std::string& path) {
    const QString file = QString::fromStdString(path);
    if (m_player.isEmpty() || file.isEmpty() || !QFileInfo(file).isFile()) {
        return;
    }
    // "--" keeps a file name that starts with a dash from being read as an option.
    QProcess::startDetached(m_player, QStringList(m_options) << QStringLiteral("--") << file);
}

}  // namespace halvern::platform
