#include "platform/desktop/MessageBox.h"

#include <QMessageBox>

namespace platform {

int ShowMessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned flags,
                   const QString& detail)
{
    QMessageBox box(owner);
    box.setWindowTitle(caption);
    box.setText(text);
    box.setInformativeText(detail);
    const unsigned icon = flags & 0xF0;
    box.setIcon(icon == MbIconInformation   ? QMessageBox::Information
                : icon == MbIconExclamation ? QMessageBox::Warning
                                            : QMessageBox::NoIcon);
    if ((flags & 0xF) == MbYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton((flags & MbDefButton2) ? QMessageBox::No : QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes ? IdYes : IdNo;
    }
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return IdOk;
}

} // namespace platform
