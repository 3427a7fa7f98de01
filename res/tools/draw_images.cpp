// Draws the program's icon (32 x 32 and 16 x 16, 16 colours), the same icon for the desktop's
// hicolor theme (16 to 256 px) and its logo (320 x 100, 32 bits) into PNG files; run once and
// commit the files it writes.
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygon>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QStringList>
#include <cmath>
#include <cstdio>
#include <iterator>

namespace {

// The 16 colours of the classic display palette; the icon uses nothing else.
const QRgb kPalette16[16] = {
    qRgb(0, 0, 0),       qRgb(128, 0, 0),   qRgb(0, 128, 0),   qRgb(128, 128, 0),
    qRgb(0, 0, 128),     qRgb(128, 0, 128), qRgb(0, 128, 128), qRgb(192, 192, 192),
    qRgb(128, 128, 128), qRgb(255, 0, 0),   qRgb(0, 255, 0),   qRgb(255, 255, 0),
    qRgb(0, 0, 255),     qRgb(255, 0, 255), qRgb(0, 255, 255), qRgb(255, 255, 255),
};
enum PaletteIndex { kBlack = 0, kNavy = 4, kSilver = 7, kGrey = 8, kYellow = 11, kWhite = 15 };

QColor Pal(int index) {
    return QColor(kPalette16[index]);
}

// A night-blue tile with a flash chip and a yellow arrow going into it, drawn on a 32 x 32 grid
// and scaled for the small size; without antialiasing only palette colours occur.
QImage DrawIcon(int size) {
    QImage image(size, size, QImage::Format_RGB32);
    image.fill(Pal(kBlack));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    const double s = size / 32.0;
    p.scale(s, s);

    p.fillRect(QRect(1, 1, 30, 30), Pal(kNavy));
    // Stars.
    p.setPen(Pal(kWhite));
    for (const QPoint& star : {QPoint(4, 4), QPoint(26, 6), QPoint(6, 12), QPoint(27, 13)}) {
        p.drawPoint(star);
    }
    // The chip: a grey body with silver pins on both long sides.
    p.fillRect(QRect(7, 18, 18, 10), Pal(kGrey));
    p.fillRect(QRect(8, 19, 16, 8), Pal(kBlack));
    for (int x = 9; x <= 22; x += 3) {
        p.fillRect(QRect(x, 16, 2, 2), Pal(kSilver));
        p.fillRect(QRect(x, 28, 2, 2), Pal(kSilver));
    }
    p.fillRect(QRect(10, 21, 12, 4), Pal(kGrey));
    // The arrow: a yellow shaft and head pointing down into the chip.
    p.fillRect(QRect(14, 3, 4, 8), Pal(kYellow));
    p.setPen(Qt::NoPen);
    p.setBrush(Pal(kYellow));
    p.drawPolygon(QPolygon({QPoint(9, 11), QPoint(23, 11), QPoint(16, 17)}));
    p.end();

    // Store with a 16-entry colour table, as the icon format asks.
    QVector<QRgb> table(std::begin(kPalette16), std::end(kPalette16));
    return image.convertToFormat(QImage::Format_Indexed8, table, Qt::ThresholdDither);
}

QImage DrawLogo() {
    QImage image(320, 100, QImage::Format_ARGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setRenderHint(QPainter::TextAntialiasing, true);

    QLinearGradient sky(0, 0, 0, 100);
    sky.setColorAt(0.0, QColor(8, 16, 48));
    sky.setColorAt(1.0, QColor(24, 56, 112));
    p.fillRect(image.rect(), sky);

    // A fixed star field, so every run draws the same logo.
    QRandomGenerator stars(20240607);
    for (int i = 0; i < 70; ++i) {
        const double x = stars.bounded(320.0);
        const double y = stars.bounded(100.0);
        const int brightness = 120 + stars.bounded(136);
        const double r = stars.bounded(10) == 0 ? 1.2 : 0.6;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(brightness, brightness, 255, 220));
        p.drawEllipse(QPointF(x, y), r, r);
    }

    // A glow behind the mark.
    QRadialGradient glow(QPointF(48, 50), 44);
    glow.setColorAt(0.0, QColor(255, 210, 80, 110));
    glow.setColorAt(1.0, QColor(255, 210, 80, 0));
    p.setBrush(glow);
    p.drawEllipse(QPointF(48, 50), 44, 44);

    // The mark: a small telescope on a tripod, pointing up to a bright star.
    p.save();
    p.translate(48, 56);
    p.rotate(-32);
    QLinearGradient tube(0, -8, 0, 8);
    tube.setColorAt(0.0, QColor(235, 240, 250));
    tube.setColorAt(1.0, QColor(150, 165, 190));
    p.setBrush(tube);
    p.setPen(QPen(QColor(40, 50, 80), 1.2));
    p.drawRoundedRect(QRectF(-26, -7, 46, 14), 3, 3);
    p.drawRect(QRectF(20, -9, 7, 18));
    p.drawRect(QRectF(-32, -4, 6, 8));
    p.restore();
    p.setPen(QPen(QColor(200, 210, 230), 2.4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(46, 58), QPointF(32, 90));
    p.drawLine(QPointF(46, 58), QPointF(60, 90));
    p.drawLine(QPointF(46, 58), QPointF(46, 92));
    QPainterPath star;
    const QPointF c(84, 16);
    for (int i = 0; i < 8; ++i) {
        const double radius = (i % 2 == 0) ? 9.0 : 2.2;
        const double angle = i * 3.14159265358979 / 4.0;
        const QPointF pt(c.x() + radius * std::sin(angle), c.y() - radius * std::cos(angle));
        i == 0 ? star.moveTo(pt) : star.lineTo(pt);
    }
    star.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 230, 120));
    p.drawPath(star);

    // The name.
    QFont title("DejaVu Sans", 10, QFont::Bold);
    title.setPixelSize(34);
    title.setLetterSpacing(QFont::AbsoluteSpacing, 3);
    p.setFont(title);
    p.setPen(QColor(255, 255, 255));
    p.drawText(QRectF(104, 14, 210, 44), Qt::AlignLeft | Qt::AlignVCenter, "ALTREVO");
    QFont subtitle("DejaVu Sans", 10);
    subtitle.setPixelSize(17);
    subtitle.setLetterSpacing(QFont::AbsoluteSpacing, 1);
    p.setFont(subtitle);
    p.setPen(QColor(150, 200, 255));
    p.drawText(QRectF(106, 58, 210, 24), Qt::AlignLeft | Qt::AlignVCenter, "Flash Downloader");
    p.setPen(QPen(QColor(255, 200, 70), 2));
    p.drawLine(QPointF(107, 56), QPointF(306, 56));
    p.end();
    return image;
}

// The desktop finds the icon by the application's id, one file per size.
constexpr char kThemeIconName[] = "org.altrevo.FlashDownloader.png";
constexpr int kThemeSizes[] = {16, 32, 48, 64, 128, 256};

bool SaveThemeIcons(const QDir& out) {
    for (const int size : kThemeSizes) {
        const QString dir = QStringLiteral("hicolor/%1x%1/apps").arg(size);
        if (!out.mkpath(dir) || !DrawIcon(size).save(out.filePath(dir + '/' + kThemeIconName))) {
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QDir out(args.size() > 1 ? args.at(1) : QStringLiteral("."));
    const bool ok = DrawIcon(32).save(out.filePath("icon32.png")) &&
                    DrawIcon(16).save(out.filePath("icon16.png")) &&
                    DrawLogo().save(out.filePath("logo.png")) && SaveThemeIcons(out);
    if (!ok) {
        std::fprintf(stderr, "cannot write the images into %s\n", qPrintable(out.path()));
        return 1;
    }
    return 0;
}
