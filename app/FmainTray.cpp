// The tray icon and the window's two states, shown and hidden into the tray.
#include "app/Fmain.h"

#include <QEvent>
#include <QMenu>
#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

namespace {

// Rows by the line's state, columns by the limit share.
const char* const TrayIcons[3][3] = {
    {"Z_GREENON", "Z_YELLOWON", "Z_REDON"},
    {"Z_GREENKEEP", "Z_YELLOWKEEP", "Z_REDKEEP"},
    {"Z_GREENOFF", "Z_YELLOWOFF", "Z_REDOFF"},
};

// Set whenever the share moves, on a fast line at most ticks: the number goes in without a format
// to parse.
QString TrayTip(std::int32_t share)
{
    constexpr std::string_view before = "Quillmar (";
    std::array<char, 32> text;
    char* end = std::copy(before.begin(), before.end(), text.begin());
    end = std::to_chars(end, text.end() - 2, share).ptr;
    *end++ = '%';
    *end++ = ')';
    return QString::fromLatin1(text.data(), end - text.data());
}

} // namespace

const char* TFormMain::ChooseTrayIcon(std::int32_t share) const
{
    const int row = !Connected ? 2 : KeepingConnection ? 1 : 0;
    const int column = share < 70 ? 0 : share < 90 ? 1 : 2;
    return TrayIcons[row][column];
}

void TFormMain::TrayIconAdd()
{
    TrayPercent = LimitPercent();
    TrayIconShown = ChooseTrayIcon(TrayPercent);
    tray_.Add(TrayIconShown, TrayTip(TrayPercent));
    tray_.OnActivated(this, [this](platform::TrayMouse mouse) { TrayIconMessage(mouse); });
    tray_.ExportMenu(pmTray); // the window is not shown yet
}

void TFormMain::TrayIconUpdate()
{
    const std::int32_t share = LimitPercent();
    const char* const icon = ChooseTrayIcon(share);
    if (icon != TrayIconShown) {
        tray_.ModifyIcon(icon);
        TrayIconShown = icon;
    }
    if (share != TrayPercent) { // the tooltip's only part that changes
        tray_.ModifyTip(TrayTip(share));
        TrayPercent = share;
    }
}

void TFormMain::TrayIconDelete()
{
    tray_.Delete();
}

void TFormMain::TrayIconMessage(platform::TrayMouse mouse)
{
    if (mouse == platform::TrayMouse::Other)
        return;
    if (isVisible()) {
        raise();
        activateWindow();
        tray_.Beep();
    } else if (mouse == platform::TrayMouse::LeftDoubleClick) {
        miShowClick();
    }
    // The right button on the hidden window opens pmTray: the tray shows it itself, since it is
    // exported exactly while the window is hidden.
}

void TFormMain::HideWindow()
{
    // Without a tray the hidden window could never be brought back: it stays minimised instead.
    if (isMinimized() && tray_.Available())
        hide();
}

void TFormMain::miShowClick()
{
    if (isVisible())
        return;
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TFormMain::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    // Queued, so that the window system has finished minimising before the window goes.
    if (event->type() == QEvent::WindowStateChange && isMinimized())
        QMetaObject::invokeMethod(this, &TFormMain::HideWindow, Qt::QueuedConnection);
}

// The tray menu belongs to the hidden window only; while the window is shown a right click
// just beeps.
void TFormMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    tray_.ExportMenu(nullptr);
}

void TFormMain::hideEvent(QHideEvent* event)
{
    QMainWindow::hideEvent(event);
    if (!isVisible())
        tray_.ExportMenu(pmTray);
}
