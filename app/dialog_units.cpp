// Converts dialog units into pixels through the base units of a font.
#include "dialog_units.h"

#include <QFont>
#include <QFontMetrics>
#include <QString>
#include <cstdint>

DialogBaseUnits DialogBaseUnitsOf(const QFont& font) {
    static const QString kLetters =
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QFontMetrics metrics(font);
    // The platform takes the width of all 52 letters and halves the rounding step:
    // (width / 26 + 1) / 2 is width / 52 rounded.
    const int width = metrics.horizontalAdvance(kLetters);
    return {(width / 26 + 1) / 2, metrics.height()};
}

int MulDivRounded(int number, int numerator, int denominator) {
    if (denominator == 0) {
        return 0;
    }
    const std::int64_t product = static_cast<std::int64_t>(number) * numerator;
    const std::int64_t magnitude = product < 0 ? -product : product;
    const std::int64_t divisor = denominator < 0 ? -static_cast<std::int64_t>(denominator)
                                                 : static_cast<std::int64_t>(denominator);
    const std::int64_t rounded = (magnitude + divisor / 2) / divisor;
    const bool negative = (product < 0) != (denominator < 0);
    return static_cast<int>(negative ? -rounded : rounded);
}

QRect MapDialogRect(const QRect& dialogUnits, DialogBaseUnits units) {
    return {MulDivRounded(dialogUnits.x(), units.cx, 4),
            MulDivRounded(dialogUnits.y(), units.cy, 8),
            MulDivRounded(dialogUnits.width(), units.cx, 4),
            MulDivRounded(dialogUnits.height(), units.cy, 8)};
}

QSize MapDialogSize(const QSize& dialogUnits, DialogBaseUnits units) {
    return {MulDivRounded(dialogUnits.width(), units.cx, 4),
            MulDivRounded(dialogUnits.height(), units.cy, 8)};
}
