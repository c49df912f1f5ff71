// The tray icon.
#include "app/Fmain.h"

void TFormMain::TrayIconUpdate() {}

void TFormMain::TrayIconDelete() {}
