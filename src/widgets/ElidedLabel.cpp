#include "widgets/ElidedLabel.h"

#include <QPainter>
#include <QStyle>

// Small enough that a status bar or a fixed form can give it less than its text.
QSize ElidedLabel::minimumSizeHint() const {
    const QSize hint = QLabel::minimumSizeHint();
    return {fontMetrics().horizontalAdvance(QStringLiteral("Sweep …")), hint.height()};
}

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect area = contentsRect();
    const QFontMetrics fm = fontMetrics();
    const QStringList lines = text().split('\n');
    bool cut = false;
    int y = area.top();
    if (!(alignment() & Qt::AlignTop)) y += std::max(0, (area.height() - fm.height() * int(lines.size())) / 2);
    for (const QString& line : lines) {
        const QString shown = fm.elidedText(line, Qt::ElideRight, area.width());
        cut = cut || shown != line;
        style()->drawItemText(&painter, QRect(area.left(), y, area.width(), fm.height()),
                              (alignment() & Qt::AlignHorizontal_Mask) | Qt::AlignVCenter, palette(), isEnabled(),
                              shown, foregroundRole());
        y += fm.height();
    }
    if (cut != elided_ || (cut && toolTip() != text())) {
        elided_ = cut;
        setToolTip(cut ? text() : QString());
    }
}
