#include "gui/OptionPages.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#include "forms/MainForm.h"
#include "gui/Bindings.h"
#include "gui/ClickableLabel.h"
#include "gui/PageParts.h"

namespace halvern::gui {

void OptionPages::addTo(QTabWidget& tabs, Bindings& bindings, forms::MainForm& form) {
    adTypes(tabs, bindings, form);
    startup(tabs, bindings, form);
    logHistory(tabs, bindings, form);
    sounds(tabs, bindings, form);
    otherPassword(tabs, bindings, form);
}

void OptionPages::adTypes(QTabWidget& tabs, Bindings& b, forms::MainForm& f) {
    QVBoxLayout* page = PageParts::page(tabs);

    QGroupBox* popups = PageParts::frame("Popups and Banners:");
    QVBoxLayout* col = PageParts::column(popups);
    // The page has the height of the old window, so each link sits beside the box it belongs
    // with, wrapping within the room the box leaves.
    col->addLayout(PageParts::row({b.label(f.Label4), nullptr, b.label(f.lblList, true)}));
    const auto wrapping = [&b](forms::Label& model) {
        ClickableLabel* link = b.label(model, true);
        link->setWordWrap(true);
        return link;
    };
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(1);
    grid->addWidget(b.checkBox(f.chkIEPops), 0, 0);
    grid->addWidget(wrapping(f.lblWebPagePops), 0, 1);
    grid->addWidget(b.checkBox(f.chkAdServers), 1, 0, 1, 2);
    grid->addWidget(b.checkBox(f.chkJavaPops), 2, 0, 1, 2);
    grid->addWidget(b.checkBox(f.chkMessenger), 3, 0);
    grid->addWidget(wrapping(f.lblMessengerPops), 3, 1);
    grid->addWidget(b.label(f.lblSpyWare, true), 4, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    col->addLayout(grid);
    page->addWidget(popups);

    QGroupBox* browser = PageParts::frame("Internet Explorer Options:");
    QVBoxLayout* options = PageParts::column(browser);
    options->addWidget(b.checkBox(f.chkDisableScriptDebuggingInIE));
    options->addWidget(b.checkBox(f.chkDisableNotificationScriptErrorIE));
    options->addWidget(b.checkBox(f.chkFlashIE));
    options->addWidget(b.checkBox(f.chkPlayAnimationinWebPagesIE));

    QGroupBox* security = PageParts::frame("Hackers, Privacy, Junk Email (spam):");
    QVBoxLayout* rating = PageParts::column(security);
    rating->addWidget(
        PageParts::note("See how well this computer is protected against "
                        "hackers, spyware and junk email."));
    rating->addLayout(PageParts::row({b.button(f.Command3)}));
    rating->addStretch(1);

    auto* lower = new QHBoxLayout;
    lower->addWidget(browser);
    lower->addWidget(security, 1);
    page->addLayout(lower);
    page->addStretch(1);
}

void OptionPages::startup(QTabWidget& tabs, Bindings& b, forms::MainForm& f) {
    QVBoxLayout* page = PageParts::page(tabs);

    QGroupBox* message = PageParts::frame("Message Area:");
    PageParts::column(message)->addWidget(b.label(f.lblStatus));
    page->addWidget(message);

    QGroupBox* settings = PageParts::frame("Startup && Install Settings:");
    QVBoxLayout* col = PageParts::column(settings);
    col->addWidget(b.checkBox(f.chkStartup));
    col->addWidget(b.checkBox(f.chkRunIE, 440));
    col->addWidget(b.checkBox(f.chkIEToolBar));
    col->addWidget(b.checkBox(f.chkAuto, 330));
    col->addLayout(PageParts::row(
        {b.button(f.cmdData2),
         PageParts::note("Download Latest ad blocking data from the Internet now!")}));
    page->addWidget(settings);
    page->addStretch(1);
}

void OptionPages::logHistory(QTabWidget& tabs, Bindings& b, forms::MainForm& f) {
    QVBoxLayout* page = PageParts::page(tabs);
    QGroupBox* logging = PageParts::frame("Logging Data for Recently Blocked Ads");
    QVBoxLayout* col = PageParts::column(logging);
    col->addWidget(
        PageParts::note("The log keeps the 50 most recently blocked items of each kind: ad "
                        "servers, Internet Explorer popups, popup windows by title and spyware."));
    col->addLayout(PageParts::row(
        {b.button(f.cmdLog),
         PageParts::note("Open the log, then double-click an entry to allow that content from "
                         "now on.")}));
    page->addWidget(logging);
    page->addStretch(1);
}

void OptionPages::sounds(QTabWidget& tabs, Bindings& b, forms::MainForm& f) {
    QVBoxLayout* page = PageParts::page(tabs);

    QGroupBox* popup = PageParts::frame("Popup Ad Blocked Sound:");
    PageParts::column(popup)->addWidget(b.checkBox(f.chkPopSound));
    PageParts::column(popup)->addLayout(PageParts::row(
        {b.lineEdit(f.txtPopWav), b.button(f.cmdBrowsePop), b.button(f.cmdTestPop)}));
    page->addWidget(popup);

    QGroupBox* banner = PageParts::frame("Banner Ad Blocked Sound: ");
    PageParts::column(banner)->addWidget(b.checkBox(f.chkBannerSound));
    PageParts::column(banner)->addLayout(PageParts::row(
        {b.lineEdit(f.txtBannerWav), b.button(f.cmdBrowseAd), b.button(f.cmdTestAd)}));
    page->addWidget(banner);

    page->addWidget(
        PageParts::note("Uncheck a box to turn its sound off. Any *.wav file on this "
                        "computer can be chosen."));
    page->addStretch(1);
}

void OptionPages::otherPassword(QTabWidget& tabs, Bindings& b, forms::MainForm& f) {
    QVBoxLayout* page = PageParts::page(tabs);

    QGroupBox* password = PageParts::frame("Configuration Settings Password:");
    QVBoxLayout* entry = PageParts::column(password);
    auto* fields = new QGridLayout;
    fields->setContentsMargins(0, 0, 0, 0);
    fields->setColumnStretch(1, 1);
    fields->addWidget(b.label(f.lblSetPass), 0, 0);
    fields->addWidget(b.lineEdit(f.txtPass), 0, 1);
    fields->addWidget(b.button(f.cmdPass), 0, 2);
    fields->addWidget(b.label(f.lblNewPass), 1, 0);
    fields->addWidget(b.lineEdit(f.txtNewPass), 1, 1);
    fields->addWidget(b.button(f.cmdNewPass), 1, 2);
    entry->addLayout(fields);
    entry->addWidget(b.label(f.lblPassHelp));
    page->addWidget(password);

    QGroupBox* other = PageParts::frame("Other Options:");
    b.bind(f.frameOtherOptions, *other);
    auto* grid = new QGridLayout;
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(3);
    grid->setHorizontalSpacing(10);
    grid->setColumnStretch(1, 1);
    const std::pair<forms::Button*, forms::Label*> rows[] = {{&f.cmdReset, &f.lblreset},
                                                             {&f.cmdData, &f.lbldownload},
                                                             {&f.cmdTestConn, &f.lblconnect},
                                                             {&f.cmdNew, &f.lblNewV}};
    int r = 0;
    for (const auto& [button, label] : rows) {
        QPushButton* push = b.button(*button);
        push->setMinimumWidth(80);
        grid->addWidget(push, r, 0);
        grid->addWidget(b.label(*label), r, 1);
        ++r;
    }
    PageParts::column(other)->addLayout(grid);
    page->addWidget(other);
    page->addStretch(1);
}

}  // namespace halvern::gui
