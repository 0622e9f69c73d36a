#include "widgets/FieldEntry.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcutEvent>

FieldEntry::FieldEntry(QWidget* window) : QObject(window), window_(window) {
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) b->installEventFilter(this);
}

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

bool FieldEntry::eventFilter(QObject* watched, QEvent* event) {
    if (State* s = stateOf(watched)) return fieldEvent(*s, event);
    if (auto* b = qobject_cast<QAbstractButton*>(watched)) return buttonEvent(b, event);
    return false;
}

bool FieldEntry::fieldEvent(State& s, QEvent* event) {
    switch (event->type()) {
    case QEvent::FocusIn: s.hadFocus = true; return false;
    case QEvent::FocusOut: {
        const bool had = s.hadFocus;
        s.hadFocus = false;
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (!had || !s.field.leave || programMoves_ > 0 || committing() || !isLeaving(reason, programMovesLeave_))
            return false;
        // The field finishes losing the focus first, so a refocus from the
        // error path is the last word on where the focus is.
        static_cast<QObject*>(s.field.edit)->event(event);
        run(s.field.leave, Trigger::Leave);
        return true;
    }
    case QEvent::KeyPress: {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key != Qt::Key_Return && key != Qt::Key_Enter) || !s.field.enter) return false;
        run(s.field.enter, Trigger::Enter);
        return s.field.consumeEnter;
    }
    default: return false;
    }
}

bool FieldEntry::buttonEvent(QAbstractButton* button, QEvent* event) {
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
