// Off-screen composition of one paint, copied onto the target when the surface goes away.
#include "offscreen_dc.h"

#include <QPagedPaintDevice>
#include <QPaintDevice>
#include <QTransform>
#include <QtMath>
#include <algorithm>

COffscreenDC::COffscreenDC(QPainter* pTargetDC)
    : m_pTargetDC(pTargetDC), m_bOffscreen(!IsPagedDevice(*pTargetDC)) {
    if (!m_bOffscreen) {
        // A paged device is drawn on with the caller's own painter, whose state is put back at
        // the end.
        m_pTargetDC->save();
        return;
    }
    m_rcArea = ClipBox(*m_pTargetDC);

    const qreal ratio = m_pTargetDC->device()->devicePixelRatio();
    // A pixmap can't be empty and still take a painter; an empty area gets a one-pixel scratch
    // pixmap that is never copied.
    const QSize pixels(std::max(1, qCeil(m_rcArea.width() * ratio)),
                       std::max(1, qCeil(m_rcArea.height() * ratio)));
    m_bitmap = QPixmap(pixels);
    m_bitmap.setDevicePixelRatio(ratio);
    // A fresh bitmap is black, like a newly created compatible bitmap, so undrawn parts don't
    // show stale memory.
    m_bitmap.fill(Qt::black);

    m_memoryDC.begin(&m_bitmap);
    // The pixmap's top-left pixel is the clip box's top-left corner; what is drawn outside the
    // clip box falls off the pixmap. Callers that set a transform of their own must combine it.
    m_memoryDC.translate(-m_rcArea.left(), -m_rcArea.top());
}

COffscreenDC::~COffscreenDC() {
    if (!m_bOffscreen) {
        m_pTargetDC->restore();
        return;
    }
    m_memoryDC.end();
    if (m_rcArea.isEmpty()) {
        return;
    }
    // One straight copy, replacing what the target held in that box.
    m_pTargetDC->save();
    m_pTargetDC->setCompositionMode(QPainter::CompositionMode_Source);
    m_pTargetDC->drawPixmap(m_rcArea.topLeft(), m_bitmap);
    m_pTargetDC->restore();
}

bool COffscreenDC::IsPagedDevice(const QPainter& painter) {
    return dynamic_cast<const QPagedPaintDevice*>(painter.device()) != nullptr;
}

QRect COffscreenDC::ClipBox(const QPainter& painter) {
    if (painter.hasClipping()) {
        return painter.clipBoundingRect().toAlignedRect();
    }
    // Without a clip the whole device is drawable.
    const QPaintDevice* device = painter.device();
    const QRectF deviceRect(0, 0, device->width(), device->height());
    return painter.combinedTransform().inverted().mapRect(deviceRect).toAlignedRect();
}
