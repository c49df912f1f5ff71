#include "settings/PasswordMaskStyle.h"

int PasswordMaskStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                                 QStyleHintReturn* returnData) const
{
    if (hint == SH_LineEdit_PasswordCharacter)
        return 'x';
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}
