#pragma once

#include <QProxyStyle>

// Masks password edits with a plain "x" per character instead of the style's bullet.
class PasswordMaskStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int styleHint(StyleHint hint, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr,
                  QStyleHintReturn* returnData = nullptr) const override;
};
