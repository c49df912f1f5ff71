// The main window's face, its two widths, the ways of quitting, and its modal windows: the watch
// cycle goes on behind them on the real timer and the real event loop.
#include "app/MainWindowFixture.h"
#include "app/StatusLine.h"
#include "graph/PixelRows.h"
#include "settings/Foptions.h"
#include "traffic/PackedDateTime.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using MainWindow = test::MainWindowFixture;
using Modals = test::MainWindowFixture;

namespace {

QStringList Captions(const QList<QAction*>& actions)
{
    QStringList captions;
    for (const QAction* action : actions)
        captions << (action->isSeparator() ? "-" : action->text());
    return captions;
}

// A group's title, a button's caption, or every text on a label's or value's line as "text@x".
QString Face(const QWidget* widget)
{
    if (!qobject_cast<const QLabel*>(widget) && !qobject_cast<const CounterLabel*>(widget))
        return widget->property(qobject_cast<const QGroupBox*>(widget) ? "title" : "text")
            .toString();
    QStringList line;
    for (const QWidget* other : widget->parentWidget()->findChildren<QWidget*>())
        if (other->y() == widget->y() && other->property("text").isValid())
            line << QString("%1@%2").arg(other->property("text").toString()).arg(other->x());
    return line.join(' ');
}

// Runs the program's event loop with `action` as its first event; the result is the loop's exit
// code, 1 if it still ran after five seconds.
int RunProgramLoop(const std::function<void()>& action)
{
    QTimer::singleShot(0, action);
    QTimer::singleShot(5000, [] { QCoreApplication::exit(1); });
    return QApplication::exec();
}

void WhenModalOpens(const std::function<void(QWidget*)>& act)
{
    QTimer::singleShot(2, [act] {
        if (QWidget* modal = QApplication::activeModalWidget())
            act(modal);
        else
            WhenModalOpens(act);
    });
}

// Names the widgets it watches as they are painted, and what of them was painted last.
struct PaintRecorder : QObject {
    QStringList painted;
    QMap<QString, QRect> exposed;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            painted << watched->objectName();
            exposed[watched->objectName()] = static_cast<QPaintEvent*>(event)->rect();
        }
        return false;
    }
};

QImage Rendered(QWidget& widget, qreal scale)
{
    QImage image(widget.size() * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    widget.render(&image);
    return image;
}

// What the window shows of `widget` once the updates asked for are painted: its pixels in the
// window's backing store, which a repaint of a part of it leaves as they were elsewhere.
QImage OnScreen(const QWidget& widget)
{
    QCoreApplication::sendPostedEvents(); // a new text is laid out,
    QCoreApplication::sendPostedEvents(); // then what changed is painted
    const QPoint at = widget.mapTo(widget.window(), QPoint());
    return widget.screen()
        ->grabWindow(widget.window()->winId(), at.x(), at.y(), widget.width(), widget.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

QImage RenderedWhole(QWidget& widget)
{
    return Rendered(widget, 1.0).convertToFormat(QImage::Format_RGB32);
}

} // namespace

// Every control at its place, clear of its group's frame and title; the menus; the width kept.
TEST_F(MainWindow, FaceLayoutMenusAndWidthsAtEveryStart)
{
    settings->HistoryScaling.Set(5);
    form = std::make_unique<TFormMain>(Services(ras)); // its timer left running
    EXPECT_EQ(form->WatchTimer->isActive() * form->WatchTimer->interval(), 1000);
    EXPECT_EQ(form->WatchTimer->timerType(), Qt::PreciseTimer);
    EXPECT_EQ(form->windowTitle(), "Quillmar V1.05");
    EXPECT_EQ(form->centralWidget()->size(), QSize(520, 344));
    EXPECT_EQ(form->minimumSize(), form->maximumSize()); // not resizable

    const std::tuple<const char*, QRect, QString> rows[] = {
        {"GroupBox1", {8, 8, 217, 73}, "This Session"},
        {"stSessionRX", {72, 16, 97, 13}, "Received:@8 -@72 Bytes@176"},
        {"stSessionTX", {72, 32, 97, 13}, "Transmitted:@8 -@72 Bytes@176"},
        {"stSessionSum", {72, 48, 97, 13}, "Sum:@8 -@72 Bytes@176"},
        {"gbTrafficOverall", {8, 88, 217, 73}, "Traffic since 06.12.2026"},
        {"stSumRX", {72, 16, 97, 13}, "Received:@8 0@72 Bytes@176"},
        {"stSumTX", {72, 32, 97, 13}, "Transmitted:@8 0@72 Bytes@176"},
        {"stSum", {72, 48, 97, 13}, "Sum:@8 0@72 Bytes@176"},
        {"gbHistory", {8, 168, 217, 137}, "Traffic Graph [MByte/s]"},
        {"imgHistory", {8, 16, 199, 111}, ""},
        {"btConnect", {8, 312, 65, 25}, "Connect"},
        {"btDisconnect", {80, 312, 65, 25}, "Disconnect"},
        {"btShowMore", {152, 312, 73, 25}, "Show Less"},
        {"gbLog", {239, 8, 274, 329}, "Protocol"},
        {"lbLog", {8, 16, 257, 305}, ""},
    };
    for (const auto& [name, geometry, face] : rows) {
        const auto* widget = form->findChild<QWidget*>(name);
        ASSERT_TRUE(widget) << name;
        EXPECT_EQ(QString("%1 %2").arg(Face(widget)).arg(widget->geometry() == geometry),
                  face + " 1")
            << name;
    }
    EXPECT_EQ(FramesNearControls(*form), QStringList());

    EXPECT_EQ(Captions(form->menuBar()->actions()), QStringList({"Action", "Settings", "Info"}));
    EXPECT_EQ(
        Captions(form->findChild<QMenu*>("miAction")->actions()),
        QStringList({"Connect", "Disconnect", "-", "Reset Traffic Counter", "-", "Update DynDNS",
                     "Synchronize Time", "-", "Exit", "-", "Usage History"}));
    EXPECT_EQ(Captions(form->pmTray->actions()), QStringList({"Show", "-", "Connect", "Disconnect",
                                                              "-", "Exit", "-", "Usage History"}));

    // Wide at first, narrow after one click, and a restart keeps it.
    form->btShowMore->click();
    form.reset();
    StartWindow();
    EXPECT_EQ(QString("%1 %2").arg(form->width()).arg(form->btShowMore->text()), "232 Show More");
}

// A tick repaints the counters whose value changed and nothing of their boxes: they are opaque,
// in the colour the box shows around them; of a value, the glyphs that changed. They draw a value
// where and as a label would, at 100 % and at 200 %, also one too wide for them, and what the
// window shows after each repaint of a part is what a whole repaint shows.
TEST_F(MainWindow, ATickRepaintsJustTheCountersThatChangedAsLabelsWouldDrawThem)
{
    ras.entries = {"dsl"};
    ConnectLine();
    StartWindow();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QCoreApplication::sendPostedEvents(); // the first paint
    PaintRecorder paints;
    for (QWidget* box : {form->GroupBox1, form->gbTrafficOverall}) {
        box->installEventFilter(&paints);
        for (QWidget* child : box->findChildren<QWidget*>())
            child->installEventFilter(&paints);
    }
    ConnectLine(1000); // received only
    Tick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !paints.painted.isEmpty(); }));
    EXPECT_EQ(paints.painted, QStringList({"stSessionRX", "stSessionSum", "stSumRX", "stSum"}));
    ConnectLine(1001);
    Tick();
    EXPECT_EQ(OnScreen(*form->stSumRX), RenderedWhole(*form->stSumRX));
    EXPECT_LT(paints.exposed["stSumRX"].width(), form->stSumRX->width() / 4); // the last digit

    const QImage shown = form->grab().toImage(); // left of a value's digits, and between rows:
    for (const QWidget* value : {form->stSessionRX, form->stSumTX})
        EXPECT_EQ(shown.pixel(value->mapTo(form.get(), QPoint(1, 6))),
                  shown.pixel(value->parentWidget()->mapTo(form.get(), QPoint(100, 30))));

    QLabel label;
    label.setFont(form->stSum->font());
    label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label.resize(form->stSum->size());
    for (const QString value : {"-", "7.001", "1.234.567.890", "1.234.568.001", "1.240.000.001",
                                "18.446.744.073.709.551.615", "7.001"}) {
        label.setText(value);
        form->stSum->setText(value);
        EXPECT_EQ(OnScreen(*form->stSum), RenderedWhole(*form->stSum)) << value.toStdString();
        for (const qreal scale : {1.0, 2.0})
            EXPECT_EQ(Rendered(label, scale), Rendered(*form->stSum, scale)) << value.toStdString();
    }
}

// Every way of quitting asks; no keeps the window, yes ends the program even hidden. At
// logout the session manager asks the application to quit: a question would hold it up.
TEST_F(MainWindow, QuittingAsksUnlessTheSessionEnds)
{
    StartWindow();
    form->show();
    test::MessageBoxRecorder boxes;
    form->findChild<QAction*>("mimExit")->trigger();
    form->pmTray->findChild<QAction*>("miExit")->trigger();
    form->close(); // the close box and the window manager's close
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(boxes.boxes, QStringList(3, "Request|Do you really want to quit Quillmar?"));
    EXPECT_EQ(RunProgramLoop([] { QCoreApplication::quit(); }), 0);
    EXPECT_EQ(boxes.boxes.size(), 3);

    boxes.answerYes = true;
    StartWindow(); // hidden, as in the tray
    EXPECT_EQ(RunProgramLoop([this] { form->miExitClick(); }), 0);
    EXPECT_EQ(boxes.boxes.size(), 4);
}

// Traffic flows on the line while the real timer ticks every 20 ms. Once the information of the
// first run is up, four readings of the stored received total are taken, each higher than the one
// before, then the window is closed.
TEST_F(Modals, TheWatchCycleGoesOnBehindAModalWindow)
{
    settings->InfoShown.Set(0);
    ConnectLine();
    StartWindow();
    QTimer traffic;
    QObject::connect(&traffic, &QTimer::timeout,
                     [this] { ras.Find("dsl")->stats.bytesReceived++; });
    traffic.start(5);
    std::optional<int> readings;
    WhenModalOpens([&](QWidget* modal) {
        // Stored before it is shown: a kill while it is open does not bring it back.
        EXPECT_EQ(CRegVars(store.File()).InfoShown.Get(), 1u);
        EXPECT_EQ(modal->windowTitle(), "License Agreement, Copyright");
        // Reports go where the metainfo sends them, not to an address that takes no mail.
        EXPECT_TRUE(qobject_cast<QMessageBox*>(modal)->text().contains(
            "reports to:\n        https://codeberg.org/quillmar/quillmar/issues\n"));
        // Each reading waits for a tick that stored more: on a loaded machine a tick comes late,
        // where a timer stopped by the box never comes.
        std::uint32_t stored = 0;
        const auto storedMore = [&] {
            const std::uint32_t before = stored;
            return QTest::qWaitFor(
                [&] { return (stored = CRegVars(store.File()).SumRXLo.Get()) > before; }, 20000);
        };
        int taken = 0;
        while (taken < 4 && storedMore())
            ++taken;
        readings = taken;
        qobject_cast<QDialog*>(modal)->reject();
    });
    form->WatchTimer->start(20);
    ASSERT_TRUE(QTest::qWaitFor([&] { return readings.has_value(); }, 60000));
    EXPECT_EQ(readings, 4);
}

// Keep-connected switched on while connected arms redial at once, with this note.
TEST_F(Modals, KeepConnectedSwitchedOnShowsItsNote)
{
    test::MessageBoxRecorder boxes;
    ras.entries = {"dsl"};
    ConnectLine();
    StartWindow();
    WhenModalOpens([&](QWidget* shown) {
        EXPECT_EQ(shown, form->FormOptions);
        shown->findChild<QCheckBox*>("ckKeepConnected")->setChecked(true);
        shown->findChild<QPushButton*>("btOK")->click();
    });
    form->findChild<QAction*>("mimSettings")->trigger();
    EXPECT_TRUE(form->IsKeepingConnection());
    EXPECT_EQ(boxes.boxes, QStringList("Request|Please note:\n"
                                       "In the future, Quillmar will keep a established\n"
                                       "connection. In order to disconnect please use the\n"
                                       "disconnect button from Quillmar!"));
}

// The status line below every control: current after a tick's counting, the settings' OK and a
// reset. The narrow window shows the whole parts that fit; the tooltip and a screen reader get
// the full text.
TEST_F(Modals, TheStatusLineFollowsTheCountsAndFitsTheNarrowWindow)
{
    settings->LimitLastReset.Set(DateTimeToPacked(QDateTime(QDate(2026, 12, 1), QTime(0, 0, 2))));
    settings->LimitAutoReset.Set(1);
    settings->SumRXLo.Set(300'000'000);
    ras.entries = {"dsl"};
    ConnectLine();
    StartWindow();
    form->show();
    ConnectLine(12'000'000);
    Tick();
    StatusLine* line = form->stUsage;
    // What a screen reader is told: a text, as a label would be, and the whole of it.
    const auto spoken = [line] {
        const QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(line);
        return reader->role() == QAccessible::StaticText ? reader->text(QAccessible::Name)
                                                         : "not announced as text";
    };
    const auto seen = [&] {
        return QStringList{line->ShownText(), line->toolTip(), spoken()}.join(" | ");
    };
    const QString full = "31 % of 1000 MB used · 688 MB left · period ends 01.01.2027";
    EXPECT_EQ(seen(), QStringList(3, full).join(" | "));
    EXPECT_GE(line->mapTo(form.get(), QPoint()).y(), form->centralWidget()->geometry().bottom());
    form->btShowMore->click();
    EXPECT_EQ(seen(), "31 % of 1000 MB used · 688 MB left … | " + full + " | " + full);

    WhenModalOpens([&](QWidget* shown) {
        shown->findChild<QComboBox*>("cbLimit")->setEditText("2000");
        shown->findChild<QComboBox*>("cbLimitAutoReset")->setCurrentIndex(0);
        shown->findChild<QPushButton*>("btOK")->click();
    });
    form->btOptionsClick();
    EXPECT_EQ(line->toolTip(), "15 % of 2000 MB used · 1688 MB left");

    test::MessageBoxRecorder boxes;
    boxes.answerYes = true;
    form->btResetOverallClick();
    EXPECT_EQ(line->toolTip(), "0 % of 2000 MB used · 2000 MB left");
    // What the line shows after a repaint of the part that changed is what a whole repaint shows.
    for (const std::uint64_t received : {12'500'000, 40'000'000, 400'000'000}) {
        ConnectLine(received); // one figure changes, then two, then the text's length
        Tick();
        EXPECT_EQ(OnScreen(*line), RenderedWhole(*line)) << line->ShownText().toStdString();
    }
}
