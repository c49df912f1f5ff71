// Pictures for people: `tray_shots icons FILE` draws the nine tray icons side by side at 16 and
// 32 pixels, on a light and on a dark panel; `tray_shots screen FILE` saves the whole X screen;
// `tray_shots profile` prepares the user's settings for a telling picture of the program.
#include "platform/RegistryStore.h"
#include "settings/RegVars.h"

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

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.value(1) == "profile") {
        PrepareProfile();
        return 0;
    }
    if (args.size() != 3 || (args[1] != "icons" && args[1] != "screen")) {
        std::fputs("usage: tray_shots profile | tray_shots icons|screen FILE.png\n", stderr);
        return 2;
    }
    const QImage image =
        args[1] == "icons" ? IconSheet() : app.primaryScreen()->grabWindow(0).toImage();
    return image.save(args[2]) ? 0 : 1;
}
