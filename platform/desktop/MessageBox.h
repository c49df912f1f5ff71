#pragma once

#include <QString>

class QWidget;

namespace platform {

// Message box flags and answers with the platform's numbers; callers and tests use these values.
enum MessageBoxFlags : unsigned {
    MbOk = 0x0,
    MbYesNo = 0x4,
    MbIconExclamation = 0x30,
    MbIconInformation = 0x40,
    MbDefButton2 = 0x100,
};

enum MessageBoxAnswer : int { IdOk = 1, IdCancel = 2, IdYes = 6, IdNo = 7 };

// Shows a modal box; timers and other events keep being dispatched while it is open. `detail`, when
// given, stands below the text in smaller print.
int ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned flags,
                   const QString& detail = {});

} // namespace platform
