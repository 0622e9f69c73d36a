#include "platform/AppIcon.h"

#include <QImage>
#include <QPainter>
#include <QPolygon>
#include <cmath>
#include <numbers>

namespace platform {
namespace {
constexpr int kSide = 32;
const QColor kInk(0, 0, 255);
}  // namespace

QPixmap appIconPixmap() {
    // An RGB32 image has no alpha channel, so no pixel can come out transparent;
    // antialiasing stays off so every pixel is either pure white or pure blue.
    QImage image(kSide, kSide, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(kInk, 1));
    p.drawRect(0, 0, kSide - 1, kSide - 1);

    // One and a half periods of a sine across the inner square.
    QPolygon wave;
    for (int x = 3; x <= kSide - 4; ++x) {
        const double phase = 3.0 * std::numbers::pi * (x - 3) / (kSide - 7);
        wave << QPoint(x, static_cast<int>(std::lround(15.5 - 10.0 * std::sin(phase))));
    }
    p.setPen(QPen(kInk, 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPolyline(wave);
    p.end();
    return QPixmap::fromImage(image);
}

QIcon appIcon() { return QIcon(appIconPixmap()); }

}  // namespace platform
