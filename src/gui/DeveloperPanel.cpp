#include "gui/DeveloperPanel.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "forms/MainForm.h"
#include "gui/Bindings.h"
#include "gui/ClickableLabel.h"
#include "gui/PageParts.h"

namespace halvern::gui {

DeveloperPanel::DeveloperPanel(Bindings& b, forms::MainForm& f, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    // The log box keeps a 200-twip margin on the right of the window.
    layout->setContentsMargins(6, 4, 13, 4);
    layout->setSpacing(4);

    layout->addLayout(
        PageParts::row({b.button(f.cmdIni), b.button(f.Command1), b.button(f.Command2),
                        b.button(f.cmdOn), b.button(f.cmdOff), b.button(f.cmdRemoval)}));

    QLineEdit* killExe = b.lineEdit(f.txtKillExe);
    killExe->setFixedWidth(140);
    layout->addLayout(
        PageParts::row({b.button(f.cmdTestDomains), killExe, b.button(f.cmdKill), nullptr}));
    layout->addLayout(PageParts::row(
        {b.button(f.cmdClear), b.checkBox(f.chkDebug), b.button(f.cmdContextHelp), nullptr}));

    auto* keys = new QGridLayout;
    keys->setHorizontalSpacing(8);
    keys->setVerticalSpacing(2);
    const std::pair<const char*, forms::Label*> diagnostics[] = {
        {"ALT", &f.lblaltkey},
        {"ASCII code", &f.LblAsciiCode},
        {"Keyboard code", &f.LblKeybCode},
        {"Virtual Key code", &f.LblVKeycode}};
    int column = 0;
    for (const auto& [caption, label] : diagnostics) {
        keys->addWidget(PageParts::note(caption), 0, column);
        keys->addWidget(b.label(*label), 1, column);
        ++column;
    }
    keys->addWidget(b.label(f.LblKeyName), 0, column);
    keys->addWidget(b.label(f.lblWS), 1, column);
    keys->setColumnStretch(column, 1);
    layout->addLayout(keys);

    QGroupBox* proxy = PageParts::frame("Web Proxy Server Settings:");
    PageParts::column(proxy)->addLayout(
        PageParts::row({b.lineEdit(f.txtProxyName), b.button(f.cmdGuessProxy2)}));
    layout->addWidget(proxy);

    auto* log = new QPlainTextEdit;
    log->setLineWrapMode(QPlainTextEdit::NoWrap);
    log->setFont(QFont(QStringLiteral("Monospace"), 8));
    b.bind(f.txtStatus, *log);
    layout->addWidget(log, 1);
}

}  // namespace halvern::gui
