// The window's width and the ways of quitting.
#include "app/MainWindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QMenu>
#include <QPushButton>
#include <QTimer>

namespace {

class WindowCommands : public test::MainWindowFixture {
protected:
    // Runs the program's event loop with `action` as its first event; the result is the loop's
    // exit code, 1 if it still ran after five seconds.
    static int RunProgramLoop(const std::function<void()>& action)
    {
        QTimer::singleShot(0, action);
        QTimer giveUp;
        giveUp.callOnTimeout([] { QCoreApplication::exit(1); });
        giveUp.start(5000);
        return QApplication::exec();
    }
};

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

TEST_F(WindowCommands, EveryWayOfQuittingAsksAndNoKeepsTheWindow)
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
}

TEST_F(WindowCommands, YesEndsTheProgramWhetherTheWindowIsShownOrNot)
{
    test::MessageBoxRecorder boxes;
    boxes.answerYes = true;
    for (const bool shown : {true, false}) {
        StartWindow();
        form->setVisible(shown);
        EXPECT_EQ(RunProgramLoop([this] { form->miExitClick(); }), 0) << shown;
        EXPECT_FALSE(form->isVisible());
    }
    EXPECT_EQ(boxes.boxes.size(), 2);
}

// At logout the session manager asks the application to quit; a question would hold it up.
TEST_F(WindowCommands, TheSessionsQuitEndsTheProgramWithoutAsking)
{
    StartWindow();
    form->show();
    test::MessageBoxRecorder boxes;
    EXPECT_EQ(RunProgramLoop([] { QCoreApplication::quit(); }), 0);
    EXPECT_TRUE(boxes.boxes.isEmpty());
    EXPECT_FALSE(form->isVisible());
}

} // namespace
