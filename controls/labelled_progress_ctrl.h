// A progress bar that paints itself flicker-free with its percentage (or a label) centred on it.
#pragma once

#include <QByteArray>
#include <QColor>
#include <QProgressBar>

class QEvent;
class QPaintEvent;
class QResizeEvent;
class QStyleOptionFrame;

// Keeps its own range, position and label and never passes them to QProgressBar, whose own
// value stays at its default and is never shown. A thin sunken border surrounds the client area
// (contentsRect()), in which the bar, the track and the text are drawn. The text over the bar is
// drawn in the track's colour and the text over the track in the bar's colour, split exactly where
// the bar ends.
class CLabelledProgressCtrl : public QProgressBar {
    Q_OBJECT

public:
    explicit CLabelledProgressCtrl(QWidget* parent = nullptr);

    // Stores the bounds as given; nothing is checked and nothing is repainted.
    void SetRange(int nLower, int nUpper);
    // Stores the position and repaints at once when the bar's width in whole pixels changes.
    // Returns the previous position, or -1 (storing nothing) while the control has no window.
    int SetPos(int nPos);

    int GetPos() const { return m_nPosition; }
    int GetLower() const { return m_nLower; }
    int GetUpper() const { return m_nUpper; }

    // Sets the label shown in place of the percentage; null or "" brings the percentage back.
    // Returns whether the label changed, in which case a repaint has been requested.
    bool SetLabelText(const char* text);
    // Copies the label into buffer, zero-filling the rest of it, and returns the number of label
    // bytes copied. A label that doesn't fit is cut at a character boundary so that the copy ends
    // with a zero byte.
    int GetLabelText(char* buffer, int size) const;

    // The label when one is set, otherwise the percentage as the control paints it.
    QString text() const override;

    // Paint events received so far, painted or not.
    int PaintCount() const { return m_nPaintCount; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    QStyleOptionFrame BorderOption() const;
    void UpdateBorder();
    void NotifyValueChanged();
    bool HasEmptyRange() const { return m_nLower >= m_nUpper; }
    double Fraction() const;
    int FillWidth(double fraction) const;
    static int Percent(double fraction);

    int m_nPosition = 0;
    int m_nUpper = 100;
    int m_nLower = 0;
    QByteArray m_strLabel;
    int m_nLastFillWidth = -1;
    QColor m_clrBar;
    QColor m_clrTrack;
    QColor m_clrLabelOnTrack;
    QColor m_clrLabelOnBar;
    int m_nPaintCount = 0;
};
