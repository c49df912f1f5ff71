#include "app/MainWindowFixture.h"
#include "settings/Foptions.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

const QString PleaseNote = "Request|Please note:\n"
                           "In the future, Quillmar will keep a established\n"
                           "connection. In order to disconnect please use the\n"
                           "disconnect button from Quillmar!";

class OptionsCommand : public test::MainWindowFixture {
protected:
    void StartWindowWithDialog()
    {
        if (ras.entries.empty())
            ras.entries = {"dsl"}; // the dialog offers the watched interface
        StartWindow();
        dialog = std::make_unique<TFormOptions>(form.get(), *settings, ras);
        form->FormOptions = dialog.get();
    }

    // Opens the settings from the main menu, lets `edit` change the dialog shown modally, then
    // presses the button named `button`.
    void RunSettings(const std::function<void(QWidget*)>& edit, const char* button = "btOK")
    {
        QTimer::singleShot(0, dialog.get(), [this, edit, button] {
            EXPECT_EQ(QApplication::activeModalWidget(), dialog.get());
            edit(dialog.get());
            dialog->findChild<QPushButton*>(button)->click();
        });
        form->findChild<QAction*>("mimSettings")->trigger();
    }

    static void SetKeepConnected(QWidget* shown, bool on)
    {
        shown->findChild<QCheckBox*>("ckKeepConnected")->setChecked(on);
    }

    std::unique_ptr<TFormOptions> dialog;
    test::MessageBoxRecorder boxes;
};

} // namespace

TEST_F(OptionsCommand, KeepConnectedSwitchedOnWhileConnectedArmsAtOnceWithOneNote)
{
    ConnectLine();
    StartWindowWithDialog();
    RunSettings([](QWidget* shown) { SetKeepConnected(shown, true); }, "btCancel");
    EXPECT_EQ(settings->KeepConnected.Get(), 0u);
    EXPECT_FALSE(form->IsKeepingConnection());
    EXPECT_TRUE(boxes.boxes.isEmpty());

    RunSettings([](QWidget* shown) { SetKeepConnected(shown, true); });
    EXPECT_EQ(settings->KeepConnected.Get(), 1u);
    EXPECT_TRUE(form->IsKeepingConnection());
    EXPECT_EQ(boxes.boxes, QStringList(PleaseNote));
    RunSettings([](QWidget*) {}); // already on: no second note
    EXPECT_EQ(boxes.boxes.size(), 1);
}

// Switched on while down, redial is armed by the next connection; switched off, it is disarmed
// only while connected.
TEST_F(OptionsCommand, KeepConnectedFollowsTheSettingWhileConnected)
{
    StartWindowWithDialog();
    RunSettings([](QWidget* shown) { SetKeepConnected(shown, true); });
    EXPECT_EQ(boxes.boxes, QStringList(PleaseNote));
    EXPECT_FALSE(form->IsKeepingConnection());
    ConnectLine();
    Tick();
    EXPECT_TRUE(form->IsKeepingConnection());

    ras.dial = [](const char*, std::uint32_t& error) {
        error = 678;
        return false;
    };
    DropLine();
    Tick(); // the line dropped: redial armed, dialling fails
    RunSettings([](QWidget* shown) { SetKeepConnected(shown, false); });
    EXPECT_TRUE(form->IsKeepingConnection());
    ConnectLine();
    Tick();
    RunSettings([](QWidget* shown) { SetKeepConnected(shown, false); });
    EXPECT_FALSE(form->IsKeepingConnection());
    EXPECT_EQ(boxes.boxes.size(), 1);
}

TEST_F(OptionsCommand, ThePickedInterfaceIsWatchedFromTheNextTick)
{
    ras.entries = {"dsl", "wan0"};
    ras.Add("wan0", 42).stats = {1000, 0, 1000};
    StartWindowWithDialog();
    ASSERT_FALSE(form->IsConnected());
    RunSettings([](QWidget* shown) { // picked from the list with the mouse
        auto* entries = shown->findChild<QComboBox*>("cbPhoneEntries");
        entries->showPopup();
        QAbstractItemView* list = entries->view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
        const QRect item = list->visualRect(list->model()->index(1, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    });
    EXPECT_STREQ(settings->Connection.Get(), "wan0");
    Tick();
    EXPECT_TRUE(form->IsConnected());
    EXPECT_EQ(Protocol().back(), "Now, we are connected");
    EXPECT_EQ(settings->SumRXLo.Get(), 1000u);
}
