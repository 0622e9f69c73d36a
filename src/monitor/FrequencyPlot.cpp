#include "monitor/FrequencyPlot.h"

#include "board/ChipModel.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A 1, 2 or 5 times a power of ten step giving about `count` divisions.
double niceStep(double span, int count) {
    const double raw = span / count;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (raw <= m * mag) return m * mag;
    return 10.0 * mag;
}

// Index of the first sample at or after t (history is in time order).
std::size_t firstAtOrAfter(const Ring<FrequencySample>& h, double t) {
    std::size_t lo = 0, hi = h.size();
    while (lo < hi) {
        const std::size_t mid = (lo + hi) / 2;
        if (h[mid].time < t)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

}  // namespace

FrequencyPlot::FrequencyPlot(const ChipModel& model, QWidget* parent) : QWidget(parent), model_(model) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

bool FrequencyPlot::scrolling() const {
    const auto& h = model_.history();
    return h.size() > 1 && h.back().time > model_.now() - kSpanSeconds;
}

void FrequencyPlot::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QFontMetrics fm(font());
    const QRect plot = rect().adjusted(fm.horizontalAdvance(QStringLiteral("00.000000")) + 10, fm.height() / 2 + 4,
                                       -12, -(fm.height() + 8));
    if (plot.width() < 10 || plot.height() < 10) return;

    const auto& h = model_.history();
    const double now = model_.now();
    const double t0 = now - kSpanSeconds;
    const std::size_t first = firstAtOrAfter(h, t0);
    const bool hasBefore = first > 0;
    const double startValue = hasBefore ? h[first - 1].mhz : 0.0;

    // Vertical range from what is visible.
    double lo = hasBefore ? startValue : INFINITY, hi = hasBefore ? startValue : -INFINITY;
    for (std::size_t i = first; i < h.size(); ++i) {
        lo = std::min(lo, h[i].mhz);
        hi = std::max(hi, h[i].mhz);
    }
    if (!std::isfinite(lo)) lo = hi = 0.0;
    if (hi - lo < 1e-9) {
        lo -= 1.0;
        hi += 1.0;
    } else {
        const double pad = (hi - lo) * 0.05;
        lo -= pad;
        hi += pad;
    }
    lo = std::max(lo, 0.0);
    const double step = niceStep(hi - lo, 5);
    lo = std::floor(lo / step) * step;
    hi = std::ceil(hi / step) * step;

    auto xOf = [&](double t) { return plot.left() + (t - t0) / kSpanSeconds * plot.width(); };
    auto yOf = [&](double v) { return plot.bottom() - (v - lo) / (hi - lo) * plot.height(); };

    if (backgroundSize_ != size() || backgroundLo_ != lo || backgroundHi_ != hi) drawBackground(plot, lo, hi, step);
    p.drawPixmap(0, 0, background_);

    if (h.size() == 0) return;
    // Many steps can fall in one pixel column: draw each column's span once.
    const int width = plot.width();
    struct Column {
        double min, max, last;
        bool used = false;
    };
    std::vector<Column> columns(static_cast<std::size_t>(width) + 1);
    for (std::size_t i = first; i < h.size(); ++i) {
        const int c = std::clamp(static_cast<int>(xOf(h[i].time) - plot.left()), 0, width);
        Column& col = columns[c];
        if (!col.used) {
            col = {h[i].mhz, h[i].mhz, h[i].mhz, true};
        } else {
            col.min = std::min(col.min, h[i].mhz);
            col.max = std::max(col.max, h[i].mhz);
            col.last = h[i].mhz;
        }
    }
    // A polyline with a one-pixel pen: cheap enough to redraw 30 times a second.
    QPolygonF path;
    path.reserve(4 * (width + 2));
    double value = startValue;
    bool started = hasBefore;
    if (started) path << QPointF(plot.left(), yOf(value));
    for (int c = 0; c <= width; ++c) {
        const Column& col = columns[c];
        if (!col.used) continue;
        const double x = plot.left() + c;
        if (started) path << QPointF(x, yOf(value));
        started = true;
        path << QPointF(x, yOf(col.min)) << QPointF(x, yOf(col.max)) << QPointF(x, yOf(col.last));
        value = col.last;
    }
    path << QPointF(plot.right(), yOf(value));
    p.setClipRect(plot.adjusted(0, -1, 1, 1));
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setPen(QPen(QColor(0, 90, 200), 1));
    p.drawPolyline(path);
}

void FrequencyPlot::drawBackground(const QRect& plot, double lo, double hi, double step) {
    background_ = QPixmap(size() * devicePixelRatioF());
    background_.setDevicePixelRatio(devicePixelRatioF());
    background_.fill(palette().color(QPalette::Base));
    backgroundSize_ = size();
    backgroundLo_ = lo;
    backgroundHi_ = hi;
    QPainter p(&background_);
    p.setFont(font());
    const QFontMetrics fm(font());
    auto yOf = [&](double v) { return plot.bottom() - (v - lo) / (hi - lo) * plot.height(); };

    // Grid and axis labels.
    const QColor grid = palette().color(QPalette::Mid);
    p.setPen(palette().color(QPalette::Text));
    const int decimals = std::clamp(static_cast<int>(-std::floor(std::log10(step))), 0, 6);
    for (double v = lo; v <= hi + step / 2; v += step) {
        const double y = yOf(v);
        p.setPen(grid);
        p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        p.setPen(palette().color(QPalette::Text));
        p.drawText(QRectF(0, y - fm.height() / 2.0, plot.left() - 6, fm.height()), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(v, 'f', decimals));
    }
    for (int s = 0; s <= static_cast<int>(kSpanSeconds); s += 2) {
        const double x = plot.left() + s / kSpanSeconds * plot.width();
        p.setPen(grid);
        p.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
        p.setPen(palette().color(QPalette::Text));
        const QString label = s == static_cast<int>(kSpanSeconds) ? QStringLiteral("now")
                                                                  : QStringLiteral("%1 s").arg(s - kSpanSeconds);
        p.drawText(QRectF(x - 30, plot.bottom() + 4, 60, fm.height()), Qt::AlignHCenter | Qt::AlignTop, label);
    }
    p.setPen(palette().color(QPalette::Text));
    p.drawRect(plot);
    p.drawText(QRectF(plot.left() + 4, plot.top() + 2, 60, fm.height()), Qt::AlignLeft | Qt::AlignTop,
               QStringLiteral("MHz"));

}
