#include "app/MainWindowFixture.h"

#include <QAction>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

using MainWindowLayout = test::MainWindowFixture;

namespace {

QStringList Captions(const QList<QAction*>& actions)
{
    QStringList captions;
    for (const QAction* action : actions)
        captions << (action->isSeparator() ? "-" : action->text());
    return captions;
}

} // namespace

TEST_F(MainWindowLayout, CaptionFixedClientAreaCentredWithASecondTimer)
{
    form = std::make_unique<TFormMain>(
        FormMainServices{*settings, ras, clock, *http, *sntp, pause, tray});
    EXPECT_TRUE(form->WatchTimer->isActive());
    EXPECT_EQ(form->WatchTimer->interval(), 1000);
    EXPECT_EQ(form->windowTitle(), "Quillmar V1.05");
    EXPECT_EQ(form->centralWidget()->size(), QSize(520, 344));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()); // not resizable
    EXPECT_FALSE(form->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(form->windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(form->font().family(), "MS Sans Serif");
    EXPECT_EQ(form->font().pixelSize(), 11);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QRect frame = form->frameGeometry();
    EXPECT_EQ(frame.left(), (screen.width() - frame.width()) / 2);
    EXPECT_EQ(frame.top(), (screen.height() - frame.height()) / 2);
}

TEST_F(MainWindowLayout, EveryControlAtItsPlaceWithItsCaption)
{
    StartWindow();
    const auto geometry = [&](const char* name) {
        return form->findChild<QWidget*>(name)->geometry();
    };
    EXPECT_EQ(geometry("GroupBox1"), QRect(8, 8, 217, 73));
    EXPECT_EQ(geometry("gbTrafficOverall"), QRect(8, 88, 217, 73));
    EXPECT_EQ(geometry("gbHistory"), QRect(8, 168, 217, 137));
    EXPECT_EQ(geometry("btConnect"), QRect(8, 312, 65, 25));
    EXPECT_EQ(geometry("btDisconnect"), QRect(80, 312, 65, 25));
    EXPECT_EQ(geometry("btShowMore"), QRect(152, 312, 73, 25));
    EXPECT_EQ(geometry("gbLog"), QRect(239, 8, 274, 329));
    EXPECT_EQ(geometry("lbLog"), QRect(8, 16, 257, 305));

    EXPECT_EQ(form->GroupBox1->title(), "This Session");
    EXPECT_EQ(form->gbLog->title(), "Protocol");
    EXPECT_EQ(form->btConnect->text(), "Connect");
    EXPECT_EQ(form->btDisconnect->text(), "Disconnect");

    const struct {
        QLabel* value;
        int y;
        const char* caption;
    } rows[] = {{form->stSessionRX, 16, "Received:"}, {form->stSessionTX, 32, "Transmitted:"},
                {form->stSessionSum, 48, "Sum:"},     {form->stSumRX, 16, "Received:"},
                {form->stSumTX, 32, "Transmitted:"},  {form->stSum, 48, "Sum:"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.value->objectName().toStdString());
        EXPECT_EQ(row.value->geometry(), QRect(72, row.y, 97, 13));
        EXPECT_TRUE(row.value->alignment() & Qt::AlignRight);
        QStringList texts;
        for (const QLabel* label : row.value->parentWidget()->findChildren<QLabel*>())
            if (label->y() == row.y)
                texts << QString("%1@%2").arg(label->text()).arg(label->x());
        EXPECT_TRUE(texts.contains(QString(row.caption) + "@8"));
        EXPECT_TRUE(texts.contains("Bytes@176"));
        EXPECT_LE(row.value->fontMetrics().horizontalAdvance(row.caption), 65); // not cut
    }
}

TEST_F(MainWindowLayout, MenusListEveryItemInOrder)
{
    StartWindow();
    EXPECT_EQ(Captions(form->menuBar()->actions()), QStringList({"Action", "Settings", "Info"}));
    const QMenu* action = form->findChild<QMenu*>("miAction");
    ASSERT_TRUE(action);
    EXPECT_EQ(Captions(action->actions()),
              QStringList({"Connect", "Disconnect", "-", "Reset Traffic Counter", "-",
                           "Update DynDNS", "Synchronize Time", "-", "Exit"}));
    EXPECT_EQ(Captions(form->pmTray->actions()),
              QStringList({"Show", "-", "Connect", "Disconnect", "-", "Exit"}));
    EXPECT_EQ(form->pmTray->defaultAction()->text(), "Show");
}
