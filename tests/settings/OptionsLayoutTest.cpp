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
#include <iostream>

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

// A group's caption, then its controls row by row, left to right: the text of labels and check
// boxes, the name of the others.
QString Face(const QGroupBox* group)
{
    auto widgets = group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    std::ranges::sort(widgets, {}, [](const QWidget* w) { return w->geometry().center().y(); });
    QStringList rows{group->title()};
    for (auto row = widgets.begin(); row != widgets.end();) {
        const int bottom = (*row)->geometry().bottom();
        const auto end = std::find_if(row, widgets.end(), [&](auto* w) { return w->y() > bottom; });
        std::sort(row, end, [](auto* a, auto* b) { return a->x() < b->x(); });
        QStringList items;
        for (const QWidget* w : std::ranges::subrange(row, end)) {
            if (const auto* box = qobject_cast<const QCheckBox*>(w))
                items << box->text();
            else if (const auto* label = qobject_cast<const QLabel*>(w))
                items << label->text();
            else
                items << w->objectName();
        }
        rows << items.join("|");
        row = end;
    }
    return rows.join(" / ");
}

TEST(OptionsLayout, GroupsInTwoColumnsWithTheirControlsCaptionsAndUnits)
{
    OptionsHarness h;
    h.Open();
    const auto group = [&](const char* name) { return h.Find<QGroupBox>(name); };
    const std::pair<const char*, const char*> faces[] = {
        {"gbConnection",
         "Connection / cbPhoneEntries / Establish connection at program start / Establish "
         "connection if interrupted / Keep connection alive by cyclically accessing a NTP server: "
         "/ Enabled / Hostname:|eKeepAliveHost / Update Speed:|cbKeepAliveTime|min"},
        {"gbTrafficHistory",
         "Traffic History  / Bandwidth Rx:|cbBandwidthRX|kBit/s / Bandwidth Tx:|cbBandwidthTX|"
         "kBit/s / Scaling:|cbHistScala / Update Speed:|cbUpdateSpeed|sec"},
        {"gbTrafficLimit",
         "Traffic Limit / Traffic Limit:|cbLimit|MByte / Show hints at 70%, 90% and 98% / Close "
         "connection if limit is reached / Automatically reset the traffic counter at a specific "
         "day of a month: / cbLimitAutoReset"},
        {"gbDynDNS", "DynDNS / Update when connected / Hostname:|eHostname / Username:|eUsername / "
                     "Password:|ePassword"},
        {"gbMisc", "Misc / Start program minimized / Start at login"}};
    for (const auto& [name, face] : faces)
        EXPECT_EQ(Face(group(name)), face);
    const auto below = [&](const char* upper, const char* lower) {
        EXPECT_EQ(group(upper)->x(), group(lower)->x()) << lower;
        EXPECT_LE(group(upper)->geometry().bottom(), group(lower)->y()) << lower;
    };
    below("gbConnection", "gbTrafficHistory");
    below("gbTrafficLimit", "gbDynDNS");
    below("gbDynDNS", "gbMisc");
    EXPECT_LE(group("gbConnection")->geometry().right(), group("gbTrafficLimit")->x());
    for (const char* button : {"btOK", "btCancel"})
        for (const char* lowest : {"gbTrafficHistory", "gbMisc"})
            EXPECT_GE(h.Find<QPushButton>(button)->y(), group(lowest)->geometry().bottom());
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
