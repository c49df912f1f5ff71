#include "settings/OptionsHarness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <gtest/gtest.h>

using test::OptionsHarness;

namespace {

QStringList Items(const QComboBox* combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

QRect InForm(const QWidget* widget, const QWidget* form)
{
    return QRect(widget->mapTo(form, QPoint(0, 0)), widget->size());
}

// Enter and Escape are the exec tests'.
TEST(OptionsLayout, FixedAreaPlacedOnceRightOfAndBelowTheScreenCentre)
{
    OptionsHarness h;
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    EXPECT_EQ(h.form.pos(),
              QPoint((screen.width() - 496) / 2 + 50, (screen.height() - 442) / 2 + 30));
    h.Open();
    EXPECT_EQ(h.form.windowTitle(), "Settings");
    EXPECT_EQ(h.form.size(), QSize(496, 442));
    EXPECT_EQ(h.form.minimumSize(), h.form.maximumSize());
    const Qt::WindowFlags flags = h.form.windowFlags();
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(h.Find<QPushButton>("btOK")->text(), "OK");
    EXPECT_EQ(h.Find<QPushButton>("btCancel")->text(), "Cancel");
    h.Type("ePassword", "s3cr3t");
    EXPECT_EQ(h.Find<QLineEdit>("ePassword")->displayText(), "xxxxxx");

    h.form.move(10, 20); // where the user dragged it
    h.PressCancel();
    h.Open();
    EXPECT_EQ(h.form.pos(), QPoint(10, 20));
}

// Each group's controls top to bottom, with the caption they show (their own text, or the label
// naming them) and the unit to their right.
TEST(OptionsLayout, GroupsInTwoColumnsAndEveryControlInItsGroupWithItsCaptionAndUnit)
{
    OptionsHarness h;
    h.Open();
    const auto group = [&](const char* name) { return h.Find<QGroupBox>(name); };
    const std::pair<const char*, const char*> groups[] = {{"gbConnection", "Connection"},
                                                          {"gbTrafficHistory", "Traffic History "},
                                                          {"gbTrafficLimit", "Traffic Limit"},
                                                          {"gbDynDNS", "DynDNS"},
                                                          {"gbMisc", "Misc"}};
    for (const auto& [name, caption] : groups)
        EXPECT_EQ(group(name)->title(), caption);
    const auto below = [&](const char* upper, const char* lower) {
        EXPECT_EQ(group(upper)->x(), group(lower)->x()) << lower;
        EXPECT_LE(group(upper)->geometry().bottom(), group(lower)->y()) << lower;
    };
    below("gbConnection", "gbTrafficHistory");
    below("gbTrafficLimit", "gbDynDNS");
    below("gbDynDNS", "gbMisc");
    EXPECT_LE(group("gbConnection")->geometry().right(), group("gbTrafficLimit")->x());
    for (const char* button : {"btOK", "btCancel"})
        EXPECT_GE(h.Find<QPushButton>(button)->y(), group("gbTrafficHistory")->geometry().bottom());

    const struct {
        const char* group;
        const char* control;
        const char* caption;
        const char* unit;
    } rows[] = {
        {"gbConnection", "cbPhoneEntries", nullptr, nullptr},
        {"gbConnection", "ckAutoConnect", "Establish connection at program start", nullptr},
        {"gbConnection", "ckKeepConnected", "Establish connection if interrupted", nullptr},
        {"gbConnection", "StaticText2",
         "Keep connection alive by cyclically accessing a NTP server:", nullptr},
        {"gbConnection", "ckKeepAliveEnabled", "Enabled", nullptr},
        {"gbConnection", "eKeepAliveHost", "Hostname:", nullptr},
        {"gbConnection", "cbKeepAliveTime", "Update Speed:", "min"},
        {"gbTrafficHistory", "cbBandwidthRX", "Bandwidth Rx:", "kBit/s"},
        {"gbTrafficHistory", "cbBandwidthTX", "Bandwidth Tx:", "kBit/s"},
        {"gbTrafficHistory", "cbHistScala", "Scaling:", nullptr},
        {"gbTrafficHistory", "cbUpdateSpeed", "Update Speed:", "sec"},
        {"gbTrafficLimit", "cbLimit", "Traffic Limit:", "MByte"},
        {"gbTrafficLimit", "ckLimitMessage", "Show hints at 70%, 90% and 98%", nullptr},
        {"gbTrafficLimit", "ckLimitClose", "Close connection if limit is reached", nullptr},
        {"gbTrafficLimit", "StaticText1",
         "Automatically reset the traffic counter at a specific day of a month:", nullptr},
        {"gbTrafficLimit", "cbLimitAutoReset", nullptr, nullptr},
        {"gbDynDNS", "ckAutoUpdate", "Update when connected", nullptr},
        {"gbDynDNS", "eHostname", "Hostname:", nullptr},
        {"gbDynDNS", "eUsername", "Username:", nullptr},
        {"gbDynDNS", "ePassword", "Password:", nullptr},
        {"gbMisc", "ckStartMinimized", "Start program minimized", nullptr},
    };
    const QWidget* above = nullptr;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.control);
        const auto* control = h.Find<QWidget>(row.control);
        const QGroupBox* parent = group(row.group);
        ASSERT_EQ(control->parentWidget(), parent);
        if (above && above->parentWidget() == parent) {
            EXPECT_LE(above->geometry().bottom(), control->y());
        }
        above = control;
        QString caption;
        if (const auto* box = qobject_cast<const QCheckBox*>(control))
            caption = box->text();
        else if (const auto* text = qobject_cast<const QLabel*>(control))
            caption = text->text();
        QString unit;
        for (const QLabel* label : parent->findChildren<QLabel*>()) {
            const int middle = label->geometry().center().y();
            const bool sameRow = middle >= control->y() && middle <= control->geometry().bottom();
            if (label->buddy() == control && label->geometry().right() < control->x())
                caption = label->text();
            else if (sameRow && label->x() > control->geometry().right())
                unit = label->text();
        }
        EXPECT_EQ(caption, row.caption ? row.caption : QString());
        EXPECT_EQ(unit, row.unit ? row.unit : QString());
    }
}

// A fixed client area silently squeezes what does not fit; every caption must stay whole.
TEST(OptionsLayout, EveryCaptionFitsTheFixedArea)
{
    OptionsHarness h;
    h.Open();
    for (const QWidget* widget : h.form.findChildren<QWidget*>()) {
        SCOPED_TRACE(widget->objectName().toStdString());
        if (!widget->isVisible())
            continue;
        const auto* label = qobject_cast<const QLabel*>(widget);
        if (label && label->wordWrap()) {
            EXPECT_GE(label->height(), label->heightForWidth(label->width()));
        } else if (label || qobject_cast<const QCheckBox*>(widget)) {
            EXPECT_GE(widget->width(), widget->sizeHint().width());
        }
        EXPECT_TRUE(h.form.rect().contains(InForm(widget, &h.form)));
    }
}

TEST(OptionsLayout, ItemLists)
{
    OptionsHarness h;
    const QStringList bandwidths = {"64",   "128",  "192",  "256",  "384",   "512",  "768",
                                    "1024", "2048", "3072", "6000", "16000", "24000"};
    QStringList days{"Never"};
    for (int day = 1; day <= 28; ++day)
        days << QString::number(day);
    const struct {
        const char* combo;
        bool editable;
        QStringList items;
    } rows[] = {
        {"cbKeepAliveTime", true, {"5", "10", "15", "20"}},
        {"cbBandwidthRX", true, bandwidths},
        {"cbBandwidthTX", true, bandwidths},
        {"cbHistScala", false, {"kBit/s", "kByte/s", "MBit/s", "MByte/s"}},
        {"cbUpdateSpeed", true, {"1", "2", "5", "10", "20", "30", "60"}},
        {"cbLimit", true, {"1000", "2000", "5000", "10000", "20000", "50000"}},
        {"cbLimitAutoReset", false, days},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.combo);
        const auto* combo = h.Find<QComboBox>(row.combo);
        EXPECT_EQ(Items(combo), row.items);
        EXPECT_EQ(combo->isEditable(), row.editable);
    }
    EXPECT_TRUE(h.Find<QComboBox>("cbPhoneEntries")->isEditable());
}

} // namespace
