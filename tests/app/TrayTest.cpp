#include "app/MainWindowFixture.h"

using TrayIcon = test::MainWindowFixture;

// The row comes from the line, the column from the limit share; the tray is touched only when
// the share or the icon changed.
TEST_F(TrayIcon, RowFromTheLineColumnFromTheShareAndTouchedOnlyOnChange)
{
    const auto icons = [this] {
        QStringList names;
        for (const std::int32_t share : {69, 70, 89, 90, 250})
            names << form->ChooseTrayIcon(share);
        return names.join(' ');
    };
    settings->TrafficLimit.Set(1); // 10,000 bytes a per cent
    settings->OnLimitShowMessage.Set(0);
    StartWindow();
    EXPECT_EQ(icons(), "Z_GREENOFF Z_YELLOWOFF Z_YELLOWOFF Z_REDOFF Z_REDOFF");
    ConnectLine();
    Tick(2);
    EXPECT_EQ(icons(), "Z_GREENON Z_YELLOWON Z_YELLOWON Z_REDON Z_REDON");
    ConnectLine(15000, 0, 2000);
    Tick(2);
    ConnectLine(700000, 0, 3000);
    Tick();
    form->TrayIconDelete();
    EXPECT_EQ(tray.calls,
              QStringList({"add Z_GREENOFF|Quillmar (0%)", "modify Z_GREENON|Quillmar (0%)",
                           "modify Z_GREENON|Quillmar (1%)", "modify Z_YELLOWON|Quillmar (70%)",
                           "delete"}));
    form.reset();
    settings->KeepConnected.Set(1);
    StartWindow();
    EXPECT_EQ(icons(), "Z_GREENKEEP Z_YELLOWKEEP Z_YELLOWKEEP Z_REDKEEP Z_REDKEEP");
}
