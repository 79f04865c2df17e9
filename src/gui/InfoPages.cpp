#include "gui/InfoPages.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "forms/MainForm.h"
#include "gui/Bindings.h"
#include "gui/ClickableLabel.h"
#include "gui/PageParts.h"

namespace halvern::gui {

void InfoPages::addTo(QTabWidget& tabs, Bindings& bindings, forms::MainForm& form) {
    status(tabs, bindings, form);
    allow(tabs, bindings, form);
    block(tabs, bindings, form);
    hotKeys(tabs, bindings, form);
    help(tabs, bindings, form);
    spyware(tabs, bindings, form);
}

void InfoPages::status(QTabWidget& tabs, Bindings& b, forms::MainForm& f) {
    QVBoxLayout* page = PageParts::page(tabs);

    QGroupBox* stats = PageParts::frame(QString());
    b.bind(f.frameAdStats, *stats);
    QVBoxLayout* col = PageParts::column(stats);
    col->addWidget(b.label(f.lblDateUpdate));
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(2);
    grid->setHorizontalSpacing(12);
    grid->setColumnStretch(1, 1);
    const std::pair<const char*, forms::Label*> counts[] = {{"Blocked Servers:", &f.lblTotHosts},
                                                            {"Blocked to Date:", &f.lblTotBlocked},
                                                            {"Blocked Today:", &f.lbltot}};
    int r = 0;
    for (const auto& [caption, label] : counts) {
        grid->addWidget(PageParts::note(caption), r, 0);
        ClickableLabel* value = b.label(*label);
        value->setStyleSheet(QStringLiteral("font-weight: bold;"));
        grid->addWidget(value, r, 1);
        ++r;
    }
    col->addLayout(grid);
    page->addWidget(stats);

    QGroupBox* recent = PageParts::frame(QString());
    b.bind(f.frameRecentAd, *recent);
    PageParts::column(recent)->addWidget(b.label(f.lbltype));
    ClickableLabel* pageLabel = b.label(f.lblpage);
    pageLabel->setWordWrap(false);
    pageLabel->setMinimumWidth(1);
    PageParts::column(recent)->addWidget(pageLabel);
    page->addWidget(recent);

    page->addLayout(PageParts::row(
        {b.button(f.cmdMiniStats),
         PageParts::note("Shows the counts on a small window of their own on the task bar.")}));
    page->addStretch(1);
}

void InfoPages::allow(QTabWidget& tabs, Bindings& b, forms::MainForm& f) {
    QVBoxLayout* page = PageParts::page(tabs);

    QGroupBox* links = PageParts::frame("Click a link below to allow the last blocked ad:");
    QVBoxLayout* col = PageParts::column(links);
    col->addWidget(b.label(f.lblLastTitle, true));
    col->addWidget(b.label(f.lblLastTitle1));
    col->addWidget(b.label(f.lblAllowServer, true));
    col->addWidget(PageParts::note("the last ad server whose ads were blocked"));
    col->addWidget(b.label(f.lblLastIEPop, true));
    col->addWidget(PageParts::note("the last Internet Explorer popup blocked"));
    col->addWidget(b.label(f.lblLastIEPop1));
    col->addWidget(b.label(f.lblAllow1));
    page->addWidget(links);

    auto* buttons = new QGridLayout;
    buttons->addWidget(b.button(f.cmdAllowIEPop), 0, 0);
    buttons->addWidget(b.button(f.cmdAllowTitle), 0, 1);
    buttons->addWidget(b.button(f.cmdAllow), 1, 0);
    page->addLayout(buttons);
    page->addStretch(1);
}

void InfoPages::block(QTabWidget& tabs, Bindings& b, forms::MainForm& f) {
    QVBoxLayout* page = PageParts::page(tabs);
    QGroupBox* more = PageParts::frame(
        "Blocking Additional Ads (adding hosts/domains to block, and popups by title):");
    QVBoxLayout* col = PageParts::column(more);
    QPushButton* titles = b.button(f.cmdPopupTitles);
    QPushButton* servers = b.button(f.cmdAddSites);
    titles->setMinimumWidth(200);
    servers->setMinimumWidth(200);
    col->addLayout(PageParts::row(
        {titles, PageParts::note("Close windows whose title contains a text you choose.")}));
    col->addLayout(PageParts::row(
        {servers, PageParts::note("Add ad servers (hosts or domains) to the block list.")}));
    col->addSpacing(6);
    col->addWidget(b.label(f.Label26, true));
    page->addWidget(more);
    page->addStretch(1);
}

void InfoPages::hotKeys(QTabWidget& tabs, Bindings& b, forms::MainForm& f) {
    QVBoxLayout* page = PageParts::page(tabs);
    QGroupBox* keys =
        PageParts::frame("Hot Keys: To Change or Disable, choose from the dropdown list:");
    // One grid, so each command's description, drop-down list and key label share a row.
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(4);
    grid->setColumnStretch(0, 1);
    const char* const headers[] = {"Function Assigned:", "Modify Key", "Current"};
    for (int c = 0; c < 3; ++c) {
        QLabel* header = PageParts::note(headers[c]);
        header->setStyleSheet(QStringLiteral("font-weight: bold;"));
        grid->addWidget(header, 0, c);
    }
    int r = 1;
    for (const forms::MainForm::HotKeyRow& row : f.hotKeyRows()) {
        QComboBox* combo = b.comboBox(*row.combo);
        combo->setFixedWidth(70);
        ClickableLabel* key = b.label(*row.label);
        key->setAlignment(Qt::AlignCenter);
        grid->addWidget(PageParts::note(row.description), r, 0);
        grid->addWidget(combo, r, 1, Qt::AlignVCenter);
        grid->addWidget(key, r, 2);
        ++r;
    }
    PageParts::column(keys)->addLayout(grid);
    page->addWidget(keys);

    QGroupBox* temporary = PageParts::frame("Halvern Temporary Override:");
    QLabel* chord = PageParts::note("CTRL ALT");
    chord->setStyleSheet(QStringLiteral("font-weight: bold;"));
    chord->setWordWrap(false);
    PageParts::column(temporary)->addLayout(PageParts::row(
        {chord, PageParts::note("Hold down the CTRL (control) or ALT key while clicking to "
                                "temporarily allow any Internet Explorer popup windows to open.  "
                                "At this time, this option is not configurable.")}));
    page->addWidget(temporary);
    page->addStretch(1);
}

void InfoPages::help(QTabWidget& tabs, Bindings& b, forms::MainForm& f) {
    QVBoxLayout* page = PageParts::page(tabs);
    QGroupBox* frame = PageParts::frame("Help:");
    QVBoxLayout* col = PageParts::column(frame);
    col->addWidget(
        PageParts::note("More help topics are in the Help menu at the top of this "
                        "window: the read-me file, online help and the about box."));
    col->addLayout(PageParts::row(
        {b.button(f.cmdFeedback), PageParts::note("Ask a question or tell us what you think.")}));
    col->addLayout(PageParts::row({b.button(f.cmdHelpOnline), b.label(f.lblhelpaudio)}));
    page->addWidget(frame);
    page->addStretch(1);
}

void InfoPages::spyware(QTabWidget& tabs, Bindings& b, forms::MainForm& f) {
    QVBoxLayout* page = PageParts::page(tabs);

    QGroupBox* known = PageParts::frame("SpyWare, AdWare, Thiefware:");
    QVBoxLayout* col = PageParts::column(known);
    col->addWidget(
        PageParts::note("Some programs show ads or report what you do on the "
                        "Internet. The ones on the spyware list are ended when they "
                        "start, after asking you once per program."));
    col->addLayout(PageParts::row(
        {b.button(f.cmdSpyWare), PageParts::note("View and change the spyware list.")}));
    page->addWidget(known);

    QGroupBox* removal = PageParts::frame("Helpful Spyware, AdWare removal software:");
    PageParts::column(removal)->addWidget(
        PageParts::note("To remove spyware that is already installed, use a removal tool:"));
    PageParts::column(removal)->addWidget(b.label(f.lbladaware, true));
    page->addWidget(removal);
    page->addStretch(1);
}

}  // namespace halvern::gui
