#include "platform/qt/QtDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStringList>
#include <algorithm>
#include <cstdio>

#include "platform/qt/StopSignals.h"

namespace halvern::platform {
namespace {

QMessageBox::Icon qtIcon(BoxIcon icon) {
    switch (icon) {
        case BoxIcon::Information:
            return QMessageBox::Information;
        case BoxIcon::Warning:
            return QMessageBox::Warning;
        case BoxIcon::Question:
            return QMessageBox::Question;
        case BoxIcon::Critical:
            return QMessageBox::Critical;
        case BoxIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

QString fromCrLf(const std::string& text) {
    return QString::fromStdString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

BoxAnswer QtDialogs::messageBox(const std::string& text, const std::string& title,
                                BoxButtons buttons, BoxIcon icon) {
    QMessageBox box(qtIcon(icon), QString::fromStdString(title), fromCrLf(text));
    box.setTextFormat(Qt::PlainText);
    // The program usually sits in the tray with no window of its own shown: keep boxes in view.
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    switch (buttons) {
        case BoxButtons::Ok:
            box.setStandardButtons(QMessageBox::Ok);
            box.setEscapeButton(QMessageBox::Ok);
            break;
        case BoxButtons::OkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            box.setEscapeButton(QMessageBox::Cancel);
            break;
        case BoxButtons::YesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            box.setEscapeButton(QMessageBox::No);
            break;
    }
    int result = QMessageBox::NoButton;
    if (StopSignals::arrived()) {
        // The exit a stop signal began ends on its own: a logout or a shutdown waits for it, and
        // nobody may be there to answer. The box's text goes to the error output instead.
        std::fprintf(stderr, "zorvik: %s: %s\n", title.c_str(),
                     fromCrLf(text).toStdString().c_str());
        std::fflush(stderr);
    } else {
        run(box, result);
    }
    switch (result) {
        case QMessageBox::Ok:
            return BoxAnswer::Ok;
        case QMessageBox::Yes:
            return BoxAnswer::Yes;
        case QMessageBox::No:
            return BoxAnswer::No;
        case QMessageBox::Cancel:
            return BoxAnswer::Cancel;
        default:
            break;
    }
    // Closed some other way: the answer that does nothing.
    switch (buttons) {
        case BoxButtons::Ok:
            return BoxAnswer::Ok;
        case BoxButtons::OkCancel:
            return BoxAnswer::Cancel;
        case BoxButtons::YesNo:
            break;
    }
    return BoxAnswer::No;
}

std::optional<std::string> QtDialogs::openFile(const std::string& title, const std::string& filter,
                                               const std::string& defaultExtension,
                                               const std::string& initialPath) {
    QFileDialog dialog(nullptr, QString::fromStdString(title), QString::fromStdString(initialPath),
                       QString::fromStdString(qtFilter(filter)));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    int result = QDialog::Rejected;
    if (!run(dialog, result) || result != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    QString chosen = dialog.selectedFiles().constFirst();
    if (chosen.isEmpty()) {
        return std::nullopt;
    }
    const QString withExtension = chosen + "." + QString::fromStdString(defaultExtension);
    if (!defaultExtension.empty() && QFileInfo(chosen).suffix().isEmpty() &&
        !QFileInfo::exists(chosen) && QFileInfo::exists(withExtension)) {
        chosen = withExtension;
    }
    return chosen.toStdString();
}

bool QtDialogs::run(QDialog& dialog, int& result) {
    if (m_ended || StopSignals::arrived()) {
        return false;
    }
    m_open.emplace_back(&dialog);
    result = dialog.exec();
    std::erase_if(m_open, [&dialog](const QPointer<QDialog>& open) {
        return open.isNull() || open.data() == &dialog;
    });
    return !m_ended;
}

void QtDialogs::endAll() {
    m_ended = true;
    // Each box's own loop ends with it; the callers return in turn as their loops unwind.
    const auto open = m_open;
    for (const QPointer<QDialog>& dialog : open) {
        if (dialog) {
            dialog->reject();
        }
    }
}

std::string QtDialogs::qtFilter(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split('|');
    if (parts.size() < 2) {
        return filter;
    }
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(';', ' ');
        entries << parts[i] + " (" + pattern + ")";
    }
    return entries.join(";;").toStdString();
}

}  // namespace halvern::platform
