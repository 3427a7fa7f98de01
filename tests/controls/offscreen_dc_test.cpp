// The off-screen surface covers only the clip box and copies it on destruction; paged devices
// are drawn on directly.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QPdfWriter>
#include <QPrinter>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

#include "control_pixels.h"
#include "offscreen_dc.h"

TEST(OffscreenDC, ClipBoxAwayFromOriginChangesOnlyThatBox) {
    QImage target(80, 60, QImage::Format_RGB32);
    target.fill(Qt::white);
    const QRect box(20, 10, 30, 25);
    QPainter painter(&target);
    painter.setClipRect(box);
    {
        COffscreenDC dc(&painter);
        EXPECT_TRUE(dc.IsOffscreen());
        EXPECT_EQ(dc.Area(), box);
        dc->fillRect(0, 0, 80, 60, Qt::red);
        // Target coordinates: the box's first and last pixels.
        dc->fillRect(20, 10, 1, 1, Qt::blue);
        dc->fillRect(49, 34, 1, 1, Qt::green);
        EXPECT_EQ(target.pixel(30, 20), QColor(Qt::white).rgb()) << "drawn before the copy";
    }
    painter.end();
    for (int y = 0; y < target.height(); ++y) {
        for (int x = 0; x < target.width(); ++x) {
            QColor expected = box.contains(x, y) ? Qt::red : Qt::white;
            if (QPoint(x, y) == QPoint(20, 10)) {
                expected = Qt::blue;
            } else if (QPoint(x, y) == QPoint(49, 34)) {
                expected = Qt::green;
            }
            ASSERT_EQ(PixelAt(target, x, y), expected) << x << "," << y;
        }
    }
}

// Drawing through the surface on a paged device lands on the caller's painter itself, whose
// state is left as it was and which stays usable afterwards.
TEST(OffscreenDC, PagedDevicesAreDrawnOnDirectly) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::vector<std::function<std::unique_ptr<QPagedPaintDevice>(const QString&)>> devices{
        [](const QString& path) {
            auto printer = std::make_unique<QPrinter>();
            printer->setOutputFormat(QPrinter::PdfFormat);
            printer->setOutputFileName(path);
            return std::unique_ptr<QPagedPaintDevice>(std::move(printer));
        },
        [](const QString& path) { return std::make_unique<QPdfWriter>(path); },
    };
    for (size_t i = 0; i < devices.size(); ++i) {
        SCOPED_TRACE(i);
        qint64 sizes[2] = {0, 0};
        for (const int rectangles : {0, 500}) {
            const QString path =
                dir.filePath(QStringLiteral("page%1-%2.pdf").arg(i).arg(rectangles));
            auto device = devices[i](path);
            QPainter painter(device.get());
            painter.setPen(Qt::green);
            {
                COffscreenDC dc(&painter);
                EXPECT_FALSE(dc.IsOffscreen());
                EXPECT_EQ(&dc.Painter(), &painter);
                EXPECT_TRUE(dc.Area().isNull());
                dc->setPen(Qt::red);
                for (int n = 0; n < rectangles; ++n) {
                    dc->drawRect(n, n, 100 + n, 50 + n);
                }
            }
            EXPECT_TRUE(painter.isActive());
            EXPECT_EQ(painter.pen().color(), QColor(Qt::green));
            EXPECT_TRUE(painter.end());
            sizes[rectangles == 0 ? 0 : 1] = QFileInfo(path).size();
        }
        EXPECT_GT(sizes[1], sizes[0]) << "the drawing never reached the page";
    }
}
