// The window's own commands: width, counter reset, quitting, the information box and the Usage
// History window.
#include "app/Fmain.h"
#include "app/UsageHistoryWindow.h"
#include "platform/desktop/Clock.h"
#include "platform/desktop/MessageBox.h"
#include "settings/RegVars.h"
#include "traffic/PackedDateTime.h"

#include <QCloseEvent>
#include <QCoreApplication>

namespace {

constexpr unsigned AskFlags =
    platform::MbYesNo | platform::MbIconExclamation | platform::MbDefButton2;

constexpr const char* InfoText =
    "This program is free of charge. You may pass it on to others freely, but you may not sell "
    "it or use it in any other way to earn money. You may not modify it. The author is not "
    "liable for any inconvenience that this program causes.\n"
    "\n"
    "IF YOU CANNOT ACCEPT THESE TERMS, PLEASE STOP USING THIS PROGRAM NOW.\n"
    "\n"
    "Portions of this program belong to the authors of the libraries it uses:\n"
    "- Qt 6, Copyright (C) 2016-2022 The Qt Company Ltd. and other contributors, used under the "
    "GNU LGPL version 3, https://www.qt.io\n"
    "- SQLite, placed in the public domain by D. Richard Hipp and its other authors, "
    "https://sqlite.org\n"
    "- OpenSSL, which Qt loads for encrypted connections, Copyright (C) 1998-2025 The OpenSSL "
    "Project Authors, used under the Apache License 2.0, https://www.openssl.org\n"
    "\n"
    "Please send your wishes for new features and your error reports to:\n"
    "        https://codeberg.org/quillmar/quillmar/issues\n"
    "\n"
    "Have fun!";

} // namespace

void TFormMain::btShowMoreClick()
{
    settings_.ShowMore.Set(settings_.ShowMore.Get() == 0 ? 1 : 0);
    ApplyShowMore();
}

void TFormMain::btResetOverallClick()
{
    if (platform::ShowMessageBox(this, "Do you really want to reset the traffic counter?",
                                 "Request", AskFlags) != platform::IdYes)
        return;
    // The moment of the answer: the box may have stood open for a while.
    ResetTrafficCounter(DateTimeToPacked(clock_.Now()));
}

void TFormMain::FormClose(QCloseEvent& event)
{
    if (!QuitRequested && platform::ShowMessageBox(this, "Do you really want to quit Quillmar?",
                                                   "Request", AskFlags) != platform::IdYes) {
        event.ignore();
        return;
    }
    TrayIconDelete();
    event.accept();
    // Qt ends the program by itself only when the last visible window closes; a window hidden in
    // the tray, or never shown, is not one.
    QCoreApplication::quit();
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    FormClose(*event);
}

// At logout the session manager asks the application to quit, and Qt then closes every window;
// a question would only hold the logout up.
bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit)
        QuitRequested = true;
    return QMainWindow::eventFilter(watched, event);
}

void TFormMain::miExitClick()
{
    close();
}

void TFormMain::miInfoClick()
{
    platform::ShowMessageBox(this, InfoText, "License Agreement, Copyright",
                             platform::MbIconInformation);
}

void TFormMain::miUsageHistoryClick()
{
    if (!usageHistoryWindow)
        usageHistoryWindow = new UsageHistoryWindow(*this, settings_, clock_);
    usageHistoryWindow->show();
    usageHistoryWindow->raise();
    usageHistoryWindow->activateWindow();
}
