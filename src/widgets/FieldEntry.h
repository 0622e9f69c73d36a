#pragma once
// When a text field of a window is committed: Enter in the field, or the user
// leaving it. One rule for every window, by the reason Qt gives for the move:
//
// | Focus change (Qt reason)                                   | Leaving?          |
// |------------------------------------------------------------|-------------------|
// | Tab, Shift+Tab (Tab, Backtab)                              | yes               |
// | mouse click into another control of the window (Mouse)     | yes               |
// | access key (Alt+letter) of another control (Shortcut, or   | yes               |
// |   the click it causes)                                     |                   |
// | focus move made by the program (Other)                     | only if the window|
// |                                                            |   asks for it     |
// | a menu of the menu bar opened (Popup, then MenuBar)        | no                |
// | the field's context menu, any popup (Popup)                | no                |
// | another window to the front, deactivation, closing         | no                |
// |   (ActiveWindow)                                           |                   |
//
// A field left for a reason that does not commit (a menu, a popup, another
// window; not a move through moveFocus()) stays pending:
//
// | What happens next while a field is pending                 | Pending field     |
// |------------------------------------------------------------|-------------------|
// | the focus comes back into it, for any reason               | edit goes on, no  |
// |                                                            |   commit          |
// | the focus enters any other widget for a leaving reason     | commits first,    |
// |   (Tab, Backtab, Mouse, Shortcut), in any window           |   once            |
// | a button of its window is pressed or clicked, by mouse,    | commits first,    |
// |   access key or key                                        |   once            |
// | commitPending() (a menu action that uses the chip's state) | commits, once     |
// | the focus enters a widget for a reason that does not       | stays pending     |
// |   commit (another menu, popup, window)                     |                   |
// | its window is hidden or closed                             | never commits     |
//
// Without this an edit would be stranded after a menu closed with one
// Escape: the menu bar keeps the keyboard, so the next focus move does not
// start from the field.
//
// Guards that go with it: a field commits only after it had a focus-in; a
// commit never starts another one (so one commit sends one set of words, and
// two fields with bad text never bounce the focus between them); focus moves
// made through moveFocus() never commit. Enter (Return or keypad) on a focused
// push button of the window clicks it.
#include <QObject>

#include <functional>
#include <vector>

class QAbstractButton;
class QLineEdit;
class QWidget;

class FieldEntry : public QObject {
    Q_OBJECT
public:
    enum class Trigger { Enter, Leave };

    struct Field {
        QLineEdit* edit = nullptr;
        std::function<void(Trigger)> enter;  // Enter in the field
        std::function<void(Trigger)> leave;  // the user left it; empty: leaving commits nothing
        bool consumeEnter = false;           // whether the field itself still sees the Enter key
        std::function<void()> escape;        // Escape in the field; empty: the key is the field's
    };

    // Watches the fields added later and every push button of `window` present now.
    explicit FieldEntry(QWidget* window);
    ~FieldEntry() override;

    void add(Field field);
    // A window may treat Qt's own program focus moves (OtherFocusReason) as leaving.
    void setProgramMovesLeave(bool on) { programMovesLeave_ = on; }

    static bool isLeaving(int focusReason, bool programMovesLeave);

    // Moves the focus for the program: the field it leaves is not committed.
    void moveFocus(QWidget* target);
    // The common error path: empties the field and gives it the focus back.
    void refuse(QLineEdit* field);
    // Commits the field that has the focus, as the user leaving it would.
    void leaveFocusedField();
    // Commits the pending field, if any, as leaving it would; true if one was.
    bool commitPending();
    // The field left for a reason that does not commit, until it commits or
    // gets the focus back.
    QLineEdit* pendingField() const;
    bool committing() const { return committing_ > 0; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct State {
        Field field;
        bool hadFocus = false;
    };
    State* stateOf(QObject* o);
    bool fieldEvent(State& s, QEvent* event);
    bool buttonEvent(QAbstractButton* button, QEvent* event);
    static bool acts(QEvent* event);
    bool focusElsewhere(QObject* watched, QEvent* event);
    void setPending(int index);
    bool commitField(int index);
    void run(const std::function<void(Trigger)>& handler, Trigger t);

    QWidget* window_;
    QObject* watch_;  // the application-wide focus filter while a field is pending
    std::vector<State> fields_;
    bool programMovesLeave_ = false;
    int committing_ = 0;
    int programMoves_ = 0;
    int pending_ = -1;  // index into fields_; while set, the application's events are watched
};
