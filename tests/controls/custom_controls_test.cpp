// Pixel tests of the custom-drawn controls: off-screen surface, progress bar and hover button.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QFrame>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <functional>
#include <ostream>
#include <string_view>
#include <tuple>
#include <vector>

#include "hover_gradient_button.h"
#include "labelled_progress_ctrl.h"
#include "offscreen_dc.h"
#include "pixel_probe.h"

// Readable colours in assertion messages.
void PrintTo(const QColor& colour, std::ostream* os) {
    *os << "rgb(" << colour.red() << ", " << colour.green() << ", " << colour.blue() << ")";
}

namespace {

TEST(OffscreenDC, AClipBoxAwayFromTheOriginChangesOnlyThatBoxOfTheTarget) {
    QImage target(80, 60, QImage::Format_RGB32);
    target.fill(Qt::white);
    const QRect box(20, 10, 30, 25);
    QPainter painter(&target);
    painter.setClipRect(box);
    {
        COffscreenDC dc(&painter);
        dc->fillRect(0, 0, 80, 60, Qt::red);   // what falls outside the box is lost
        dc->fillRect(20, 10, 1, 1, Qt::blue);  // the box's corners, in the target's coordinates
        dc->fillRect(49, 34, 1, 1, Qt::green);
        EXPECT_EQ(PixelAt(target, 30, 20), QColor(Qt::white)) << "copied before the surface went";
    }
    painter.end();
    const auto painted = [](QColor c) { return c == Qt::red || c == Qt::blue || c == Qt::green; };
    EXPECT_EQ(InkBox(target, target.rect(), [](QColor c) { return c != Qt::white; }), box);
    EXPECT_EQ(InkBox(target, box, [&](QColor c) { return !painted(c); }), QRect());
    EXPECT_EQ(PixelAt(target, 20, 10), QColor(Qt::blue));
    EXPECT_EQ(PixelAt(target, 49, 34), QColor(Qt::green));
}

// The client area inside the border.
constexpr int kBarWidth = 301;
constexpr int kBarHeight = 24;

class LabelledProgressCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        Resize(kBarWidth);
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    }
    // A client area `width` wide and kBarHeight high inside the border.
    void Resize(int width) { bar.resize(width + 2 * border, kBarHeight + 2 * border); }

    CLabelledProgressCtrl bar;
    const int border = bar.contentsRect().left();
    const QColor barColour = bar.palette().color(QPalette::Highlight);
    const QColor trackColour = bar.palette().color(QPalette::Base);
};

// Widths and percentages truncate; a label with the percentage's text looks exactly like it, any
// other label replaces it, and an empty label brings it back.
TEST_F(LabelledProgressCtrlTest, FillWidthAndPercentageTruncateAndALabelReplacesThePercentage) {
    const struct {
        int upper, pos, fillWidth;  // an upper bound of 0: never set
        const char* percentage;
    } cases[] = {
        {0, 0, 0, "0%"},    {100, 29, 87, "28%"},    {100, 57, 171, "56%"},   {3, 1, 100, "33%"},
        {3, 2, 200, "66%"}, {100, 100, 301, "100%"}, {100, 150, 301, "100%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.pos << " of " << c.upper);
        if (c.upper > 0) {
            bar.SetRange(0, c.upper);
            bar.SetPos(c.pos);
        }
        EXPECT_EQ(bar.text(), c.percentage);
        // The bottom row, which the text never reaches: bar colour, then track colour.
        const QImage percentage = GrabPixels(bar);
        QImage row(kBarWidth, 1, QImage::Format_RGB32);
        row.fill(trackColour);
        QPainter(&row).fillRect(0, 0, c.fillWidth, 1, barColour);
        EXPECT_EQ(percentage.copy(border, border + kBarHeight - 1, kBarWidth, 1), row);
        for (const std::string_view label : {c.percentage, "Busy", ""}) {
            bar.SetLabelText(label.data());
            EXPECT_EQ(bar.text(), label.empty() ? c.percentage : label.data());
            EXPECT_EQ(GrabPixels(bar) != percentage, label == "Busy") << label;
        }
    }
}

// A position repaints at once when the whole-pixel fill width changes; an empty range paints
// nothing.
TEST_F(LabelledProgressCtrlTest, RepaintsOnlyWhenTheFillWidthChanges) {
    const struct {
        int lower, upper, pos, width, paints;
    } steps[] = {
        {0, 1000, 1, kBarWidth, 1},      // 0.301 pixels
        {0, 1000, 2, kBarWidth, 0},      // 0.602 pixels: the same width
        {0, 1000, 2, kBarWidth + 1, 1},  // the first position after a resize
        {5, 5, 7, kBarWidth + 1, 0},     // empty ranges
        {10, 0, 0, kBarWidth + 1, 0},    //
        {0, 100, 0, kBarWidth + 1, 1},   // the same width again, but the first after an empty range
    };
    for (const auto& step : steps) {
        Resize(step.width);
        ASSERT_TRUE(QTest::qWaitFor([&] { return bar.contentsRect().width() == step.width; }));
        QCoreApplication::processEvents();
        const int paints = bar.PaintCount();
        bar.SetRange(step.lower, step.upper);
        bar.SetPos(step.pos);
        EXPECT_EQ(bar.PaintCount(), paints + step.paints) << step.lower << ".." << step.upper;
    }
    bar.SetRange(5, 5);
    QImage image(bar.size(), QImage::Format_RGB32);
    image.fill(Qt::magenta);
    bar.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());  // no window background
    EXPECT_EQ(InkBox(image, image.rect(), [](QColor c) { return c != Qt::magenta; }), QRect());
}

// Glyph pixels left of the bar's end look as on a full bar, those right of it as on an empty one.
TEST_F(LabelledProgressCtrlTest, TextColourChangesExactlyAtTheEndOfTheBar) {
    bar.SetLabelText("HHHHHHHHHHHH");
    bar.SetRange(0, 2);
    bar.SetPos(2);
    const QImage full = GrabPixels(bar);
    bar.SetPos(0);
    const QImage empty = GrabPixels(bar);
    bar.SetPos(1);
    const QImage half = GrabPixels(bar);
    const int end = border + kBarWidth / 2;
    // The glyphs reach both sides of the end, drawn in exactly the opposite colours.
    const QRect client = bar.contentsRect();
    const QRect ink = InkBox(full, client, [&](QColor c) { return c != barColour; });
    ASSERT_EQ(InkBox(empty, client, [&](QColor c) { return c != trackColour; }), ink);
    ASSERT_TRUE(ink.left() < end && ink.right() >= end);
    // On the bar the letters take the track's colour, on the track the bar's. Glyphs may be
    // smoothed, so the pixel that stands out most from the ground must be near that colour.
    const auto distance = [](const QColor& a, const QColor& b) {
        return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
               std::abs(a.blue() - b.blue());
    };
    const auto strongest = [&](const QImage& image, const QColor& ground) {
        QColor found = ground;
        for (int y = ink.top(); y <= ink.bottom(); ++y) {
            for (int x = ink.left(); x <= ink.right(); ++x) {
                if (distance(image.pixelColor(x, y), ground) > distance(found, ground)) {
                    found = image.pixelColor(x, y);
                }
            }
        }
        return found;
    };
    const QColor onBar = strongest(full, barColour), onTrack = strongest(empty, trackColour);
    EXPECT_LT(4 * distance(onBar, trackColour), distance(trackColour, barColour))
        << qPrintable(onBar.name());
    EXPECT_LT(4 * distance(onTrack, barColour), distance(trackColour, barColour))
        << qPrintable(onTrack.name());
    for (int y = 0; y < bar.height(); ++y) {
        for (int x = 0; x < bar.width(); ++x) {
            ASSERT_EQ(PixelAt(half, x, y), PixelAt(x < end ? full : empty, x, y)) << x << "," << y;
        }
    }
}

// The border is the platform's thin sunken one, as a sunken styled panel of one line shows it, and
// it looks the same in every fill state; the bar and the track start right inside it.
TEST_F(LabelledProgressCtrlTest, AThinSunkenBorderSurroundsTheBarInEveryFillState) {
    QFrame panel;
    panel.setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    panel.setLineWidth(1);
    panel.resize(bar.size());
    EXPECT_EQ(border, panel.frameWidth());
    ASSERT_GE(border, 1);
    const QImage expected = GrabPixels(panel);
    const QRect client = bar.contentsRect();
    const struct {
        int upper, pos;
        const char* label;
        bool barAtLeft, trackAtRight;
    } states[] = {
        {100, 0, "", false, true}, {3, 1, "", true, true},     {3, 3, "", true, false},
        {3, 7, "", true, false},   {3, 2, "Busy", true, true},
    };
    for (const auto& state : states) {
        SCOPED_TRACE(::testing::Message() << state.pos << " of " << state.upper);
        bar.SetRange(0, state.upper);
        bar.SetPos(state.pos);
        bar.SetLabelText(state.label);
        const QImage image = GrabPixels(bar);
        for (int x = 0; x < bar.width(); ++x) {
            for (int y = 0; y < bar.height(); ++y) {
                if (client.contains(x, y)) {
                    continue;
                }
                ASSERT_EQ(PixelAt(image, x, y), PixelAt(expected, x, y)) << x << "," << y;
                ASSERT_NE(PixelAt(image, x, y), barColour) << x << "," << y;
                ASSERT_NE(PixelAt(image, x, y), trackColour) << x << "," << y;
            }
        }
        EXPECT_EQ(PixelAt(image, client.left(), client.bottom()),
                  state.barAtLeft ? barColour : trackColour);
        EXPECT_EQ(PixelAt(image, client.right(), client.top()),
                  state.trackAtRight ? trackColour : barColour);
    }
}

// Assistive technology reads the position within the range as the value and what the bar shows
// (the percentage, or the label) as its text.
TEST_F(LabelledProgressCtrlTest, AssistiveTechnologyReadsThePositionAndTheShownText) {
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&bar);
    ASSERT_NE(accessible, nullptr);
    EXPECT_EQ(accessible->role(), QAccessible::ProgressBar);
    QAccessibleValueInterface* value = accessible->valueInterface();
    ASSERT_NE(value, nullptr);
    const struct {
        int lower, upper, pos;
        const char* label;
        int read;
        const char* text;
    } cases[] = {
        {0, 100, 47, "", 47, "47%"},    {0, 100, 47, "Erasing", 47, "Erasing"},
        {0, 100, 150, "", 100, "100%"}, {0, 3, 2, "", 2, "66%"},
        {10, 30, 25, "", 25, "75%"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.pos << " in " << c.lower << ".." << c.upper);
        bar.SetRange(c.lower, c.upper);
        bar.SetPos(c.pos);
        bar.SetLabelText(c.label);
        EXPECT_EQ(value->currentValue().toInt(), c.read);
        EXPECT_EQ(value->minimumValue().toInt(), c.lower);
        EXPECT_EQ(value->maximumValue().toInt(), c.upper);
        EXPECT_EQ(accessible->text(QAccessible::Value), c.text);
    }
}

using State = CHoverGradientButton::EHoverState;
using Pixels = std::vector<std::tuple<int, int, QColor>>;  // x, y and the colour there

class HoverGradientButtonTest : public ::testing::Test {
protected:
    void SetUp() override {
        button.resize(120, 21);
        button.setFocusPolicy(Qt::NoFocus);  // only the pointer test gives it the focus
        button.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    }
    // The pointer moving to (5, 5) inside the button, or leaving it.
    void SendPointer(bool leave) {
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), button.mapToGlobal(QPointF(5, 5)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QEvent leaving(QEvent::Leave);
        QCoreApplication::sendEvent(&button, leave ? &leaving : static_cast<QEvent*>(&move));
    }
    // Whether the window shows `look` as last painted, without painting it again for a grab.
    bool Shows(const Pixels& look) {
        const QImage image = button.screen()->grabWindow(button.winId()).toImage();
        return std::all_of(look.begin(), look.end(), [&](const auto& pixel) {
            const auto& [x, y, colour] = pixel;
            return PixelAt(image, x, y) == colour;
        });
    }

    CHoverGradientButton button;
};

// Rows 2 to 19 take gradient entries by absolute row, entry i being (255 - i / redGreen, ditto,
// 255 - i / blue); the hover frame covers rows 1, 2, 18 and 19 and three columns on each side.
TEST_F(HoverGradientButtonTest, GradientRowsFollowTheAbsoluteRowInEveryVariant) {
    const struct {
        int hover, active, redGreen, blue;
    } variants[] = {{0, 0, 3, 5}, {0, 1, 3, 4}, {1, 1, 4, 3}, {1, 0, 4, 5}};
    const int entries[] = {7, 11, 14, 18, 22, 25, 29, 33, 37, 40, 44, 48, 51, 55, 59, 63, 63, 63};
    for (const auto& v : variants) {
        button.setDefault(v.active);
        if (v.hover) {
            SendPointer(false);
            ASSERT_TRUE(QTest::qWaitFor([&] { return button.HoverState() == State::Hovered; }));
        }
        const QImage image = GrabPixels(button);
        for (int y = v.hover ? 3 : 2; y <= (v.hover ? 17 : 19); ++y) {
            const int i = entries[y - 2];
            const QColor expected(255 - i / v.redGreen, 255 - i / v.redGreen, 255 - i / v.blue);
            for (const int x : {v.hover ? 4 : 2, 60, v.hover ? 115 : 117}) {
                EXPECT_EQ(PixelAt(image, x, y), expected)
                    << "hover " << v.hover << ", active " << v.active << ", at " << x << "," << y;
            }
        }
    }
}

TEST_F(HoverGradientButtonTest, PressedShiftsTheCaptionByOnePixel) {
    button.setText(QStringLiteral("Start Download"));
    button.setDefault(true);    // active, as a pressed button is, so both share one gradient
    const auto caption = [&] {  // the dark ink inside the frames
        const QImage image = GrabPixels(button);
        return InkBox(image, image.rect().adjusted(4, 3, -4, -3),
                      [](QColor c) { return c.red() < 128; });
    };
    const QRect plain = caption();
    button.setDown(true);
    EXPECT_EQ(caption(), plain.translated(1, 1));
}

// Hover and leave notifications are asked for once per entry, and only hover and leave repaint. The
// focused button shows its frame and the focus rectangle (inverted pixels) unless hovered.
TEST_F(HoverGradientButtonTest, HoverComesOncePerEntryAndOnlyHoverAndLeaveRepaint) {
    const QColor hLeft(250, 196, 88), hRight(251, 202, 106), hTop(252, 210, 121);
    const QColor hBottom(229, 151, 0), fLeft(153, 198, 252), fRight(162, 189, 252);
    const QColor fEdge(162, 201, 255), xLeft(102, 57, 3), xEdge(93, 54, 0);  // x: inverted
    const Pixels hoverLook = {
        {1, 10, hLeft}, {3, 10, hLeft}, {2, 11, hLeft}, {116, 10, hRight}, {118, 10, hRight},
        {60, 1, hTop},  {60, 2, hTop},  {61, 2, hTop},  {60, 18, hBottom}, {60, 19, hBottom},
    };
    const Pixels focusLook = {
        {1, 10, fLeft}, {3, 10, fLeft}, {2, 10, xLeft}, {2, 11, fLeft},  {117, 10, fRight},
        {60, 1, fEdge}, {60, 2, xEdge}, {61, 2, fEdge}, {60, 19, fEdge}, {60, 18, xEdge},
    };
    const struct {
        bool leaves, repaints;
        State at, after;
        int trackingRequests;
        const Pixels& look;
    } steps[] = {
        {false, true, State::Entered, State::Hovered, 1, hoverLook},   // enter
        {false, false, State::Hovered, State::Hovered, 1, hoverLook},  // move inside
        {true, true, State::Outside, State::Outside, 1, focusLook},    // leave
        {true, false, State::Outside, State::Outside, 1, focusLook},   // leave again
        {false, true, State::Entered, State::Hovered, 2, hoverLook},   // re-enter
    };
    button.setFocusPolicy(Qt::StrongFocus);
    button.activateWindow();
    button.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return button.hasFocus(); }));
    for (const auto& step : steps) {
        SCOPED_TRACE(::testing::Message() << "step " << &step - steps);
        QCoreApplication::processEvents();
        const int paints = button.PaintCount();
        SendPointer(step.leaves);
        EXPECT_EQ(button.HoverState(), step.at);
        EXPECT_TRUE(QTest::qWaitFor([&] { return button.HoverState() == step.after; }));
        EXPECT_EQ(button.TrackingRequests(), step.trackingRequests);
        EXPECT_TRUE(QTest::qWaitFor([&] { return Shows(step.look); }));
        QTest::qWait(20);  // many hover times: one hover, one repaint
        EXPECT_EQ(button.PaintCount() > paints, step.repaints);
    }
    // Leaving before the hover time is up cancels the hover, which then never shows.
    SendPointer(true);
    SendPointer(false);
    SendPointer(true);
    QTest::qWait(50);  // well past the hover time
    EXPECT_TRUE(QTest::qWaitFor([&] { return Shows(focusLook); }));
    EXPECT_EQ(button.HoverState(), State::Outside);
}

}  // namespace
