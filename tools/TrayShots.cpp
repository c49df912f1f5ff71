// Pictures for people: `tray_shots icons FILE` draws the nine tray icons side by side at 16 and
// 32 pixels, on a light and on a dark panel; `tray_shots screen FILE` saves the whole X screen;
// `tray_shots profile` prepares the user's settings for a telling picture of the program;
// `tray_shots history` adds a month of days and three finished periods to them, and `tray_shots
// window ID FILE` saves one X window.
#include "platform/store/RegistryStore.h"
#include "platform/store/UsageHistory.h"
#include "settings/RegVars.h"
#include "traffic/PackedDateTime.h"

#include <QApplication>
#include <QIcon>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <cstdio>

namespace {

const char* const IconNames[] = {"Z_GREENON",   "Z_YELLOWON",   "Z_REDON",
                                 "Z_GREENKEEP", "Z_YELLOWKEEP", "Z_REDKEEP",
                                 "Z_GREENOFF",  "Z_YELLOWOFF",  "Z_REDOFF"};

QImage IconSheet()
{
    constexpr int Cell = 40;
    QImage sheet(9 * Cell, 4 * Cell, QImage::Format_ARGB32);
    QPainter painter(&sheet);
    painter.fillRect(0, 0, sheet.width(), 2 * Cell, QColor("#e0e0e0"));
    painter.fillRect(0, 2 * Cell, sheet.width(), 2 * Cell, QColor("#2b2b2b"));
    for (int column = 0; column < 9; ++column) {
        const QIcon icon(QString(":/tray/%1.svg").arg(IconNames[column]));
        for (int row = 0; row < 4; ++row) {
            const int size = row % 2 == 0 ? 16 : 32;
            const QPoint corner(column * Cell + (Cell - size) / 2, row * Cell + (Cell - size) / 2);
            painter.drawPixmap(corner, icon.pixmap(size));
        }
    }
    return sheet;
}

// Watching the loopback link, held, with 78 % of a 1 MB limit used: the yellow KEEP icon. The
// information box of a first run has been seen already.
void PrepareProfile()
{
    CRegVars settings(platform::defaultRegistryFile());
    settings.Connection.Set("lo");
    settings.KeepConnected.Set(1);
    settings.TrafficLimit.Set(1);
    settings.OnLimitShowMessage.Set(0);
    settings.SumRXLo.Set(780000);
    settings.InfoShown.Set(1);
}

// A period that began a month before tomorrow and ends tomorrow, so that the program, which keeps
// the real date, neither resets it at once nor shows it nearly empty; days of 17 to 40 MB on a
// limit of 1000 MB, today about half of one so far, and before it three periods, one of them
// beyond the limit.
void PrepareHistory()
{
    constexpr std::uint64_t MB = 1000000;
    CRegVars settings(platform::defaultRegistryFile());
    platform::UsageHistory& history = *settings.Registry.History();
    const QDate tomorrow = QDate::currentDate().addDays(1);
    const QDate start = tomorrow.addMonths(-1);
    std::uint64_t received = 0, transmitted = 0;
    for (QDate day = start; day < tomorrow; day = day.addDays(1)) {
        const auto i = static_cast<std::uint64_t>(start.daysTo(day));
        const std::uint64_t down = (15 + i * 7 % 20) * MB / (day == tomorrow.addDays(-1) ? 2 : 1);
        const std::uint64_t up = (2 + i * 3 % 5) * MB;
        history.addToDay("lo", day, down, up);
        received += down;
        transmitted += up;
    }
    const std::uint64_t periods[3][2] = {{900, 150}, {400, 50}, {700, 100}};
    for (int i = 0; i < 3; ++i)
        history.addPeriod({.connection = "lo",
                           .start = DateTimeToPacked(start.addMonths(i - 3).startOfDay()),
                           .end = DateTimeToPacked(start.addMonths(i - 2).startOfDay()),
                           .received = periods[i][0] * MB,
                           .transmitted = periods[i][1] * MB});
    // Their records are taken as written, so that the program adds none to its traffic log.
    for (const platform::FinishedPeriod& period : history.periods(true))
        history.markLogged(period.id);
    settings.TrafficLimit.Set(1000);
    settings.LimitAutoReset.Set(static_cast<std::uint32_t>(tomorrow.day()));
    settings.LimitLastReset.Set(DateTimeToPacked(start.startOfDay()));
    settings.SumRXLo.Set(static_cast<std::uint32_t>(received));
    settings.SumTXLo.Set(static_cast<std::uint32_t>(transmitted));
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == "profile" || args.value(1) == "history") {
        args[1] == "profile" ? PrepareProfile() : PrepareHistory();
        return 0;
    }
    if (args.value(1) == "window" && args.size() == 4)
        return app.primaryScreen()->grabWindow(args[2].toULongLong()).save(args[3]) ? 0 : 1;
    if (args.size() != 3 || (args[1] != "icons" && args[1] != "screen")) {
        std::fputs("usage: tray_shots profile|history | tray_shots icons|screen FILE.png | "
                   "tray_shots window ID FILE.png\n",
                   stderr);
        return 2;
    }
    const QImage image =
        args[1] == "icons" ? IconSheet() : app.primaryScreen()->grabWindow(0).toImage();
    return image.save(args[2]) ? 0 : 1;
}
