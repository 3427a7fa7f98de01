// Painting and pointer tracking of the gradient push button.
#include "hover_gradient_button.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <array>

namespace {

// The platform's 3-D edge is two pixels each way on a standard display.
constexpr int kEdgeWidth = 2;
constexpr int kEdgeHeight = 2;
// Captions longer than this are cut.
constexpr int kMaxCaptionChars = 259;
constexpr int kGradientSteps = 64;
constexpr int kHoverTimeMs = 1;

QPen MakePen(int width, int red, int green, int blue) {
    return QPen(QBrush(QColor(red, green, blue)), width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
}

// Entry 0 is white in every look; towards entry 63 hover fades red and green more slowly, and an
// active button (focused, pressed or default) fades blue faster than a plain one.
QColor GradientColour(int i, bool bHover, bool bActive) {
    const int redGreen = 255 - (bHover ? i / 4 : i / 3);
    int blueStep = i / 5;
    if (bActive) {
        blueStep = bHover ? i / 3 : i / 4;
    }
    return QColor(redGreen, redGreen, 255 - blueStep);
}

// Right and bottom exclusive, as the face's arithmetic counts them.
void FillBounds(QPainter& dc, int left, int top, int right, int bottom, const QBrush& brush) {
    if (right > left && bottom > top) {
        dc.fillRect(QRect(left, top, right - left, bottom - top), brush);
    }
}

// A wide pen's stroke along a horizontal or vertical line from (x0, y0) up to but not including
// (x1, y1), centred on the line: pixels from c - width / 2 for width pixels across it. Drawn as
// rectangles so the pixels don't depend on how the paint engine rasterizes wide lines.
void DrawEdge(QPainter& dc, const QPen& pen, int x0, int y0, int x1, int y1) {
    const int width = pen.width();
    const QBrush& brush = pen.brush();
    if (x0 == x1) {
        const int first = y1 < y0 ? y1 + 1 : y0;
        const int last = y1 < y0 ? y0 : y1 - 1;
        FillBounds(dc, x0 - width / 2, first, x0 - width / 2 + width, last + 1, brush);
    } else if (y0 == y1) {
        const int first = x1 < x0 ? x1 + 1 : x0;
        const int last = x1 < x0 ? x0 : x1 - 1;
        FillBounds(dc, first, y0 - width / 2, last + 1, y0 - width / 2 + width, brush);
    }
}

// A one-pixel outline whose corners, rounded by a 5 by 5 ellipse, are cut by one diagonal
// pixel, filled inside with brush. Drawn pixel by pixel so both sides come out alike.
void DrawRoundOutline(QPainter& dc, const QPen& pen, const QBrush& brush, int left, int top,
                      int right, int bottom) {
    const QBrush& line = pen.brush();
    FillBounds(dc, left + 2, top, right - 2, top + 1, line);
    FillBounds(dc, left + 2, bottom - 1, right - 2, bottom, line);
    FillBounds(dc, left, top + 2, left + 1, bottom - 2, line);
    FillBounds(dc, right - 1, top + 2, right, bottom - 2, line);
    for (const int x : {left + 1, right - 2}) {
        for (const int y : {top + 1, bottom - 2}) {
            FillBounds(dc, x, y, x + 1, y + 1, line);
        }
    }
    FillBounds(dc, left + 2, top + 1, right - 2, top + 2, brush);
    FillBounds(dc, left + 1, top + 2, right - 1, bottom - 2, brush);
    FillBounds(dc, left + 2, bottom - 2, right - 2, bottom - 1, brush);
}

// The platform's focus rectangle: every other pixel of the rectangle's border inverted, so
// drawing it twice takes it away again.
void DrawFocusRect(QPainter& dc, int left, int top, int right, int bottom) {
    if (right <= left || bottom <= top) {
        return;
    }
    dc.save();
    dc.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const auto invert = [&dc](int x, int y) {
        if ((x + y) % 2 == 0) {
            dc.fillRect(QRect(x, y, 1, 1), Qt::white);
        }
    };
    for (int x = left; x < right; ++x) {
        invert(x, top);
        if (bottom - 1 > top) {
            invert(x, bottom - 1);
        }
    }
    for (int y = top + 1; y < bottom - 1; ++y) {
        invert(left, y);
        if (right - 1 > left) {
            invert(right - 1, y);
        }
    }
    dc.restore();
}

}  // namespace

CHoverGradientButton::CHoverGradientButton(QWidget* parent)
    : CHoverGradientButton(QString(), parent) {}

CHoverGradientButton::CHoverGradientButton(const QString& text, QWidget* parent)
    : QPushButton(text, parent),
      m_penOutline(MakePen(1, 0, 0, 0)),
      m_penHoverLeft(MakePen(3, 250, 196, 88)),
      m_penHoverRight(MakePen(3, 251, 202, 106)),
      m_penHoverTop(MakePen(2, 252, 210, 121)),
      m_penHoverBottom(MakePen(2, 229, 151, 0)),
      m_penFocusLeft(MakePen(3, 153, 198, 252)),
      m_penFocusRight(MakePen(3, 162, 189, 252)),
      m_penFocusTop(MakePen(2, 162, 201, 255)),
      m_penFocusBottom(MakePen(2, 162, 201, 255)) {
    // Moves without a pressed mouse button are what start the hover tracking.
    setMouseTracking(true);
    m_hoverTimer.setSingleShot(true);
    m_hoverTimer.setTimerType(Qt::PreciseTimer);
    m_hoverTimer.setInterval(kHoverTimeMs);
    connect(&m_hoverTimer, &QTimer::timeout, this, &CHoverGradientButton::OnMouseHover);
}

CHoverGradientButton::EHoverState CHoverGradientButton::HoverState() const {
    if (!m_bTrackingMouse) {
        return EHoverState::Outside;
    }
    return m_bHover ? EHoverState::Hovered : EHoverState::Entered;
}

void CHoverGradientButton::paintEvent(QPaintEvent* /*event*/) {
    ++m_nPaintCount;
    const ItemState state{hasFocus(), isDown(), isDefault(), !isEnabled()};
    QPainter dc(this);
    DrawItem(dc, state);
}

void CHoverGradientButton::DrawItem(QPainter& dc, const ItemState& state) {
    const QRect rcItem = rect();
    Bounds r{rcItem.left(), rcItem.top(), rcItem.left() + rcItem.width(),
             rcItem.top() + rcItem.height()};
    dc.save();

    // The outline's interior takes the brush a fresh device context holds, which is white.
    DrawRoundOutline(dc, m_penOutline, QBrush(Qt::white), r.left, r.top, r.right, r.bottom);

    m_bFocus = state.bFocus;
    m_bActive = state.bFocus || state.bSelected || state.bDefault;

    r.left += kEdgeWidth;
    r.right -= kEdgeWidth;
    r.top += kEdgeHeight;
    r.bottom -= kEdgeHeight;

    PaintGradient(dc, r);
    if (m_bHover || m_bFocus) {
        PaintFrame(dc, r);
    }
    DrawCaption(dc, r, state);
    dc.restore();
}

void CHoverGradientButton::DrawCaption(QPainter& dc, const Bounds& r, const ItemState& state) {
    const QString caption = text().left(kMaxCaptionChars);
    dc.setFont(font());
    // The raw caption is measured, "&" included, so a mnemonic caption sits half an "&" left of
    // the centre.
    const QFontMetrics metrics(font());
    const int cx = metrics.horizontalAdvance(caption);
    const int cy = metrics.height();
    int x = (r.left + r.right) / 2 - cx / 2;
    int y = (r.top + r.bottom) / 2 - cy / 2;
    if (state.bSelected) {
        ++x;
        ++y;
    }
    style()->drawItemText(&dc, QRect(x, y, cx, cy),
                          Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic,
                          palette(), !state.bDisabled, caption, QPalette::ButtonText);
}

void CHoverGradientButton::PaintGradient(QPainter& dc, const Bounds& r) {
    // Built and dropped in every paint; nothing is cached between paints.
    std::array<QBrush, kGradientSteps> brushes;
    for (int i = 0; i < kGradientSteps; ++i) {
        brushes[i] = QBrush(GradientColour(i, m_bHover, m_bActive));
    }
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    if (h <= 0) {
        return;
    }
    // The row index is absolute and the loop runs to the height plus 2, not to r.bottom: with
    // the 2-pixel edges that covers one row below the inner rectangle and ends on entry 63.
    for (int y = r.top; y <= h + 2; ++y) {
        int index = (63 * y) / h;
        if (index > kGradientSteps - 1) {
            index = kGradientSteps - 1;
        } else if (index < 0) {
            index = 0;
        }
        FillBounds(dc, r.left, y, w + 2, y + 1, brushes[index]);
    }
}

void CHoverGradientButton::PaintFrame(QPainter& dc, const Bounds& r) {
    // A hovered button shows the orange frame whether it has the focus or not.
    const bool bFocusLook = m_bFocus && !m_bHover;
    const QPen& left = bFocusLook ? m_penFocusLeft : m_penHoverLeft;
    const QPen& right = bFocusLook ? m_penFocusRight : m_penHoverRight;
    const QPen& top = bFocusLook ? m_penFocusTop : m_penHoverTop;
    const QPen& bottom = bFocusLook ? m_penFocusBottom : m_penHoverBottom;

    // The bottom edge runs one row below the rectangle, the right edge one column inside it.
    DrawEdge(dc, left, r.left, r.bottom - 1, r.left, r.top + 1);
    DrawEdge(dc, right, r.right - 1, r.bottom - 1, r.right - 1, r.top);
    DrawEdge(dc, top, r.left - 1, r.top, r.right - 1, r.top);
    DrawEdge(dc, bottom, r.left, r.bottom, r.right - 1, r.bottom);

    if (bFocusLook) {
        DrawFocusRect(dc, r.left, r.top, r.right, r.bottom);
    }
}

void CHoverGradientButton::mouseMoveEvent(QMouseEvent* event) {
    if (!m_bTrackingMouse) {
        // A failed request leaves the button Outside, so the next move asks again.
        m_bTrackingMouse = RequestMouseTracking();
    }
    QPushButton::mouseMoveEvent(event);
}

void CHoverGradientButton::leaveEvent(QEvent* event) {
    // Leave is only reported once notifications were requested.
    if (m_bTrackingMouse) {
        m_hoverTimer.stop();
        m_bHover = false;
        m_bTrackingMouse = false;
        update();
    }
    QPushButton::leaveEvent(event);
}

bool CHoverGradientButton::RequestMouseTracking() {
    ++m_nTrackingRequests;
    m_hoverTimer.start();
    return true;
}

void CHoverGradientButton::OnMouseHover() {
    // Hover is reported once per request; the next one comes only after the pointer has left.
    m_bHover = true;
    update();
}
