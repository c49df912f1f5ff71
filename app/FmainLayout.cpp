// The main window's controls and menus, at the positions and with the captions of its layout, and
// its two widths.
#include "app/CounterLabel.h"
#include "app/Fmain.h"
#include "app/StatusLine.h"
#include "graph/HistoryImage.h"
#include "platform/desktop/GroupFrame.h"
#include "settings/RegVars.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>

namespace {

constexpr int ClientWidth = 520;
// Narrow enough to hide the protocol box, wide enough for the whole left column.
constexpr int NarrowClientWidth = 232;
constexpr int ClientHeight = 344;

QGroupBox* AddGroupBox(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    box->setGeometry(geometry);
    platform::SetTitleIntoFrame(box);
    return box;
}

QLabel* AddLabel(QWidget* parent, const QString& text, QRect geometry, Qt::Alignment alignment)
{
    auto* label = new QLabel(text, parent);
    label->setGeometry(geometry);
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

// One counter row: caption, value and unit, the value right-aligned so the digits line up.
CounterLabel* AddCounterRow(QGroupBox* box, int y, const QString& caption, const char* valueName,
                            const QString& initial)
{
    AddLabel(box, caption, {8, y, 65, 13}, Qt::AlignRight);
    auto* value = new CounterLabel(initial, {72, y, 97, 13}, box);
    value->setObjectName(valueName);
    AddLabel(box, "Bytes", {176, y, 33, 13}, Qt::AlignLeft);
    return value;
}

QPushButton* AddButton(QWidget* parent, const char* name, const QString& caption, QRect geometry)
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(geometry);
    return button;
}

QAction* AddAction(QMenu* menu, const char* name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

void AddSeparator(QMenu* menu, const char* name)
{
    menu->addSeparator()->setObjectName(name);
}

} // namespace

void TFormMain::BuildLayout()
{
    // The layout was measured in this face; Liberation Sans has the same metrics as its
    // successors and keeps captions such as "Transmitted:" within their 65 pixels.
    QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
    QFont font("MS Sans Serif");
    font.setPixelSize(11);
    setFont(font);

    auto* client = new QWidget(this);
    client->setObjectName("client");
    client->setFixedSize(ClientWidth, ClientHeight);
    setCentralWidget(client);

    GroupBox1 = AddGroupBox(client, "GroupBox1", "This Session", {8, 8, 217, 73});
    stSessionRX = AddCounterRow(GroupBox1, 16, "Received:", "stSessionRX", "-");
    stSessionTX = AddCounterRow(GroupBox1, 32, "Transmitted:", "stSessionTX", "-");
    stSessionSum = AddCounterRow(GroupBox1, 48, "Sum:", "stSessionSum", "-");

    gbTrafficOverall = AddGroupBox(client, "gbTrafficOverall", "Traffic", {8, 88, 217, 73});
    stSumRX = AddCounterRow(gbTrafficOverall, 16, "Received:", "stSumRX", "0");
    stSumTX = AddCounterRow(gbTrafficOverall, 32, "Transmitted:", "stSumTX", "0");
    stSum = AddCounterRow(gbTrafficOverall, 48, "Sum:", "stSum", "0");

    gbHistory = AddGroupBox(client, "gbHistory", QString(), {8, 168, 217, 137});
    imgHistory = new graph::HistoryImage(QSize(199, 111), gbHistory);
    imgHistory->setObjectName("imgHistory");
    imgHistory->move(8, 16);

    btConnect = AddButton(client, "btConnect", "Connect", {8, 312, 65, 25});
    btDisconnect = AddButton(client, "btDisconnect", "Disconnect", {80, 312, 65, 25});
    btShowMore = AddButton(client, "btShowMore", "Show More", {152, 312, 73, 25});

    gbLog = AddGroupBox(client, "gbLog", "Protocol", {239, 8, 274, 329});
    lbLog = new QListWidget(gbLog);
    lbLog->setObjectName("lbLog");
    lbLog->setGeometry(8, 16, 257, 305);
    lbLog->setUniformItemSizes(true);
    lbLog->setStyleSheet("QListWidget::item { height: 13px; padding: 0px; }");

    // Below the client area, which keeps its size and every control's place.
    stUsage = new StatusLine(statusBar());
    statusBar()->addWidget(stUsage, 1);
    statusBar()->setSizeGripEnabled(false);

    connect(btConnect, &QPushButton::clicked, this, &TFormMain::btConnectClick);
    connect(btDisconnect, &QPushButton::clicked, this, &TFormMain::btDisconnectClick);
    connect(btShowMore, &QPushButton::clicked, this, &TFormMain::btShowMoreClick);
}

void TFormMain::BuildMenus()
{
    QMenu* action = menuBar()->addMenu("Action");
    action->setObjectName("miAction");
    connect(AddAction(action, "mimConnect", "Connect"), &QAction::triggered, this,
            &TFormMain::btConnectClick);
    connect(AddAction(action, "mimDisconnect", "Disconnect"), &QAction::triggered, this,
            &TFormMain::btDisconnectClick);
    AddSeparator(action, "N4");
    connect(AddAction(action, "mimResetTrafficCounter", "Reset Traffic Counter"),
            &QAction::triggered, this, &TFormMain::btResetOverallClick);
    AddSeparator(action, "N5");
    connect(AddAction(action, "mimUpdateDynDNS", "Update DynDNS"), &QAction::triggered, this,
            &TFormMain::miDNSUpdateClick);
    connect(AddAction(action, "mimUpdateNTP", "Synchronize Time"), &QAction::triggered, this,
            &TFormMain::miUpdateNTPClick);
    AddSeparator(action, "N3");
    connect(AddAction(action, "mimExit", "Exit"), &QAction::triggered, this,
            &TFormMain::miExitClick);
    AddSeparator(action, "N6");
    connect(AddAction(action, "mimUsageHistory", "Usage History"), &QAction::triggered, this,
            &TFormMain::miUsageHistoryClick);
    QAction* settings = menuBar()->addAction("Settings");
    settings->setObjectName("mimSettings");
    connect(settings, &QAction::triggered, this, &TFormMain::btOptionsClick);
    QAction* info = menuBar()->addAction("Info");
    info->setObjectName("miInfo");
    connect(info, &QAction::triggered, this, &TFormMain::miInfoClick);

    pmTray = new QMenu(this);
    pmTray->setObjectName("pmTray");
    QAction* show = AddAction(pmTray, "miShow", "Show");
    pmTray->setDefaultAction(show); // shown bold
    connect(show, &QAction::triggered, this, &TFormMain::miShowClick);
    AddSeparator(pmTray, "N1");
    connect(AddAction(pmTray, "miConnect", "Connect"), &QAction::triggered, this,
            &TFormMain::btConnectClick);
    connect(AddAction(pmTray, "miDisconnect", "Disconnect"), &QAction::triggered, this,
            &TFormMain::btDisconnectClick);
    AddSeparator(pmTray, "N2");
    connect(AddAction(pmTray, "miExit", "Exit"), &QAction::triggered, this,
            &TFormMain::miExitClick);
    AddSeparator(pmTray, "N7");
    connect(AddAction(pmTray, "miUsageHistory", "Usage History"), &QAction::triggered, this,
            &TFormMain::miUsageHistoryClick);
}

void TFormMain::ApplyShowMore()
{
    const bool narrow = settings_.ShowMore.Get() != 0;
    centralWidget()->setFixedWidth(narrow ? NarrowClientWidth : ClientWidth);
    btShowMore->setText(narrow ? "Show More" : "Show Less");
    adjustSize();
}
