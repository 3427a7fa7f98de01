// Pixel helpers shared by the control tests.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>
#include <functional>
#include <ostream>

// Readable colours in assertion messages.
inline void PrintTo(const QColor& colour, std::ostream* os) {
    *os << "rgb(" << colour.red() << ", " << colour.green() << ", " << colour.blue() << ")";
}

inline QImage GrabPixels(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QColor PixelAt(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

// Bounding box of the pixels inside area that satisfy isInk.
inline QRect InkBox(const QImage& image, const QRect& area,
                    const std::function<bool(QColor)>& isInk) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (isInk(PixelAt(image, x, y))) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}
