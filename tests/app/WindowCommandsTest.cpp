// The window's width, quitting, and the information box from the menu.
#include "app/MainWindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

using WindowCommands = test::MainWindowFixture;

TEST_F(WindowCommands, WideAtFirstNarrowAfterOneClickAndARestartKeepsIt)
{
    const auto face = [this] {
        return QString("%1 %2").arg(form->width()).arg(form->btShowMore->text());
    };
    StartWindow();
    EXPECT_EQ(face(), "520 Show Less");
    form->btShowMore->click();
    EXPECT_EQ(face(), "232 Show More");
    EXPECT_GE(form->gbLog->x(), form->width()); // the protocol lies beyond the right edge
    form.reset();
    StartWindow();
    EXPECT_EQ(face(), "232 Show More");
    form->btShowMore->click();
    EXPECT_EQ(face(), "520 Show Less");
    EXPECT_EQ(settings->ShowMore.Get(), 0u);
}

TEST_F(WindowCommands, EveryWayOfQuittingAsksAndOnlyYesCloses)
{
    StartWindow();
    form->show();
    test::MessageBoxRecorder boxes;
    const std::function<void()> ways[] = {
        [&] { form->findChild<QAction*>("mimExit")->trigger(); },
        [&] { form->pmTray->findChild<QAction*>("miExit")->trigger(); },
        [&] { form->close(); }, // the close box and the window manager's close
    };
    for (const auto& quit : ways) {
        quit();
        EXPECT_TRUE(form->isVisible());
    }
    EXPECT_EQ(boxes.boxes, QStringList(3, "Request|Do you really want to quit Quillmar?"));
    boxes.answerYes = true;
    ways[0]();
    EXPECT_FALSE(form->isVisible());
}

// At logout the session manager asks the application to quit; a question would hold it up.
TEST_F(WindowCommands, TheSessionsQuitEndsTheProgramWithoutAsking)
{
    StartWindow();
    form->show();
    test::MessageBoxRecorder boxes;
    QTimer::singleShot(0, [] { QCoreApplication::quit(); });
    QTimer giveUp; // only if a question stopped the quit
    giveUp.callOnTimeout([] { QCoreApplication::exit(1); });
    giveUp.start(5000);
    EXPECT_EQ(QApplication::exec(), 0);
    EXPECT_TRUE(boxes.boxes.isEmpty());
    EXPECT_FALSE(form->isVisible());
}
