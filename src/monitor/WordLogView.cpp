#include "monitor/WordLogView.h"

#include "board/ChipModel.h"

#include <QPainter>
#include <QScrollBar>

#include <algorithm>

namespace {

constexpr int kTextMargin = 3;

// Index, among all words ever logged, of the oldest one a log of `total` words holds.
uint64_t firstHeld(uint64_t total, std::size_t capacity) { return total > capacity ? total - capacity : 0; }

}  // namespace

WordLogView::WordLogView(const ChipModel& model, QWidget* parent) : QAbstractScrollArea(parent), model_(model) {
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalScrollBar()->setSingleStep(1);
    shownTotal_ = model_.log().total();
    updateRange();
}

int WordLogView::rowCount() const { return static_cast<int>(model_.log().size()); }

QString WordLogView::row(int index) const { return line(model_.log()[static_cast<std::size_t>(index)]); }

QString WordLogView::line(const LoggedWord& e) {
    return QStringLiteral("%1 s  0x%2  %3")
        .arg(e.time, 9, 'f', 3)
        .arg(QString::number(e.word, 16).rightJustified(4, QChar('0')).toUpper())
        .arg(QString::fromStdString(ChipModel::describe(e.word, e.outcome)));
}

int WordLogView::topRow() const { return verticalScrollBar()->value(); }

int WordLogView::rowHeight() const { return fontMetrics().height(); }

bool WordLogView::refresh() {
    const auto& log = model_.log();
    if (log.total() == shownTotal_) return false;
    QScrollBar* bar = verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    // Words that fell out of the log move the rows being read up by as many.
    const uint64_t dropped = log.total() > shownTotal_ ? firstHeld(log.total(), log.capacity()) -
                                                             firstHeld(shownTotal_, log.capacity())
                                                       : 0;
    const int keep = std::max<int64_t>(0, bar->value() - static_cast<int64_t>(dropped));
    shownTotal_ = log.total();
    updateRange();
    bar->setValue(following ? bar->maximum() : keep);
    viewport()->update();
    return true;
}

void WordLogView::updateRange() {
    const int inSight = std::max(1, viewport()->height() / rowHeight());
    verticalScrollBar()->setPageStep(inSight);
    verticalScrollBar()->setRange(0, std::max(0, rowCount() - inSight));
}

void WordLogView::resizeEvent(QResizeEvent* event) {
    QScrollBar* bar = verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    QAbstractScrollArea::resizeEvent(event);
    updateRange();
    if (following) bar->setValue(bar->maximum());
}

void WordLogView::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.setPen(palette().color(QPalette::Text));
    const int h = rowHeight(), ascent = fontMetrics().ascent();
    const int last = std::min(rowCount(), topRow() + viewport()->height() / h + 1);
    for (int r = topRow(), y = 0; r < last; ++r, y += h) p.drawText(kTextMargin, y + ascent, row(r));
}

QSize WordLogView::sizeHint() const { return {280, 10 * rowHeight() + 2 * frameWidth()}; }

QSize WordLogView::minimumSizeHint() const {
    return {120, 3 * rowHeight() + 2 * frameWidth()};
}
