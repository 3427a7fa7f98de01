// The pictures and the font that the program's windows share.
#pragma once

#include <QFont>
#include <QIcon>

// Makes the built-in pictures available; safe to call more than once.
void InitAppResources();

// The program's icon, in its 32 x 32 and 16 x 16 images.
QIcon LoadAppIcon();

// The application's usual face at the dialogs' 9 points.
QFont DialogFont();
