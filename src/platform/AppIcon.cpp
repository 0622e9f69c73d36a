#include "platform/AppIcon.h"

#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace platform {
namespace {
constexpr int kSide = 32;
const QColor kInk(0, 0, 255);

int scaled(double units, int side) { return std::max(1, static_cast<int>(std::lround(units * side / kSide))); }
}  // namespace

QImage appIconImage(int side) {
    // An RGB32 image has no alpha channel, so no pixel can come out transparent;
    // antialiasing stays off so every pixel is either pure white or pure blue.
    QImage image(side, side, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    const int frame = scaled(1, side);
    p.fillRect(0, 0, side, frame, kInk);
    p.fillRect(0, side - frame, side, frame, kInk);
    p.fillRect(0, 0, frame, side, kInk);
    p.fillRect(side - frame, 0, frame, side, kInk);

    // One and a half periods of a sine across the inner square.
    const int margin = scaled(3, side), first = margin, last = side - 1 - margin;
    const double middle = (side - 1) / 2.0, amplitude = 10.0 * side / kSide;
    QPolygon wave;
    for (int x = first; x <= last; ++x) {
        const double phase = 3.0 * std::numbers::pi * (x - first) / (last - first);
        wave << QPoint(x, static_cast<int>(std::lround(middle - amplitude * std::sin(phase))));
    }
    p.setPen(QPen(kInk, scaled(2, side), Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawPolyline(wave);
    p.end();
    return image;
}

QPixmap appIconPixmap() { return QPixmap::fromImage(appIconImage(kSide)); }

QIcon appIcon() { return QIcon(appIconPixmap()); }

}  // namespace platform
