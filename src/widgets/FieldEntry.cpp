#include "widgets/FieldEntry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcutEvent>

namespace {

// Watches the whole application while a field is pending: the focus may next
// enter any window.
class FocusWatch : public QObject {
public:
    FocusWatch(QObject* parent, std::function<bool(QObject*, QEvent*)> filter)
        : QObject(parent), filter_(std::move(filter)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        return event->type() == QEvent::FocusIn && filter_(watched, event);
    }

private:
    std::function<bool(QObject*, QEvent*)> filter_;
};

}  // namespace

FieldEntry::FieldEntry(QWidget* window)
    : QObject(window),
      window_(window),
      watch_(new FocusWatch(this, [this](QObject* o, QEvent* e) { return focusElsewhere(o, e); })) {
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) b->installEventFilter(this);
}

FieldEntry::~FieldEntry() { setPending(-1); }

void FieldEntry::add(Field field) {
    field.edit->installEventFilter(this);
    fields_.push_back({std::move(field), false});
}

bool FieldEntry::isLeaving(int reason, bool programMovesLeave) {
    switch (static_cast<Qt::FocusReason>(reason)) {
    case Qt::TabFocusReason:
    case Qt::BacktabFocusReason:
    case Qt::MouseFocusReason:
    case Qt::ShortcutFocusReason: return true;
    case Qt::OtherFocusReason: return programMovesLeave;
    default: return false;  // popups, the menu bar, window activation
    }
}

// Events by which a button of the window is about to act.
bool FieldEntry::acts(QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: return static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
    case QEvent::Shortcut: return !static_cast<QShortcutEvent*>(event)->isAmbiguous();
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        return key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Select;
    }
    default: return false;
    }
}

FieldEntry::State* FieldEntry::stateOf(QObject* o) {
    for (State& s : fields_)
        if (s.field.edit == o) return &s;
    return nullptr;
}

void FieldEntry::moveFocus(QWidget* target) {
    ++programMoves_;
    target->setFocus(Qt::OtherFocusReason);
    --programMoves_;
}

void FieldEntry::refuse(QLineEdit* field) {
    field->setText(QString());
    moveFocus(field);
}

void FieldEntry::run(const std::function<void(Trigger)>& handler, Trigger t) {
    ++committing_;
    handler(t);
    --committing_;
}

void FieldEntry::leaveFocusedField() {
    State* s = stateOf(QApplication::focusWidget());
    if (s && s->hadFocus && s->field.leave && !committing()) run(s->field.leave, Trigger::Leave);
}

QLineEdit* FieldEntry::pendingField() const { return pending_ < 0 ? nullptr : fields_[pending_].field.edit; }

void FieldEntry::setPending(int index) {
    if ((pending_ < 0) != (index < 0) && qApp) {
        if (index < 0) qApp->removeEventFilter(watch_);
        else qApp->installEventFilter(watch_);
    }
    pending_ = index;
}

bool FieldEntry::commitPending() {
    const int index = pending_;
    if (index < 0 || committing()) return false;
    setPending(-1);
    return commitField(index);
}

bool FieldEntry::commitField(int index) {
    const Field& f = fields_[index].field;
    // A window closed meanwhile takes its edit with it.
    if (!f.edit->isVisible() || !f.leave) return false;
    run(f.leave, Trigger::Leave);
    return true;
}

bool FieldEntry::focusElsewhere(QObject* watched, QEvent* event) {
    auto* widget = qobject_cast<QWidget*>(watched);
    const int index = pending_;
    if (!widget || index < 0 || widget == fields_[index].field.edit) return false;  // back: the edit goes on
    const auto reason = static_cast<QFocusEvent*>(event)->reason();
    if (programMoves_ > 0 || committing() || !isLeaving(reason, false)) return false;
    // The widget takes the focus first, so a refocus from the error path is
    // the last word on where the focus is.
    setPending(-1);
    QCoreApplication::sendEvent(watched, event);
    commitField(index);
    return true;
}

bool FieldEntry::eventFilter(QObject* watched, QEvent* event) {
    if (State* s = stateOf(watched)) return fieldEvent(*s, event);
    if (auto* b = qobject_cast<QAbstractButton*>(watched)) return buttonEvent(b, event);
    return false;
}

bool FieldEntry::fieldEvent(State& s, QEvent* event) {
    const int index = static_cast<int>(&s - fields_.data());
    switch (event->type()) {
    case QEvent::FocusIn:
        s.hadFocus = true;
        if (pending_ == index) setPending(-1);  // back in it: the edit goes on
        return false;
    case QEvent::FocusOut: {
        const bool had = s.hadFocus;
        s.hadFocus = false;
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (!had || !s.field.leave || programMoves_ > 0 || committing()) return false;
        if (!isLeaving(reason, programMovesLeave_)) {
            // One pending field at a time: an older one never strands.
            if (pending_ >= 0 && pending_ != index) commitPending();
            setPending(index);
            return false;
        }
        // The field finishes losing the focus first, so a refocus from the
        // error path is the last word on where the focus is.
        static_cast<QObject*>(s.field.edit)->event(event);
        run(s.field.leave, Trigger::Leave);
        return true;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Escape && s.field.escape) {
            s.field.escape();
            return true;
        }
        if ((key != Qt::Key_Return && key != Qt::Key_Enter) || !s.field.enter) return false;
        run(s.field.enter, Trigger::Enter);
        return s.field.consumeEnter;
    }
    default: return false;
    }
}

bool FieldEntry::buttonEvent(QAbstractButton* button, QEvent* event) {
    if (pending_ >= 0 && button->isEnabled() && acts(event)) commitPending();
    if (event->type() == QEvent::KeyPress && qobject_cast<QPushButton*>(button)) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Return && key != Qt::Key_Enter) return false;
        button->click();
        return true;
    }
    if (event->type() == QEvent::Shortcut && !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
        // An access key clicks its button without moving the focus; the mouse
        // moves it first. Do as the mouse does, so the field being left commits
        // before the button acts.
        if (stateOf(QApplication::focusWidget()) && button->isEnabled()) {
            if (button->focusPolicy() & Qt::TabFocus) button->setFocus(Qt::ShortcutFocusReason);
            else leaveFocusedField();
        }
    }
    return false;  // the button goes on with its own handling
}
