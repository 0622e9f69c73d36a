#include "widgets/WindowStyle.h"

#include <QApplication>
#include <QDialog>
#include <QLayout>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleOption>
#include <QWidget>

namespace widgets {

const QString kFontFamily = QStringLiteral("Liberation Sans");

QFont uiFont(qreal points, bool bold) {
    QFont f(kFontFamily);
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

void fixWindowFrame(QWidget& w, bool minimizeBox) {
    const bool dialog = qobject_cast<QDialog*>(&w) != nullptr;
    Qt::WindowFlags flags = (dialog ? Qt::Dialog : Qt::Window) | Qt::CustomizeWindowHint |
                            Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                            Qt::MSWindowsFixedSizeDialogHint;
    if (minimizeBox) flags |= Qt::WindowMinimizeButtonHint;
    w.setWindowFlags(flags);
    if (!dialog && w.layout()) w.layout()->setSizeConstraint(QLayout::SetFixedSize);
    else w.setFixedSize(w.size());
}

namespace {

// The base style's focus cue is a faint one-pixel line; this one is drawn on
// top of it in the highlight colour, two pixels wide.
class FocusFrameStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawPrimitive(PrimitiveElement pe, const QStyleOption* opt, QPainter* p,
                       const QWidget* w) const override {
        if (pe == PE_FrameFocusRect) {
            frame(opt->rect, opt, p);
            return;
        }
        QProxyStyle::drawPrimitive(pe, opt, p, w);
        if (pe == PE_PanelLineEdit && (opt->state & State_HasFocus)) frame(opt->rect, opt, p);
    }

private:
    static void frame(const QRect& r, const QStyleOption* opt, QPainter* p) {
        p->save();
        p->setRenderHint(QPainter::Antialiasing, false);
        p->setPen(QPen(opt->palette.color(QPalette::Highlight).darker(130), 2));
        p->setBrush(Qt::NoBrush);
        p->drawRect(r.adjusted(1, 1, -1, -1));
        p->restore();
    }
};

}  // namespace

void installFocusFrameStyle() {
    if (!qApp || dynamic_cast<FocusFrameStyle*>(QApplication::style())) return;
    QApplication::setStyle(new FocusFrameStyle(QApplication::style()->name()));
}

}  // namespace widgets
