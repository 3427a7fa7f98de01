// Reading what a widget shows: its pixels and the box around the pixels of a kind.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QWidget>
#include <functional>

inline QImage GrabPixels(QWidget& widget) {
    return widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QColor PixelAt(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

// Bounding box of the pixels inside `area` for which `isInk` holds.
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
