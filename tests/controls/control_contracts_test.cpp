// The custom controls at the edges of their contracts: the progress bar before it has a window,
// its label reads into short buffers, positions past the top of the range; the hover button
// disabled under the pointer, pressed without the focus, with "&" or nothing in its caption; and
// the drawing surface on a paged device.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QEvent>
#include <QMouseEvent>
#include <QPdfWriter>
#include <QTest>
#include <string>

#include "hover_gradient_button.h"
#include "labelled_progress_ctrl.h"
#include "offscreen_dc.h"
#include "pixel_probe.h"

namespace {

TEST(ProgressContract, WithoutAWindowSetPosStoresNothingAndSetRangeStores) {
    CLabelledProgressCtrl bar;
    EXPECT_EQ(bar.SetPos(7), -1);
    EXPECT_EQ(bar.GetPos(), 0);
    bar.SetRange(3, 9);
    EXPECT_EQ(bar.GetLower(), 3);
    EXPECT_EQ(bar.GetUpper(), 9);
    bar.resize(100, 20);
    bar.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    EXPECT_EQ(bar.SetPos(7), 0);
    EXPECT_EQ(bar.SetPos(8), 7);
    EXPECT_EQ(bar.GetPos(), 8);
}

// Reads into a buffer of every awkward size: what comes back, and every byte of the buffer after.
TEST(ProgressContract, LabelReadsCopyCutAndZeroFill) {
    const struct {
        const char* label;
        int size;
        int copied;
        std::string buffer;  // the whole buffer afterwards; it starts as 'x' bytes
    } table[] = {
        {"Busy", 8, 4, std::string("Busy\0\0\0\0", 8)},
        {"Busy", 5, 4, std::string("Busy\0", 5)},
        {"Busy", 4, 3, std::string("Bus\0", 4)},
        {"Busy", 1, 0, std::string(1, '\0')},
        {"Busy", 0, 0, ""},
        {"", 3, 0, std::string(3, '\0')},
        // "Grüße": a cut copy never ends inside a character.
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         4, 2, std::string("Gr\0\0", 4)},
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         5, 4, std::string("Gr\xC3\xBC\0", 5)},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(::testing::Message() << row.label << " into " << row.size);
        CLabelledProgressCtrl bar;
        bar.SetLabelText(row.label);
        char buffer[16];
        std::fill(std::begin(buffer), std::end(buffer), 'x');
        EXPECT_EQ(bar.GetLabelText(buffer, row.size), row.copied);
        EXPECT_EQ(std::string(buffer, static_cast<std::size_t>(row.size)), row.buffer);
        EXPECT_EQ(buffer[row.size], 'x');  // nothing written past the buffer
    }
}

class ShownBar : public ::testing::Test {
protected:
    void SetUp() override {
        bar.resize(301, 24);
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
    }
    // Paint events that a SetPos call caused.
    int PaintsOf(int pos) {
        QCoreApplication::processEvents();
        const int before = bar.PaintCount();
        bar.SetPos(pos);
        return bar.PaintCount() - before;
    }
    CLabelledProgressCtrl bar;
};

// A label that reads like the percentage looks exactly like it; setting the same label twice,
// or clearing an empty one, asks for nothing.
TEST_F(ShownBar, ALabelOfExactlyFiftyPercentLooksLikeThePercentage) {
    bar.SetRange(0, 100);
    bar.SetPos(50);
    EXPECT_EQ(bar.text(), "50%");
    const QImage percentage = GrabPixels(bar);
    EXPECT_TRUE(bar.SetLabelText("50%"));
    EXPECT_FALSE(bar.SetLabelText("50%"));
    EXPECT_EQ(GrabPixels(bar), percentage);
    EXPECT_TRUE(bar.SetLabelText(""));
    EXPECT_FALSE(bar.SetLabelText(nullptr));
    EXPECT_FALSE(bar.SetLabelText(""));
    EXPECT_EQ(bar.text(), "50%");
}

// Past the top the picture stays a full bar at 100%, yet each new whole-pixel width repaints.
TEST_F(ShownBar, PositionsAboveTheTopShowAFullBarAndRepaintOnEveryWidthChange) {
    bar.SetRange(0, 100);
    EXPECT_EQ(PaintsOf(100), 1);
    const QImage full = GrabPixels(bar);
    const struct { int pos, paints; } steps[] = {{150, 1}, {150, 0}, {1000, 1}, {100, 1}, {99, 1}};
    for (const auto& step : steps) {
        EXPECT_EQ(PaintsOf(step.pos), step.paints) << step.pos;
        EXPECT_EQ(bar.text(), step.pos >= 100 ? "100%" : "99%") << step.pos;
        EXPECT_EQ(GrabPixels(bar) == full, step.pos >= 100) << step.pos;
    }
}

using State = CHoverGradientButton::EHoverState;

class Button : public ::testing::Test {
protected:
    void SetUp() override {
        button.resize(120, 21);
        button.setFocusPolicy(Qt::NoFocus);
        button.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&button));
    }
    void Hover() {
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), button.mapToGlobal(QPointF(5, 5)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&button, &move);
        ASSERT_TRUE(QTest::qWaitFor([&] { return button.HoverState() == State::Hovered; }));
    }
    void Leave() {
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&button, &leave);
    }
    // The dark caption pixels inside the frames.
    QRect Caption() {
        const QImage image = GrabPixels(button);
        return InkBox(image, image.rect().adjusted(4, 3, -4, -3),
                      [](QColor c) { return c.red() < 128; });
    }
    CHoverGradientButton button{QStringLiteral("Start Download")};
};

const QColor kHoverLeft(250, 196, 88);

// Disabled under the pointer, the button keeps its hover look, caption greyed, until the pointer
// leaves; the leave still counts.
TEST_F(Button, DisabledWhileHoveredKeepsTheHoverLookUntilThePointerLeaves) {
    const QRect enabledCaption = Caption();
    Hover();
    button.setEnabled(false);
    EXPECT_EQ(button.HoverState(), State::Hovered);
    QImage image = GrabPixels(button);
    EXPECT_EQ(PixelAt(image, 1, 10), kHoverLeft);
    EXPECT_NE(Caption(), enabledCaption);  // the disabled caption is drawn differently
    Leave();
    EXPECT_EQ(button.HoverState(), State::Outside);
    image = GrabPixels(button);
    EXPECT_EQ(PixelAt(image, 1, 10), QColor(Qt::white));
    // Enabled again, the next entry hovers as before.
    button.setEnabled(true);
    Hover();
    EXPECT_EQ(button.TrackingRequests(), 2);
}

// Pressed without hover or focus: the active gradient (blue fading by i / 4), no frame, and the
// caption one pixel right and down.
TEST_F(Button, PressedWithoutFocusTakesTheActiveGradientAndNoFrame) {
    const QRect plain = Caption();
    button.setDown(true);
    const QImage image = GrabPixels(button);
    const int entry = 37;  // row 10 of a 21-pixel button
    EXPECT_EQ(PixelAt(image, 60, 10), QColor(255 - entry / 3, 255 - entry / 3, 255 - entry / 4));
    EXPECT_EQ(PixelAt(image, 1, 10), QColor(Qt::white));
    EXPECT_EQ(Caption(), plain.translated(1, 1));
}

// "&" is not drawn but underlines the next letter, and is measured: the caption sits half an "&"
// left of where the same caption without it sits. An empty caption draws no ink at all.
TEST_F(Button, AnAmpersandIsMeasuredButNotDrawnAndAnEmptyCaptionDrawsNothing) {
    button.setText(QStringLiteral("W"));
    const QRect plain = Caption();
    button.setText(QStringLiteral("&W"));
    const QRect mnemonic = Caption();
    const QFontMetrics metrics(button.font());
    const int centre = (2 + 118) / 2;
    const int shift = (centre - metrics.horizontalAdvance(QStringLiteral("&W")) / 2) -
                      (centre - metrics.horizontalAdvance(QStringLiteral("W")) / 2);
    ASSERT_LT(shift, 0);
    EXPECT_NEAR(mnemonic.left(), plain.left() + shift, 1);  // glyphs sit on sub-pixels
    EXPECT_EQ(mnemonic.top(), plain.top());
    EXPECT_GT(mnemonic.bottom(), plain.bottom());  // the underline
    button.setText(QString());
    EXPECT_EQ(Caption(), QRect());
}

// Captions are cut after 259 characters: what follows moves nothing.
TEST_F(Button, ACaptionIsCutAfter259Characters) {
    const auto look = [this](int ws, const char* tail) {
        button.setText(QString(ws, QLatin1Char('W')) + QLatin1String(tail));
        return GrabPixels(button);
    };
    const QImage cut = look(259, "");
    EXPECT_EQ(look(259, "iii"), cut);
    EXPECT_NE(look(258, ""), cut);
}

// A paged device (a printer, a PDF) is drawn on directly, and its painter comes back as it was.
TEST(OffscreenDCContract, APagedDeviceIsDrawnOnDirectly) {
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    QPainter painter(&writer);
    painter.setPen(Qt::red);
    {
        COffscreenDC dc(&painter);
        EXPECT_FALSE(dc.IsOffscreen());
        EXPECT_EQ(&*dc, &painter);
        EXPECT_TRUE(dc.Area().isEmpty());
        dc->setPen(Qt::blue);
        dc->drawLine(0, 0, 100, 100);
    }
    EXPECT_EQ(painter.pen().color(), QColor(Qt::red));
    EXPECT_TRUE(painter.isActive());
    painter.end();
    EXPECT_GT(pdf.size(), 0);
}

}  // namespace
