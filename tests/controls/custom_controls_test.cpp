// Pixel and behaviour tests of the custom-drawn controls, in everyday use and at their edges.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QBuffer>
#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QPdfWriter>
#include <QTest>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "hover_gradient_button.h"
#include "labelled_progress_ctrl.h"
#include "offscreen_dc.h"

// Readable colours in assertion messages.
void PrintTo(const QColor& colour, std::ostream* os) {
    *os << qPrintable(colour.name());
}

namespace {

// What a widget paints, over magenta wherever it paints nothing. It is painted in two pieces, as
// partial exposes paint it, so the lower one is clipped to a box away from the origin.
QImage Picture(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    const QRect upper(0, 0, widget.width(), widget.height() / 2);
    const QRect lower = widget.rect().adjusted(0, upper.height(), 0, 0);
    widget.render(&image, upper.topLeft(), QRegion(upper), {});
    widget.render(&image, lower.topLeft(), QRegion(lower), {});
    return image;
}

// Bounding box of the pixels inside `area` for which `isInk` holds.
template <typename IsInk>
QRect InkBox(const QImage& image, const QRect& area, IsInk isInk) {
    QRect box;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (isInk(image.pixelColor(x, y))) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

// How far apart two colours are: the sum of the channels' differences.
int Apart(QColor a, QColor b) {
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue());
}

// A paged device (a printer, a PDF) is drawn on directly, and its painter comes back as it was.
TEST(OffscreenDC, APagedDeviceIsDrawnOnDirectly) {
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    QPainter painter(&writer);
    painter.setPen(Qt::red);
    {
        COffscreenDC dc(&painter);
        EXPECT_EQ(&*dc, &painter);
        dc->setPen(Qt::blue);
    }
    EXPECT_EQ(painter.pen().color(), QColor(Qt::red));
}

// Before the bar has a window, positions are refused and label reads copy what fits (never half a
// character) and zero-fill the rest. Then, through a run of positions: repaints at once only for a
// new fill width in whole pixels; fill and percentage truncated, full past the top; what assistive
// technology reads; the border; labels reading like the percentage look exactly like it.
TEST(LabelledProgressCtrl, FromBeforeItsWindowThroughARunOfPositionsAndLabels) {
    CLabelledProgressCtrl bar;
    EXPECT_EQ(bar.SetPos(7), -1);
    EXPECT_EQ(bar.GetPos(), 0);
    const struct {
        const char* label;
        int size, copied;
        std::string buffer;  // afterwards; it starts as 'x' bytes
    } reads[] = {{"Busy", 6, 4, {"Busy\0\0xx", 8}},    {"Busy", 5, 4, {"Busy\0xxx", 8}},
                 {"Busy", 4, 3, {"Bus\0xxxx", 8}},     {"Busy", 0, 0, "xxxxxxxx"},
                 {u8"Grüße", 4, 2, {"Gr\0\0xxxx", 8}}, {u8"Grüße", 5, 4, {u8"Grü\0xxx", 8}}};
    for (const auto& read : reads) {
        std::string buffer(8, 'x');
        bar.SetLabelText(read.label);
        EXPECT_EQ(bar.GetLabelText(buffer.data(), read.size), read.copied) << read.label;
        EXPECT_EQ(buffer, read.buffer) << read.label << " into " << read.size;
    }
    bar.SetLabelText(nullptr);
    const int border = bar.contentsRect().left(), width = 301, height = 24;  // inside the border
    bar.resize(width + 2 * border, height + 2 * border);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    const QColor barColour = bar.palette().color(QPalette::Highlight);
    const QColor trackColour = bar.palette().color(QPalette::Base);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&bar);
    QAccessibleValueInterface* value = accessible->valueInterface();
    QFrame panel;  // the platform's thin sunken border
    panel.setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panel.resize(bar.size());
    const QImage panelPicture = Picture(panel);
    const struct {
        int lower, upper, pos, paints, fillWidth, read;  // a fill width of -1: nothing painted
        const char* text;
    } steps[] = {
        {0, 100, 0, 1, 0, 0, "0%"},         {0, 100, 29, 1, 87, 29, "28%"},
        {0, 100, 50, 1, 150, 50, "50%"},    {0, 3, 2, 1, 200, 2, "66%"},
        {10, 30, 25, 1, 225, 25, "75%"},    {0, 100, 100, 1, 301, 100, "100%"},
        {0, 100, 150, 1, 301, 100, "100%"}, {0, 100, 150, 0, 301, 100, "100%"},
        {0, 100, 99, 1, 297, 99, "99%"},    {0, 1000, 1, 1, 0, 1, "0%"},  // 0.301 pixels
        {0, 1000, 2, 0, 0, 2, "0%"},        {5, 5, 7, 0, -1, 5, "0%"},
        {10, 0, 0, 0, -1, 10, "0%"},        {0, 100, 0, 1, 0, 0, "0%"},  // first after empty
    };
    const char* const longLabel = "HHHHHHHHHHHH";
    std::map<std::pair<int, const char*>, QImage> labelled;  // by fill width and label
    for (const auto& step : steps) {
        SCOPED_TRACE(testing::Message() << step.pos << " in " << step.lower << ".." << step.upper);
        QCoreApplication::processEvents();
        const int paints = bar.PaintCount();
        bar.SetRange(step.lower, step.upper);
        bar.SetPos(step.pos);
        EXPECT_EQ(bar.PaintCount(), paints + step.paints);
        EXPECT_EQ(value->currentValue().toInt(), step.read);
        const QImage picture = Picture(bar);
        if (step.fillWidth < 0) {
            EXPECT_EQ(picture.pixelColor(0, 0), QColor(Qt::magenta));  // a paint would cover it
            continue;
        }
        // The bottom rows, which text never reaches: the border, bar colour, then track colour.
        const QRect bottomRows(0, border + height - 1, bar.width(), border + 1);
        QImage bottom = panelPicture.copy(bottomRows);
        QPainter(&bottom).fillRect(border, 0, width, 1, trackColour);
        QPainter(&bottom).fillRect(border, 0, step.fillWidth, 1, barColour);
        EXPECT_TRUE(picture.copy(bottomRows) == bottom);
        for (const char* label : {step.text, longLabel, ""}) {
            EXPECT_TRUE(bar.SetLabelText(label));
            EXPECT_FALSE(bar.SetLabelText(*label ? label : nullptr));  // the same again
            EXPECT_EQ(accessible->text(QAccessible::Value), *label ? label : step.text);
            QImage& shown = labelled[{step.fillWidth, label}] = Picture(bar);
            EXPECT_EQ(shown != picture, label == longLabel) << label;
        }
    }
    // Glyphs over the bar take the track's colour and glyphs over the track the bar's, split
    // exactly where the bar ends: a half bar looks like a full one left of the end, like an empty
    // one right of it. Smoothed glyphs come within a quarter of the way to their colour.
    const QImage &empty = labelled[{0, longLabel}], &full = labelled[{301, longLabel}];
    const QImage& half = labelled[{150, longLabel}];
    const QRect left(0, 0, border + 150, bar.height());
    const QRect right = bar.rect().adjusted(left.width(), 0, 0, 0);
    const QRect ink = InkBox(full, bar.contentsRect(), [&](QColor c) { return c != barColour; });
    const auto near = [&](QColor colour) {
        return [=](QColor c) { return 4 * Apart(c, colour) < Apart(barColour, trackColour); };
    };
    EXPECT_TRUE(InkBox(full, ink, near(trackColour)).isValid());
    EXPECT_TRUE(InkBox(empty, ink, near(barColour)).isValid());
    EXPECT_TRUE(half.copy(left) == full.copy(left) && half.copy(right) == empty.copy(right));
    // The first position after a resize repaints, even at the same fill width (0.6 pixels).
    bar.resize(bar.width() + 1, bar.height());
    QCoreApplication::processEvents();
    const int paints = bar.PaintCount();
    bar.SetRange(0, 1000);
    EXPECT_EQ(bar.SetPos(2), 0);  // the previous position
    EXPECT_EQ(bar.PaintCount(), paints + 1);
}

using Pixel = std::tuple<int, int, QColor>;  // x, y and the colour there

// Gradient entry i is (255 - i / redGreen, ditto, 255 - i / blue).
QColor Gradient(int entry, int redGreen, int blue) {
    return QColor(255 - entry / redGreen, 255 - entry / redGreen, 255 - entry / blue);
}

// Hover comes once per entry after the hover time (leaving first cancels it); only hover and leave
// repaint. Hover fades red and green by i / 4, not i / 3, the focus blue by i / 4, not i / 5, and
// both by i / 3; the focus frame and rectangle (inverted pixels) show unless hovered. Disabled, it
// looks hovered until the pointer leaves. The caption is measured with "&" and moves when pressed.
TEST(HoverGradientButton, FollowsThePointerAndPlacesItsCaption) {
    using State = CHoverGradientButton::EHoverState;
    CHoverGradientButton button;
    button.resize(120, 21);
    button.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), button.mapToGlobal(QPointF(5, 5)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QEvent leave(QEvent::Leave);
    const std::vector<Pixel> hoverLook = {{1, 10, {250, 196, 88}},    {3, 10, {250, 196, 88}},
                                          {118, 10, {251, 202, 106}}, {60, 2, {252, 210, 121}},
                                          {60, 18, {229, 151, 0}},    {60, 19, {229, 151, 0}}};
    const std::vector<Pixel> focusLook = {{1, 10, {153, 198, 252}}, {3, 10, {153, 198, 252}},
                                          {2, 10, {102, 57, 3}},    {117, 10, {162, 189, 252}},
                                          {61, 2, {162, 201, 255}}, {60, 18, {93, 54, 0}}};
    const std::vector<Pixel> plainLook = {{1, 10, {255, 255, 255}}, {118, 10, {255, 255, 255}},
                                          {60, 1, {255, 255, 255}}, {2, 2, {253, 253, 254}},
                                          {60, 2, {253, 253, 254}}, {117, 19, {234, 234, 243}}};
    const struct {
        bool enabled, repaints;
        std::vector<QEvent*> pointer;  // sent in turn
        State at, after;
        int redGreen, blue;
        const std::vector<Pixel>& look;
    } steps[] = {
        {true, true, {&move}, State::Entered, State::Hovered, 4, 3, hoverLook},    // enter
        {true, false, {&move}, State::Hovered, State::Hovered, 4, 3, hoverLook},   // move inside
        {true, true, {&leave}, State::Outside, State::Outside, 3, 4, focusLook},   // leave
        {true, false, {&leave}, State::Outside, State::Outside, 3, 4, focusLook},  // leave again
        {true, true, {&move}, State::Entered, State::Hovered, 4, 3, hoverLook},    // re-enter
        {false, true, {&move}, State::Hovered, State::Hovered, 4, 5, hoverLook},   // disabled
        {false, true, {&leave}, State::Outside, State::Outside, 3, 5, plainLook},  // focus gone
        {true, true, {&move}, State::Entered, State::Hovered, 4, 5, hoverLook},    // enabled
        {true, true, {&leave, &move, &leave}, State::Outside, State::Outside, 3, 5, plainLook},
    };
    button.activateWindow();
    button.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return button.hasFocus(); }));
    for (const auto& step : steps) {
        SCOPED_TRACE(::testing::Message() << "step " << &step - steps);
        QCoreApplication::processEvents();
        const int paints = button.PaintCount();
        button.setEnabled(step.enabled);
        for (QEvent* event : step.pointer) {
            QCoreApplication::sendEvent(&button, event);
        }
        EXPECT_EQ(button.HoverState(), step.at);
        EXPECT_TRUE(QTest::qWaitFor([&] { return button.HoverState() == step.after; }));
        QTest::qWait(20);  // many hover times: one hover, one repaint
        EXPECT_EQ(button.PaintCount() > paints, step.repaints);
        const QImage image = Picture(button);
        for (const auto& [x, y, colour] : step.look) {
            EXPECT_EQ(image.pixelColor(x, y), colour) << x << "," << y;
        }
        for (const auto& [y, entry] : {std::pair(4, 14), std::pair(10, 37), std::pair(17, 63)}) {
            EXPECT_EQ(image.pixelColor(60, y), Gradient(entry, step.redGreen, step.blue)) << y;
        }
    }
    const auto caption = [&button] {  // the dark ink inside the frames
        return InkBox(Picture(button), button.rect().adjusted(4, 3, -4, -3),
                      [](QColor c) { return c.red() < 128; });
    };
    button.setText(QStringLiteral("Start Download"));
    const QRect plain = caption();
    button.setDown(true);
    EXPECT_EQ(caption(), plain.translated(1, 1));
    EXPECT_EQ(Picture(button).pixelColor(6, 10), Gradient(37, 3, 4));
    button.setDown(false);
    button.setEnabled(false);
    EXPECT_NE(caption(), plain);
    button.setEnabled(true);
    button.setText(QStringLiteral("W"));
    const QRect letter = caption();
    button.setText(QStringLiteral("&W"));
    const int ampersand = QFontMetrics(button.font()).horizontalAdvance(QLatin1Char('&'));
    EXPECT_NEAR(caption().left(), letter.left() - ampersand / 2, 1);  // glyphs sit on sub-pixels
    EXPECT_GT(caption().bottom(), letter.bottom());                   // the underline
    button.setText(QString());
    EXPECT_EQ(caption(), QRect());
    button.setText(QString(259, QLatin1Char('W')));
    const QImage cut = Picture(button);
    button.setText(QString(259, QLatin1Char('W')) + QLatin1String("iii"));
    EXPECT_TRUE(Picture(button) == cut);
    button.setText(QString(258, QLatin1Char('W')));
    EXPECT_FALSE(Picture(button) == cut);
}

}  // namespace
