// The dialog's controls in their two columns, and its one placement on the screen.
#include "platform/desktop/GroupFrame.h"
#include "settings/Foptions.h"
#include "settings/PasswordMaskStyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace {

constexpr int ClientWidth = 496;
constexpr int ClientHeight = 442;

const QStringList BandwidthItems = {"64",   "128",  "192",  "256",  "384",   "512",  "768",
                                    "1024", "2048", "3072", "6000", "16000", "24000"};

QStringList AutoResetItems()
{
    QStringList items{"Never"};
    for (int day = 1; day <= 28; ++day)
        items << QString::number(day);
    return items;
}

constexpr int GroupMargin = 6;

QGroupBox* Group(const char* name, const QString& caption, QWidget* parent)
{
    auto* group = new QGroupBox(caption, parent);
    group->setObjectName(name);
    platform::SetTitleIntoFrame(group);
    return group;
}

QComboBox* ListCombo(const char* name, const QStringList& items, QWidget* parent)
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->addItems(items);
    return combo;
}

// Numbers and names are typed freely; the items are only suggestions, so typing neither
// completes nor collects new items.
QComboBox* FreeTextCombo(const char* name, const QStringList& items, QWidget* parent)
{
    QComboBox* combo = ListCombo(name, items, parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
    return combo;
}

QCheckBox* CheckBox(const char* name, const QString& caption, QWidget* parent)
{
    auto* box = new QCheckBox(caption, parent);
    box->setObjectName(name);
    return box;
}

QLineEdit* Edit(const char* name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

QLabel* StaticText(const char* name, const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(true);
    return label;
}

// One "label  control  unit" row of a group's grid.
void AddRow(QGridLayout* grid, const QString& label, QWidget* control, const QString& unit = {})
{
    const int row = grid->rowCount();
    auto* caption = new QLabel(label, control->parentWidget());
    caption->setBuddy(control);
    grid->addWidget(caption, row, 0);
    grid->addWidget(control, row, 1);
    if (!unit.isEmpty())
        grid->addWidget(new QLabel(unit, control->parentWidget()), row, 2);
}

// A row spanning the whole grid.
void AddWide(QGridLayout* grid, QWidget* widget)
{
    grid->addWidget(widget, grid->rowCount(), 0, 1, 3);
}

} // namespace

void TFormOptions::BuildControls()
{
    setObjectName("FormOptions");
    setWindowTitle("Settings");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    // The client area is fixed, so the captions need a font of known, compact width to fit.
    setFont(QFont("Liberation Sans", 8));

    auto* gbConnection = Group("gbConnection", "Connection", this);
    auto* connection = new QGridLayout(gbConnection);
    connection->setContentsMargins(GroupMargin, GroupMargin, GroupMargin, GroupMargin);
    cbPhoneEntries = FreeTextCombo("cbPhoneEntries", {}, gbConnection);
    ckAutoConnect =
        CheckBox("ckAutoConnect", "Establish connection at program start", gbConnection);
    ckKeepConnected =
        CheckBox("ckKeepConnected", "Establish connection if interrupted", gbConnection);
    ckKeepAliveEnabled = CheckBox("ckKeepAliveEnabled", "Enabled", gbConnection);
    eKeepAliveHost = Edit("eKeepAliveHost", gbConnection);
    cbKeepAliveTime = FreeTextCombo("cbKeepAliveTime", {"5", "10", "15", "20"}, gbConnection);
    AddWide(connection, cbPhoneEntries);
    AddWide(connection, ckAutoConnect);
    AddWide(connection, ckKeepConnected);
    AddWide(connection,
            StaticText("StaticText2", "Keep connection alive by cyclically accessing a NTP server:",
                       gbConnection));
    AddWide(connection, ckKeepAliveEnabled);
    AddRow(connection, "Hostname:", eKeepAliveHost);
    AddRow(connection, "Update Speed:", cbKeepAliveTime, "min");

    auto* gbTrafficHistory = Group("gbTrafficHistory", "Traffic History ", this);
    auto* history = new QGridLayout(gbTrafficHistory);
    history->setContentsMargins(GroupMargin, GroupMargin, GroupMargin, GroupMargin);
    cbBandwidthRX = FreeTextCombo("cbBandwidthRX", BandwidthItems, gbTrafficHistory);
    cbBandwidthTX = FreeTextCombo("cbBandwidthTX", BandwidthItems, gbTrafficHistory);
    cbHistScala =
        ListCombo("cbHistScala", {"kBit/s", "kByte/s", "MBit/s", "MByte/s"}, gbTrafficHistory);
    cbUpdateSpeed =
        FreeTextCombo("cbUpdateSpeed", {"1", "2", "5", "10", "20", "30", "60"}, gbTrafficHistory);
    AddRow(history, "Bandwidth Rx:", cbBandwidthRX, "kBit/s");
    AddRow(history, "Bandwidth Tx:", cbBandwidthTX, "kBit/s");
    AddRow(history, "Scaling:", cbHistScala);
    AddRow(history, "Update Speed:", cbUpdateSpeed, "sec");

    auto* gbTrafficLimit = Group("gbTrafficLimit", "Traffic Limit", this);
    auto* limit = new QGridLayout(gbTrafficLimit);
    limit->setContentsMargins(GroupMargin, GroupMargin, GroupMargin, GroupMargin);
    cbLimit = FreeTextCombo("cbLimit", {"1000", "2000", "5000", "10000", "20000", "50000"},
                            gbTrafficLimit);
    ckLimitMessage = CheckBox("ckLimitMessage", "Show hints at 70%, 90% and 98%", gbTrafficLimit);
    ckLimitClose = CheckBox("ckLimitClose", "Close connection if limit is reached", gbTrafficLimit);
    cbLimitAutoReset = ListCombo("cbLimitAutoReset", AutoResetItems(), gbTrafficLimit);
    AddRow(limit, "Traffic Limit:", cbLimit, "MByte");
    AddWide(limit, ckLimitMessage);
    AddWide(limit, ckLimitClose);
    AddWide(limit, StaticText("StaticText1",
                              "Automatically reset the traffic counter at a specific day of a "
                              "month:",
                              gbTrafficLimit));
    AddWide(limit, cbLimitAutoReset);

    auto* gbDynDNS = Group("gbDynDNS", "DynDNS", this);
    auto* dynDns = new QGridLayout(gbDynDNS);
    dynDns->setContentsMargins(GroupMargin, GroupMargin, GroupMargin, GroupMargin);
    ckAutoUpdate = CheckBox("ckAutoUpdate", "Update when connected", gbDynDNS);
    eHostname = Edit("eHostname", gbDynDNS);
    eUsername = Edit("eUsername", gbDynDNS);
    ePassword = Edit("ePassword", gbDynDNS);
    ePassword->setEchoMode(QLineEdit::Password);
    auto* mask = new PasswordMaskStyle;
    mask->setParent(ePassword); // setStyle does not take ownership
    ePassword->setStyle(mask);
    AddWide(dynDns, ckAutoUpdate);
    AddRow(dynDns, "Hostname:", eHostname);
    AddRow(dynDns, "Username:", eUsername);
    AddRow(dynDns, "Password:", ePassword);

    auto* gbMisc = Group("gbMisc", "Misc", this);
    auto* misc = new QVBoxLayout(gbMisc);
    ckStartMinimized = CheckBox("ckStartMinimized", "Start program minimized", gbMisc);
    ckStartAtLogin = CheckBox("ckStartAtLogin", "Start at login", gbMisc);
    ckHintsAsNotifications =
        CheckBox("ckHintsAsNotifications", "Show hints as desktop notifications", gbMisc);
    // The column is full: the row added last fits, with every earlier control where it was, only
    // without spacing above it or a margin below it, and with the group reaching down to the
    // buttons (see below).
    misc->setContentsMargins(GroupMargin, GroupMargin, GroupMargin, 0);
    const int rowSpacing = misc->spacing();
    misc->setSpacing(0);
    misc->addWidget(ckStartMinimized);
    misc->addSpacing(rowSpacing);
    misc->addWidget(ckStartAtLogin);
    misc->addWidget(ckHintsAsNotifications);

    btOK = new QPushButton("OK", this);
    btOK->setObjectName("btOK");
    btOK->setDefault(true);
    btCancel = new QPushButton("Cancel", this);
    btCancel->setObjectName("btCancel");
    connect(btOK, &QPushButton::clicked, this, &TFormOptions::btOKClick);
    connect(btCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* left = new QVBoxLayout;
    left->addWidget(gbConnection);
    left->addWidget(gbTrafficHistory);
    left->addStretch();
    auto* right = new QVBoxLayout;
    right->addWidget(gbTrafficLimit);
    right->addWidget(gbDynDNS);
    right->addWidget(gbMisc);
    right->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btOK);
    buttons->addWidget(btCancel);
    buttons->addStretch();
    auto* form = new QVBoxLayout(this);
    form->setContentsMargins(8, 8, 8, 8);
    // The columns reach down to the buttons; the layouts inside keep the spacing they had.
    for (QBoxLayout* inner : std::initializer_list<QBoxLayout*>{left, right, columns, buttons})
        inner->setSpacing(form->spacing());
    form->setSpacing(0);
    form->addLayout(columns);
    form->addLayout(buttons);

    setFixedSize(ClientWidth, ClientHeight);
}

void TFormOptions::PlaceOnScreen()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // The window manager's frame is not known before the first show, so the outer size is the
    // client size here.
    const QRect area = screen->geometry();
    const QSize outer = frameGeometry().size();
    move(area.x() + (area.width() - outer.width()) / 2 + 50,
         area.y() + (area.height() - outer.height()) / 2 + 30);
}
