// Places controls the way dialog templates do: positions and sizes in dialog units, turned into
// pixels through the base units of the dialog's font.
#pragma once

#include <QRect>
#include <QSize>

class QFont;

// One horizontal dialog unit is a quarter of cx, one vertical unit an eighth of cy.
struct DialogBaseUnits {
    int cx = 0;  // average width of the letters A-Z and a-z, rounded
    int cy = 0;  // height of the font
};

DialogBaseUnits DialogBaseUnitsOf(const QFont& font);

// number * numerator / denominator, rounded to the nearest integer with halves away from zero,
// as the platform's dialog manager rounds (Windows's MulDiv, whose name this must not take: both
// meet in the window's source); 0 for a zero denominator.
int MulDivRounded(int number, int numerator, int denominator);

// x and width in quarters of cx, y and height in eighths of cy, each converted on its own.
QRect MapDialogRect(const QRect& dialogUnits, DialogBaseUnits units);
QSize MapDialogSize(const QSize& dialogUnits, DialogBaseUnits units);
