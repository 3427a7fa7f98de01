// The hover button's outline, gradient rows, frames, caption placement and pointer tracking,
// read from its pixels.
#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <memory>

#include "control_pixels.h"
#include "hover_gradient_button.h"

namespace {

using HoverState = CHoverGradientButton::EHoverState;

constexpr int kWidth = 120;
constexpr int kHeight = 21;

std::unique_ptr<CHoverGradientButton> ShownButton(const QString& caption, int width = kWidth,
                                                  int height = kHeight) {
    auto button = std::make_unique<CHoverGradientButton>(caption);
    button->resize(width, height);
    // Only the focus tests give it the focus.
    button->setFocusPolicy(Qt::NoFocus);
    button->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(button.get()));
    return button;
}

void MovePointer(CHoverGradientButton& button) {
    const QPointF at(5, 5);
    QMouseEvent move(QEvent::MouseMove, at, button.mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QCoreApplication::sendEvent(&button, &move);
}

void LeavePointer(CHoverGradientButton& button) {
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(&button, &leave);
}

bool Hover(CHoverGradientButton& button) {
    MovePointer(button);
    return QTest::qWaitFor([&] { return button.HoverState() == HoverState::Hovered; }, 5000);
}

bool Focus(CHoverGradientButton& button) {
    button.setFocusPolicy(Qt::StrongFocus);
    button.activateWindow();
    button.setFocus();
    return QTest::qWaitFor([&] { return button.hasFocus(); }, 5000);
}

bool RepaintsWithin(CHoverGradientButton& button, int paintsBefore) {
    return QTest::qWaitFor([&] { return button.PaintCount() > paintsBefore; }, 5000);
}

QColor Inverted(QColor c) {
    return QColor(255 - c.red(), 255 - c.green(), 255 - c.blue());
}

struct Pixel {
    int x;
    int y;
    QColor colour;
};

void ExpectPixels(const QImage& image, std::initializer_list<Pixel> pixels) {
    for (const Pixel& p : pixels) {
        EXPECT_EQ(PixelAt(image, p.x, p.y), p.colour) << p.x << "," << p.y;
    }
}

struct GradientVariant {
    const char* name;
    bool hover;
    bool active;
    int redGreenDivisor;
    int blueDivisor;
    QColor last;
};

TEST(HoverGradientButton, GradientRowsFollowTheAbsoluteRowInEveryVariant) {
    const GradientVariant variants[] = {
        {"normal", false, false, 3, 5, QColor(234, 234, 243)},
        {"active", false, true, 3, 4, QColor(234, 234, 240)},
        {"hover", true, false, 4, 5, QColor(240, 240, 243)},
        {"hover and active", true, true, 4, 3, QColor(240, 240, 234)},
    };
    // Rows 2 to 19 of a 21-pixel button.
    const int entries[] = {7, 11, 14, 18, 22, 25, 29, 33, 37, 40, 44, 48, 51, 55, 59, 63, 63, 63};
    for (const GradientVariant& v : variants) {
        SCOPED_TRACE(v.name);
        auto button = ShownButton(QString());
        button->setDefault(v.active);
        if (v.hover) {
            ASSERT_TRUE(Hover(*button));
        }
        const auto entry = [&v](int i) {
            return QColor(255 - i / v.redGreenDivisor, 255 - i / v.redGreenDivisor,
                          255 - i / v.blueDivisor);
        };
        ASSERT_EQ(entry(63), v.last);
        const QImage image = GrabPixels(*button);
        for (int y = 2; y <= 19; ++y) {
            // The hover frame covers rows 1 and 2 and 18 and 19.
            if (v.hover && (y <= 2 || y >= 18)) {
                continue;
            }
            const int first = v.hover ? 4 : 2;
            const int last = v.hover ? kWidth - 5 : kWidth - 3;
            for (const int x : {first, kWidth / 2, last}) {
                EXPECT_EQ(PixelAt(image, x, y), entry(entries[y - 2])) << x << "," << y;
            }
        }
    }
}

TEST(HoverGradientButton, RoundedOutlineAroundAWhiteInterior) {
    auto button = ShownButton(QString());
    const QImage image = GrabPixels(*button);
    const QColor black(Qt::black);
    const QColor white(Qt::white);
    const QColor background = PixelAt(image, 0, 0);
    EXPECT_NE(background, black);
    ExpectPixels(image, {{60, 0, black},
                         {60, 20, black},
                         {0, 10, black},
                         {119, 10, black},
                         {1, 1, black},
                         {118, 1, black},
                         {1, 19, black},
                         {118, 19, black},
                         {119, 0, background},
                         {0, 20, background},
                         {119, 20, background},
                         {1, 10, white},
                         {118, 10, white},
                         {60, 1, white}});
}

TEST(HoverGradientButton, HoverFrameEdgesTakeTheirPens) {
    auto button = ShownButton(QString());
    ASSERT_TRUE(Hover(*button));
    const QImage image = GrabPixels(*button);
    const QColor left(250, 196, 88), right(251, 202, 106), top(252, 210, 121), bottom(229, 151, 0);
    ExpectPixels(image, {{1, 10, left},
                         {3, 10, left},
                         {1, 18, left},
                         {116, 10, right},
                         {118, 10, right},
                         {118, 3, right},
                         {60, 1, top},
                         {60, 2, top},
                         {1, 1, top},
                         {116, 1, top},
                         {60, 18, bottom},
                         {60, 19, bottom},
                         {2, 19, bottom},
                         {116, 19, bottom}});
    // The frame is exactly as wide as its pens.
    EXPECT_EQ(PixelAt(image, 4, 10), PixelAt(image, 60, 10));
    EXPECT_EQ(PixelAt(image, 115, 10), PixelAt(image, 60, 10));
    EXPECT_EQ(PixelAt(image, 60, 3), PixelAt(image, 61, 3));
}

TEST(HoverGradientButton, FocusShowsBlueFrameAndFocusRectangleUnlessHovered) {
    auto button = ShownButton(QString());
    ASSERT_TRUE(Focus(*button));
    const QColor left(153, 198, 252), right(162, 189, 252), topBottom(162, 201, 255);
    // The focus rectangle inverts every other pixel of the inner rectangle's border.
    const auto expectFocusLook = [&](const QImage& image) {
        ExpectPixels(image, {{1, 10, left},
                             {3, 10, left},
                             {2, 10, Inverted(left)},
                             {2, 11, left},
                             {116, 10, right},
                             {117, 10, right},
                             {117, 11, Inverted(right)},
                             {60, 1, topBottom},
                             {60, 2, Inverted(topBottom)},
                             {61, 2, topBottom},
                             {60, 19, topBottom},
                             {60, 18, Inverted(topBottom)},
                             {61, 18, topBottom}});
    };
    expectFocusLook(GrabPixels(*button));

    ASSERT_TRUE(Hover(*button));
    const QColor hoverTop(252, 210, 121), hoverLeft(250, 196, 88);
    ExpectPixels(GrabPixels(*button),
                 {{60, 2, hoverTop}, {61, 2, hoverTop}, {2, 10, hoverLeft}, {2, 11, hoverLeft}});

    LeavePointer(*button);
    expectFocusLook(GrabPixels(*button));
}

// Ink of the caption: pixels that differ from their row's gradient colour at column 4.
QRect CaptionBox(const QImage& image) {
    QRect box;
    for (int y = 3; y < image.height() - 3; ++y) {
        for (int x = 4; x < image.width() - 4; ++x) {
            if (image.pixel(x, y) != image.pixel(4, y)) {
                box |= QRect(x, y, 1, 1);
            }
        }
    }
    return box;
}

int DarkestRed(const QImage& image, const QRect& box) {
    int darkest = 255;
    for (int y = box.top(); y <= box.bottom(); ++y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            darkest = std::min(darkest, PixelAt(image, x, y).red());
        }
    }
    return darkest;
}

// All four buttons are active (default or pressed), so they share one gradient.
TEST(HoverGradientButton, CaptionIsCentredShiftedWhenPressedAndMeasuredWithItsMnemonic) {
    const int width = 162;
    const int height = 28;
    auto plain = ShownButton(QStringLiteral("Start Download"), width, height);
    plain->setDefault(true);
    auto pressed = ShownButton(QStringLiteral("Start Download"), width, height);
    pressed->setDown(true);
    auto mnemonic = ShownButton(QStringLiteral("Start &Download"), width, height);
    mnemonic->setDefault(true);
    auto disabled = ShownButton(QStringLiteral("Start Download"), width, height);
    disabled->setDefault(true);
    disabled->setEnabled(false);

    const QImage plainImage = GrabPixels(*plain);
    const QRect plainBox = CaptionBox(plainImage);
    ASSERT_FALSE(plainBox.isEmpty());
    EXPECT_LE(std::abs(plainBox.center().x() - width / 2), 2);
    EXPECT_LE(std::abs(plainBox.center().y() - height / 2), 3);

    EXPECT_EQ(CaptionBox(GrabPixels(*pressed)), plainBox.translated(1, 1));

    // The raw caption, "&" included, is what gets centred; the "&" itself isn't drawn but
    // underlines the "D" below the letters.
    const QFontMetrics metrics(mnemonic->font());
    const int shift = metrics.horizontalAdvance(mnemonic->text()) / 2 -
                      metrics.horizontalAdvance(plain->text()) / 2;
    const QRect mnemonicBox = CaptionBox(GrabPixels(*mnemonic));
    EXPECT_EQ(mnemonicBox.left(), plainBox.left() - shift);
    EXPECT_EQ(mnemonicBox.width(), plainBox.width());
    EXPECT_GT(mnemonicBox.bottom(), plainBox.bottom());

    const QImage disabledImage = GrabPixels(*disabled);
    const QRect disabledBox = CaptionBox(disabledImage);
    ASSERT_FALSE(disabledBox.isEmpty());
    EXPECT_GT(DarkestRed(disabledImage, disabledBox), DarkestRed(plainImage, plainBox));
}

TEST(HoverGradientButton, HoverComesOncePerEntryAndOnlyHoverAndLeaveRepaint) {
    auto button = ShownButton(QStringLiteral("Open Data File"));
    QCoreApplication::processEvents();
    EXPECT_EQ(button->HoverState(), HoverState::Outside);

    int paints = button->PaintCount();
    MovePointer(*button);
    EXPECT_EQ(button->HoverState(), HoverState::Entered);
    EXPECT_EQ(button->TrackingRequests(), 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return button->HoverState() == HoverState::Hovered; }));
    EXPECT_TRUE(RepaintsWithin(*button, paints));

    QCoreApplication::processEvents();
    paints = button->PaintCount();
    MovePointer(*button);
    MovePointer(*button);
    QCoreApplication::processEvents();
    EXPECT_EQ(button->HoverState(), HoverState::Hovered);
    EXPECT_EQ(button->TrackingRequests(), 1);
    EXPECT_EQ(button->PaintCount(), paints) << "moving about inside repainted";

    LeavePointer(*button);
    EXPECT_EQ(button->HoverState(), HoverState::Outside);
    EXPECT_TRUE(RepaintsWithin(*button, paints));

    QCoreApplication::processEvents();
    paints = button->PaintCount();
    LeavePointer(*button);
    QCoreApplication::processEvents();
    EXPECT_EQ(button->PaintCount(), paints) << "a leave without tracking repainted";

    ASSERT_TRUE(Hover(*button));
    EXPECT_EQ(button->TrackingRequests(), 2);
    EXPECT_TRUE(RepaintsWithin(*button, paints));

    // Leaving before the hover time is up cancels the hover.
    LeavePointer(*button);
    MovePointer(*button);
    LeavePointer(*button);
    QTest::qWait(50);
    EXPECT_EQ(button->HoverState(), HoverState::Outside);
    EXPECT_NE(PixelAt(GrabPixels(*button), 60, 1), QColor(252, 210, 121)) << "hover look";
}

TEST(HoverGradientButton, DisabledWhileHoveredKeepsTheHoverLookUntilLeft) {
    auto button = ShownButton(QStringLiteral("Start Download"));
    ASSERT_TRUE(Hover(*button));
    button->setEnabled(false);
    const QColor hoverTop(252, 210, 121);
    EXPECT_EQ(button->HoverState(), HoverState::Hovered);
    EXPECT_EQ(PixelAt(GrabPixels(*button), 60, 1), hoverTop);

    LeavePointer(*button);
    EXPECT_EQ(button->HoverState(), HoverState::Outside);
    EXPECT_NE(PixelAt(GrabPixels(*button), 60, 1), hoverTop);
}

}  // namespace
