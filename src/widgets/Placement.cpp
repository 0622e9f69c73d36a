#include "widgets/Placement.h"

#include <QDeadlineTimer>
#include <QEvent>
#include <QTimer>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>

#include <algorithm>

namespace widgets {

namespace {

// The frame of a window on the screen, from its inner and outer geometry.
QMargins shownFrame(const QWidget& window) {
    const QRect inner = window.geometry(), outer = window.frameGeometry();
    return {inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
            outer.bottom() - inner.bottom()};
}

// Watches one tool window for a while after each show: the window manager
// frames it, and may move it, some time after the show, in an order of its own.
class FrameWatch : public QObject {
public:
    FrameWatch(QWidget& tool, QWidget& anchor, int settleMs)
        : QObject(&tool), tool_(tool), anchor_(&anchor), settleMs_(settleMs) {
        tool.installEventFilter(this);
    }

    bool settling() const { return !settling_.hasExpired(); }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
        case QEvent::Show:
            settling_.setRemainingTime(settleMs_);
            // Where the manager sends no move once it has framed the window.
            for (int ms : {std::min(200, settleMs_), settleMs_}) QTimer::singleShot(ms, this, [this] { check(); });
            break;
        case QEvent::Move:
        case QEvent::Resize:
            if (!settling_.hasExpired()) check();
            break;
        default: break;
        }
        return false;
    }

private:
    void check() {
        const QWindow* handle = tool_.windowHandle();
        if (!anchor_ || !tool_.isVisible() || !handle || handle->frameMargins().isNull()) return;  // not framed yet
        const QScreen* screen = anchor_->screen();
        if (screen && !screen->availableGeometry().contains(tool_.frameGeometry())) placeBeside(tool_, *anchor_);
    }

    QWidget& tool_;
    QPointer<QWidget> anchor_;
    const int settleMs_;
    QDeadlineTimer settling_{0};
};

}  // namespace

QMargins frameMargins(const QWidget& window) {
    if (const QWindow* handle = window.windowHandle(); handle && !handle->frameMargins().isNull())
        return handle->frameMargins();
    // A window not yet shown has no frame; its owner's is the best guess.
    const QWidget* owner = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    return owner && owner->isVisible() ? shownFrame(*owner) : QMargins();
}

void centreOnScreen(QWidget& window) {
    // A window not yet shown is on its owner's screen.
    const QScreen* screen = window.screen();
    if (!screen) return;
    // Some window systems know the frame as soon as the native window exists.
    if (window.isWindow() && !window.windowHandle()) window.winId();
    const QSize outer = window.size().grownBy(frameMargins(window));
    const QRect g = screen->geometry();
    window.move(g.x() + (g.width() - outer.width()) / 2, g.y() + (g.height() - outer.height()) / 2);
}

QRect besideRect(const QRect& anchor, QSize outer, const QRect& available, int gap) {
    outer = outer.boundedTo(available.size());
    const int w = outer.width(), h = outer.height();
    const int rightX = anchor.right() + 1 + gap, leftX = anchor.left() - gap - w;
    int x;
    if (rightX + w <= available.right() + 1)
        x = rightX;
    else if (leftX >= available.left())
        x = leftX;
    else if (available.right() - anchor.right() >= anchor.left() - available.left())
        x = available.right() + 1 - w;
    else
        x = available.left();
    // An anchor partly off this screen must not drag the window off it too.
    x = std::clamp(x, available.left(), available.right() + 1 - w);
    const int y = std::clamp(anchor.top(), available.top(), available.bottom() + 1 - h);
    return {QPoint(x, y), outer};
}

void placeBeside(QWidget& tool, const QWidget& anchor) {
    const QRect anchorFrame = anchor.frameGeometry();
    const QScreen* screen = anchor.screen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    // The tool's own frame once known, else the anchor's: same window manager.
    QMargins frame = frameMargins(tool);
    if (frame.isNull() && !tool.isVisible()) frame = shownFrame(anchor);
    // A layout enforces its minimum only when the window is first shown.
    const QSize size = tool.size().expandedTo(tool.minimumSizeHint());
    const QRect placed = besideRect(anchorFrame, size.grownBy(frame), available);
    tool.resize(placed.size().shrunkBy(frame));
    tool.move(placed.topLeft());
}

void placeBesideOnceFramed(QWidget& tool, QWidget& anchor, int settleMs) { new FrameWatch(tool, anchor, settleMs); }

bool placementSettling(const QWidget& tool) {
    const auto* watch = tool.findChild<const FrameWatch*>(QString(), Qt::FindDirectChildrenOnly);
    return watch && watch->settling();
}

void placePair(QWidget& anchor, QWidget& tool) {
    const QScreen* screen = anchor.screen();
    if (!screen) return;
    const QRect available = screen->availableGeometry();
    QMargins frame = frameMargins(tool);
    if (frame.isNull() && !tool.isVisible()) frame = shownFrame(anchor);
    const QSize outer = tool.size().expandedTo(tool.minimumSizeHint()).grownBy(frame);
    const QRect anchorFrame = anchor.frameGeometry();
    const int pairWidth = anchorFrame.width() + kBesideGap + outer.width();
    const bool covers = besideRect(anchorFrame, outer, available).intersects(anchorFrame);
    if (covers && pairWidth <= available.width())
        anchor.move(available.left() + (available.width() - pairWidth) / 2, anchor.pos().y());
    placeBeside(tool, anchor);
}

}  // namespace widgets
