// A push button that paints its own gradient face and frames that follow the pointer and focus.
#pragma once

#include <QPen>
#include <QPushButton>
#include <QTimer>

class QEvent;
class QMouseEvent;
class QPaintEvent;
class QPainter;

// Paints a black rounded outline, a light vertical gradient, an orange frame while the pointer
// rests on it and a blue frame with the dotted focus rectangle while it has the keyboard focus,
// and the caption centred on top. Clicks, enabling and disabling are a plain QPushButton's.
class CHoverGradientButton : public QPushButton {
    Q_OBJECT

public:
    // Pointer tracking: Outside until the first move inside asks for hover and leave
    // notifications, Entered until the hover notification, Hovered until the pointer leaves.
    enum class EHoverState { Outside, Entered, Hovered };

    explicit CHoverGradientButton(QWidget* parent = nullptr);
    explicit CHoverGradientButton(const QString& text, QWidget* parent = nullptr);

    EHoverState HoverState() const;
    // Hover and leave notifications requested so far (one per entry).
    int TrackingRequests() const { return m_nTrackingRequests; }
    // Paint events received so far.
    int PaintCount() const { return m_nPaintCount; }

protected:
    // Left, top, right and bottom with right and bottom exclusive, the way every edge of the
    // face is computed.
    struct Bounds {
        int left;
        int top;
        int right;
        int bottom;
    };

    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

    virtual void PaintGradient(QPainter& dc, const Bounds& r);
    virtual void PaintFrame(QPainter& dc, const Bounds& r);

private:
    // What the button looks like in this paint, taken from the widget's state.
    struct ItemState {
        bool bFocus;
        bool bSelected;
        bool bDefault;
        bool bDisabled;
    };

    void DrawItem(QPainter& dc, const ItemState& state);
    void DrawCaption(QPainter& dc, const Bounds& r, const ItemState& state);
    bool RequestMouseTracking();
    void OnMouseHover();

    QPen m_penOutline;
    QPen m_penHoverLeft;
    QPen m_penHoverRight;
    QPen m_penHoverTop;
    QPen m_penHoverBottom;
    QPen m_penFocusLeft;
    QPen m_penFocusRight;
    QPen m_penFocusTop;
    QPen m_penFocusBottom;
    bool m_bHover = false;
    bool m_bTrackingMouse = false;
    bool m_bFocus = false;
    bool m_bActive = false;

    // Stands in for the platform's hover time: its expiry is the hover notification.
    QTimer m_hoverTimer;
    int m_nTrackingRequests = 0;
    int m_nPaintCount = 0;
};
