#include "settings/OptionsHarness.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <gtest/gtest.h>

using test::OptionsHarness;

namespace {

// The text of a label or button, the name of any other control.
QString Caption(const QWidget* widget)
{
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        return button->text();
    if (const auto* label = qobject_cast<const QLabel*>(widget))
        return label->text();
    return widget->objectName();
}

// What the user sees of a control: a group's caption, then its controls row by row, left to right;
// the items of a combo box, "..." ending one the user may type into; a caption.
QString Face(const QWidget* widget)
{
    QStringList parts;
    if (const auto* combo = qobject_cast<const QComboBox*>(widget)) {
        for (int i = 0; i < combo->count(); ++i)
            parts << combo->itemText(i);
        return parts.join(' ') + (combo->isEditable() ? " ..." : "");
    }
    const auto* group = qobject_cast<const QGroupBox*>(widget);
    if (!group)
        return Caption(widget);
    auto widgets = group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    std::ranges::sort(widgets, {}, [](const QWidget* w) { return w->geometry().center().y(); });
    parts << group->title();
    for (auto row = widgets.begin(); row != widgets.end();) {
        const int bottom = (*row)->geometry().bottom();
        const auto end = std::find_if(row, widgets.end(), [&](auto* w) { return w->y() > bottom; });
        std::sort(row, end, [](auto* a, auto* b) { return a->x() < b->x(); });
        QStringList items;
        for (const QWidget* w : std::ranges::subrange(row, end))
            items << Caption(w);
        parts << items.join("|");
        row = end;
    }
    return parts.join(" / ");
}

// A fixed area a little right of and below the screen's centre, placed once; the user's moves
// stay. Enter and Escape are the exec test's.
TEST(OptionsLayout, ControlsCaptionsAndItemsInTwoColumnsOfAFixedArea)
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

    const QString bandwidths = "64 128 192 256 384 512 768 1024 2048 3072 6000 16000 24000 ...";
    const std::pair<const char*, QString> faces[] = {
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
        {"gbMisc", "Misc / Start program minimized / Start at login"},
        {"cbPhoneEntries", "eth0 wlan0 ..."},
        {"cbKeepAliveTime", "5 10 15 20 ..."},
        {"cbBandwidthRX", bandwidths},
        {"cbBandwidthTX", bandwidths},
        {"cbHistScala", "kBit/s kByte/s MBit/s MByte/s"},
        {"cbUpdateSpeed", "1 2 5 10 20 30 60 ..."},
        {"cbLimit", "1000 2000 5000 10000 20000 50000 ..."},
        {"cbLimitAutoReset",
         "Never 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28"},
        {"btOK", "OK"},
        {"btCancel", "Cancel"}};
    for (const auto& [name, face] : faces)
        EXPECT_EQ(Face(h.Find(name)), face);
    const auto area = [&](const char* name) { return h.Find(name)->geometry(); };
    for (const auto& [upper, lower] : {std::pair("gbConnection", "gbTrafficHistory"),
                                       {"gbTrafficLimit", "gbDynDNS"},
                                       {"gbDynDNS", "gbMisc"}}) {
        EXPECT_EQ(area(upper).x(), area(lower).x()) << lower;
        EXPECT_LE(area(upper).bottom(), area(lower).y()) << lower;
    }
    EXPECT_LE(area("gbConnection").right(), area("gbTrafficLimit").x());
    for (const char* button : {"btOK", "btCancel"})
        for (const char* lowest : {"gbTrafficHistory", "gbMisc"})
            EXPECT_GE(area(button).y(), area(lowest).bottom());

    // A fixed client area silently squeezes what does not fit; every caption must stay whole.
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
        EXPECT_TRUE(
            h.form.rect().contains(QRect(widget->mapTo(&h.form, QPoint()), widget->size())));
    }
    h.Set("ePassword", "s3cr3t");
    EXPECT_EQ(h.Find<QLineEdit>("ePassword")->displayText(), "xxxxxx");

    h.form.move(10, 20); // where the user dragged it
    h.PressCancel();
    h.Open();
    EXPECT_EQ(h.form.pos(), QPoint(10, 20));
}

} // namespace
