// Range, position, label and flicker-free painting of the labelled progress bar.
#include "labelled_progress_ctrl.h"

#include <QAccessible>
#include <QEvent>
#include <QFrame>
#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOptionFrame>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "labelled_progress_accessible.h"
#include "offscreen_dc.h"

namespace {

// Bounds far apart wrap around as 32-bit arithmetic does instead of overflowing.
int Difference(int a, int b) {
    return static_cast<int32_t>(static_cast<uint32_t>(a) - static_cast<uint32_t>(b));
}

// Truncation toward zero that saturates instead of overflowing on positions far past the range.
int TruncateToInt(double value) {
    if (std::isnan(value)) {
        return 0;
    }
    if (value >= 2147483648.0) {
        return INT_MAX;
    }
    if (value <= -2147483649.0) {
        return INT_MIN;
    }
    return static_cast<int>(value);
}

// The picture never shows more than a full bar.
double Clamped(double fraction) {
    if (fraction > 1.0) {
        return 1.0;
    }
    // A position below the lower bound shows an empty bar and 0%.
    if (fraction < 0.0) {
        return 0.0;
    }
    return fraction;
}

}  // namespace

CLabelledProgressCtrl::CLabelledProgressCtrl(QWidget* parent) : QProgressBar(parent) {
    // Colours are taken once; later palette changes don't reach the bar.
    const QPalette& pal = palette();
    m_clrBar = pal.color(QPalette::Highlight);
    m_clrTrack = pal.color(QPalette::Base);
    m_clrLabelOnTrack = pal.color(QPalette::Highlight);
    m_clrLabelOnBar = pal.color(QPalette::Base);
    // Every paint covers the whole area, so nothing needs erasing first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    UpdateBorder();
    InstallLabelledProgressAccessibility();
}

QStyleOptionFrame CLabelledProgressCtrl::BorderOption() const {
    // The platform's thin sunken border, as a sunken styled panel of one line draws it.
    QStyleOptionFrame option;
    option.initFrom(this);
    option.rect = rect();
    option.state |= QStyle::State_Sunken;
    option.frameShape = QFrame::StyledPanel;
    option.lineWidth = 1;
    option.midLineWidth = 0;
    return option;
}

void CLabelledProgressCtrl::UpdateBorder() {
    const QStyleOptionFrame option = BorderOption();
    const int width = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, this);
    // The bar, the track and the text all lie inside the border, the client area.
    setContentsMargins(width, width, width, width);
    m_nLastFillWidth = -1;
}

void CLabelledProgressCtrl::changeEvent(QEvent* event) {
    QProgressBar::changeEvent(event);
    if (event->type() == QEvent::StyleChange) {
        UpdateBorder();
    }
}

void CLabelledProgressCtrl::NotifyValueChanged() {
    if (QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(this, m_nPosition);
        QAccessible::updateAccessibility(&event);
    }
}

void CLabelledProgressCtrl::SetRange(int nLower, int nUpper) {
    m_nLower = nLower;
    m_nUpper = nUpper;
}

int CLabelledProgressCtrl::SetPos(int nPos) {
    // Until the window exists (the dialog not yet shown) there is nothing to move.
    if (!testAttribute(Qt::WA_WState_Created)) {
        return -1;
    }
    const int nOldPos = m_nPosition;
    m_nPosition = nPos;
    if (nPos != nOldPos) {
        NotifyValueChanged();
    }
    if (HasEmptyRange()) {
        // Nothing can be drawn; make sure the first position after a usable range repaints.
        m_nLastFillWidth = -1;
        return nOldPos;
    }
    // Unclamped on purpose: positions past the end still repaint when this width changes.
    const int nFillWidth = FillWidth(Fraction());
    if (nFillWidth != m_nLastFillWidth) {
        m_nLastFillWidth = nFillWidth;
        // Callers run inside long handlers and expect to see the bar move before returning.
        repaint();
    }
    return nOldPos;
}

bool CLabelledProgressCtrl::SetLabelText(const char* text) {
    const bool bChanged =
        text == nullptr ? !m_strLabel.isEmpty() : std::strcmp(text, m_strLabel.constData()) != 0;
    if (bChanged) {
        m_strLabel = text == nullptr ? QByteArray() : QByteArray(text);
        update();
        NotifyValueChanged();  // the value's text is the label
    }
    return bChanged;
}

int CLabelledProgressCtrl::GetLabelText(char* buffer, int size) const {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    int nCopied = static_cast<int>(m_strLabel.size());
    if (nCopied >= size) {
        nCopied = size - 1;
        // Don't leave half of a multi-byte character at the end of the cut copy.
        while (nCopied > 0 && (static_cast<unsigned char>(m_strLabel[nCopied]) & 0xC0) == 0x80) {
            --nCopied;
        }
    }
    std::memcpy(buffer, m_strLabel.constData(), static_cast<size_t>(nCopied));
    std::memset(buffer + nCopied, 0, static_cast<size_t>(size - nCopied));
    return nCopied;
}

QString CLabelledProgressCtrl::text() const {
    if (!m_strLabel.isEmpty()) {
        return QString::fromUtf8(m_strLabel);
    }
    const double fraction = HasEmptyRange() ? 0.0 : Clamped(Fraction());
    return QString::asprintf("%d%%", Percent(fraction));
}

void CLabelledProgressCtrl::paintEvent(QPaintEvent* event) {
    ++m_nPaintCount;
    if (HasEmptyRange()) {
        // The bar keeps showing what it showed before.
        return;
    }
    const QRect rc = contentsRect();
    const double fraction = Clamped(Fraction());

    QPainter paintDC(this);
    paintDC.setClipRegion(event->region());
    COffscreenDC dc(&paintDC);
    // Whatever the style leaves of the border's width shows the window behind it.
    dc->fillRect(rect(), palette().color(QPalette::Window));
    const QStyleOptionFrame border = BorderOption();
    style()->drawPrimitive(QStyle::PE_Frame, &border, &dc.Painter(), this);

    const int x = rc.left() + TruncateToInt(rc.width() * fraction);
    const QRect rcBar(QPoint(rc.left(), rc.top()), QPoint(x - 1, rc.bottom()));
    const QRect rcTrack(QPoint(x, rc.top()), rc.bottomRight());
    dc->fillRect(rcBar, m_clrBar);
    dc->fillRect(rcTrack, m_clrTrack);

    const QString label = text();
    // Like the platform's text drawing, "&" marks a mnemonic; the two passes put the glyphs at
    // the same spot so a glyph straddling the end of the bar is split between the colours.
    const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    dc->setClipRect(rcBar);
    dc->setPen(m_clrLabelOnBar);
    dc->drawText(rc, flags, label);
    dc->setClipRect(rcTrack);
    dc->setPen(m_clrLabelOnTrack);
    dc->drawText(rc, flags, label);
}

void CLabelledProgressCtrl::resizeEvent(QResizeEvent* event) {
    QProgressBar::resizeEvent(event);
    m_nLastFillWidth = -1;
}

double CLabelledProgressCtrl::Fraction() const {
    return static_cast<double>(Difference(m_nPosition, m_nLower)) /
           static_cast<double>(Difference(m_nUpper, m_nLower));
}

int CLabelledProgressCtrl::FillWidth(double fraction) const {
    return TruncateToInt(contentsRect().width() * fraction);
}

int CLabelledProgressCtrl::Percent(double fraction) {
    return TruncateToInt(fraction * 100.0);
}
