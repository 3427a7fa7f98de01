// A drawing surface that composes one paint off-screen and hands it to the target in one copy.
#pragma once

#include <QPainter>
#include <QPixmap>
#include <QRect>

// Everything drawn through the surface goes into a pixmap that covers only the target's clip box;
// when the surface is destroyed the pixmap is copied onto the target in one transfer, so a window
// never shows a half-drawn picture. A printer or other paged device gets the drawing directly.
// Draw in the target's logical coordinates through Painter() (or -> / *); a transform set on it
// must be combined with the one the surface starts with.
class COffscreenDC {
public:
    // The target painter must be active and must outlive the surface.
    explicit COffscreenDC(QPainter* pTargetDC);
    ~COffscreenDC();

    COffscreenDC(const COffscreenDC&) = delete;
    COffscreenDC& operator=(const COffscreenDC&) = delete;

    QPainter& Painter() { return m_bOffscreen ? m_memoryDC : *m_pTargetDC; }
    QPainter* operator->() { return &Painter(); }
    QPainter& operator*() { return Painter(); }

    // True while drawing goes to the pixmap, false when it goes straight to a paged device.
    bool IsOffscreen() const { return m_bOffscreen; }
    // The covered area in the target's logical coordinates; empty for a paged device.
    QRect Area() const { return m_rcArea; }

private:
    static bool IsPagedDevice(const QPainter& painter);
    static QRect ClipBox(const QPainter& painter);

    QPixmap m_bitmap;
    QPainter* m_pTargetDC;
    QRect m_rcArea;
    bool m_bOffscreen;
    QPainter m_memoryDC;
};
