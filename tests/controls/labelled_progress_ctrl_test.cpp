// The labelled progress bar's fill, label, colours and repaint rules, read from its pixels.
#include <gtest/gtest.h>

#include <QTest>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "control_pixels.h"
#include "labelled_progress_ctrl.h"

namespace {

constexpr int kWidth = 301;
constexpr int kHeight = 24;

class LabelledProgressCtrlTest : public ::testing::Test {
protected:
    void SetUp() override {
        bar.resize(kWidth, kHeight);
        bar.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&bar));
        barColour = bar.palette().color(QPalette::Highlight);
        trackColour = bar.palette().color(QPalette::Base);
    }

    // First column of the track on a row the text doesn't reach, after checking that the row
    // is bar colour up to there and track colour after it.
    int FillWidthOnEdgeRows() {
        const QImage image = GrabPixels(bar);
        int fill = 0;
        while (fill < kWidth && PixelAt(image, fill, 0) == barColour) {
            ++fill;
        }
        for (const int y : {0, kHeight - 1}) {
            for (int x = 0; x < kWidth; ++x) {
                EXPECT_EQ(PixelAt(image, x, y), x < fill ? barColour : trackColour)
                    << x << "," << y;
            }
        }
        return fill;
    }

    bool PaintsWithin(int paintsBefore) {
        return QTest::qWaitFor([&] { return bar.PaintCount() > paintsBefore; }, 5000);
    }

    CLabelledProgressCtrl bar;
    QColor barColour;
    QColor trackColour;
};

struct PercentCase {
    int lower;
    int upper;
    int pos;
    const char* label;
    int fillWidth;
};

TEST_F(LabelledProgressCtrlTest, FillWidthAndPercentageTruncate) {
    const PercentCase cases[] = {
        {0, 100, 29, "28%", 87},    {0, 100, 57, "56%", 171}, {0, 100, 50, "50%", 150},
        {0, 100, 100, "100%", 301}, {0, 3, 1, "33%", 100},    {0, 3, 2, "66%", 200},
        {0, 100, 150, "100%", 301}, {0, 100, 0, "0%", 0},
    };
    for (const PercentCase& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.lower << ".." << c.upper << " at " << c.pos);
        bar.SetRange(c.lower, c.upper);
        bar.SetPos(c.pos);
        EXPECT_EQ(bar.text(), QString::fromLatin1(c.label));
        EXPECT_EQ(FillWidthOnEdgeRows(), c.fillWidth);
        // The drawn percentage is exactly what the same text as a label looks like.
        const QImage percentage = GrabPixels(bar);
        bar.SetLabelText(c.label);
        EXPECT_EQ(GrabPixels(bar), percentage);
        bar.SetLabelText(nullptr);
    }
}

TEST_F(LabelledProgressCtrlTest, NeverSetShowsEmptyTrackWithZeroPercentInBarColour) {
    EXPECT_EQ(bar.text(), QStringLiteral("0%"));
    EXPECT_EQ(FillWidthOnEdgeRows(), 0);
    const QImage image = GrabPixels(bar);
    const QRect ink = InkBox(image, image.rect(), [&](QColor c) { return c != trackColour; });
    EXPECT_LE(std::abs(ink.center().x() - kWidth / 2), 2);
    EXPECT_LE(std::abs(ink.center().y() - kHeight / 2), 2);
    EXPECT_FALSE(InkBox(image, ink, [&](QColor c) { return c == barColour; }).isEmpty());
}

TEST_F(LabelledProgressCtrlTest, LabelReplacesPercentageAndEmptyTextBringsItBack) {
    bar.SetPos(50);
    const QImage percentage = GrabPixels(bar);

    int paints = bar.PaintCount();
    EXPECT_TRUE(bar.SetLabelText("Busy"));
    EXPECT_TRUE(PaintsWithin(paints));
    EXPECT_EQ(bar.text(), QStringLiteral("Busy"));
    EXPECT_NE(GrabPixels(bar), percentage);

    QCoreApplication::processEvents();
    paints = bar.PaintCount();
    EXPECT_FALSE(bar.SetLabelText("Busy"));
    QCoreApplication::processEvents();
    EXPECT_EQ(bar.PaintCount(), paints) << "an unchanged label invalidated the bar";

    EXPECT_TRUE(bar.SetLabelText(""));
    EXPECT_EQ(bar.text(), QStringLiteral("50%"));
    EXPECT_EQ(GrabPixels(bar), percentage);
    EXPECT_FALSE(bar.SetLabelText(""));
    EXPECT_FALSE(bar.SetLabelText(nullptr));
}

TEST_F(LabelledProgressCtrlTest, GetLabelTextStaysInsideTheBufferAndZeroFills) {
    struct Case {
        const char* label;
        int size;
        const char* copied;
        int result;
    };
    const Case cases[] = {
        {"Busy", 8, "Busy", 4},
        {"Busy", 5, "Busy", 4},
        {"Busy", 4, "Bus", 3},
        {"Busy", 1, "", 0},
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         5, "Gr\xC3\xBC", 4},
        {"Gr\xC3\xBC\xC3\x9F"
         "e",
         4, "Gr", 2},  // never half a character
        {"", 4, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.label << " into " << c.size);
        bar.SetLabelText(c.label);
        char buffer[10];
        std::memset(buffer, 'x', sizeof buffer);
        EXPECT_EQ(bar.GetLabelText(buffer, c.size), c.result);
        EXPECT_STREQ(buffer, c.copied);
        for (int i = static_cast<int>(std::strlen(c.copied)); i < c.size; ++i) {
            EXPECT_EQ(buffer[i], '\0') << i;
        }
        EXPECT_EQ(buffer[c.size], 'x') << "wrote past the buffer";
    }
}

TEST_F(LabelledProgressCtrlTest, RepaintsOnlyWhenTheFillWidthChanges) {
    bar.SetRange(0, 1000);
    int paints = bar.PaintCount();
    EXPECT_EQ(bar.SetPos(10), 0);  // 3.01 pixels
    EXPECT_EQ(bar.PaintCount(), paints + 1);
    EXPECT_EQ(bar.SetPos(12), 10);  // 3.612 pixels: same width
    EXPECT_EQ(bar.PaintCount(), paints + 1);

    bar.resize(kWidth + 1, kHeight);
    ASSERT_TRUE(QTest::qWaitFor([&] { return bar.width() == kWidth + 1; }, 5000));
    QCoreApplication::processEvents();
    paints = bar.PaintCount();
    EXPECT_EQ(bar.SetPos(12), 12);
    EXPECT_EQ(bar.PaintCount(), paints + 1) << "the first position after a resize must repaint";

    // Past the end the picture stays full, but the unclamped width still changes.
    bar.SetRange(0, 100);
    bar.SetPos(100);
    paints = bar.PaintCount();
    bar.SetPos(101);
    EXPECT_EQ(bar.PaintCount(), paints + 1);
}

TEST_F(LabelledProgressCtrlTest, EmptyRangePaintsNothingAndDoesNotRepaint) {
    for (const auto& [lower, upper] : {std::pair{5, 5}, std::pair{10, 0}}) {
        SCOPED_TRACE(::testing::Message() << lower << ".." << upper);
        bar.SetRange(lower, upper);
        const int paints = bar.PaintCount();
        EXPECT_EQ(bar.SetPos(7), 0);
        EXPECT_EQ(bar.SetPos(0), 7);
        EXPECT_EQ(bar.PaintCount(), paints);

        QImage image(kWidth, kHeight, QImage::Format_RGB32);
        image.fill(Qt::magenta);
        bar.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
        EXPECT_EQ(InkBox(image, image.rect(), [](QColor c) { return c != Qt::magenta; }), QRect());
    }
    // The first position in a usable range repaints even though its width was seen before.
    bar.SetRange(0, 100);
    const int paints = bar.PaintCount();
    bar.SetPos(0);
    EXPECT_EQ(bar.PaintCount(), paints + 1);
}

TEST(LabelledProgressCtrl, SetPosWithoutWindowReturnsMinusOneAndStoresNothing) {
    CLabelledProgressCtrl bar;
    bar.SetRange(0, 50);
    EXPECT_EQ(bar.SetPos(5), -1);
    EXPECT_EQ(bar.GetPos(), 0);
    EXPECT_EQ(bar.GetUpper(), 50);
    bar.winId();
    EXPECT_EQ(bar.SetPos(7), 0);
    EXPECT_EQ(bar.GetPos(), 7);
}

// Each glyph pixel takes the colour of the bar-full picture left of the bar's end and of the
// bar-empty picture right of it, so a glyph straddling the end is split exactly there.
TEST_F(LabelledProgressCtrlTest, TextColourChangesExactlyAtTheEndOfTheBar) {
    bar.SetLabelText("HHHHHHHHHHHH");
    bar.SetRange(0, 2);
    bar.SetPos(2);
    const QImage full = GrabPixels(bar);
    bar.SetPos(0);
    const QImage empty = GrabPixels(bar);
    bar.SetPos(1);
    const QImage half = GrabPixels(bar);
    const int end = kWidth / 2;

    // The glyphs reach both sides of the end, drawn in exactly the opposite colours.
    const QRect inkOnBar = InkBox(full, full.rect(), [&](QColor c) { return c != barColour; });
    const QRect inkOnTrack =
        InkBox(empty, empty.rect(), [&](QColor c) { return c != trackColour; });
    ASSERT_EQ(inkOnBar, inkOnTrack);
    EXPECT_LT(inkOnBar.left(), end);
    EXPECT_GE(inkOnBar.right(), end);
    EXPECT_FALSE(InkBox(full, inkOnBar, [&](QColor c) { return c == trackColour; }).isEmpty());
    EXPECT_FALSE(InkBox(empty, inkOnBar, [&](QColor c) { return c == barColour; }).isEmpty());
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const QImage& expected = x < end ? full : empty;
            ASSERT_EQ(PixelAt(half, x, y), PixelAt(expected, x, y)) << x << "," << y;
        }
    }
}

}  // namespace
