#pragma once
// The main window's status bar: the line naming the port words go to, or, in
// a warning colour, that they are dropped, and the progress of running
// sweeps and of a keying. It looks at the port a few times a second, so it
// follows the port menu, an unplugged adapter and its return.
#include "control/ChipControl.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>

class PortBackend;
class QLabel;
class QMainWindow;

class PortStatus : public QObject {
    Q_OBJECT
public:
    struct Line {
        QString text;
        bool warning = false;
    };
    // backend: the port words are written to (decorators included); address:
    // the data register the port menu chose.
    static Line lineFor(PortBackend* backend, uint16_t address);

    // "Sweep 0: 3.200000 MHz, step 34 of 101, loop 1 of 2", or empty when idle.
    static QString sweepText(int group, const sweep::Progress& p);

    // "Keying FSK, 120 of 1000 symbols" ("Keying FSK, 120 symbols" without a
    // count), or empty when idle.
    static QString keyingText(const keying::Progress& p);

    // "List: row 3 of 10, pass 1 of 2" ("pass 1" until stopped), or empty when idle.
    static QString listText(const hoplist::Progress& p);

    // Puts the line into the window's status bar; the window grows by its height.
    PortStatus(QMainWindow& window, control::ChipControl& chip);
    void refresh();
    const QLabel& label() const { return *label_; }
    const QLabel& sweepLabel() const { return *sweeps_; }
    const QLabel& keyingLabel() const { return *keying_; }
    const QLabel& listLabel() const { return *list_; }

private:
    void showSweep(int group, const sweep::Progress& p);

    control::ChipControl& chip_;
    QLabel* label_;
    QLabel* sweeps_;
    QLabel* keying_;
    QLabel* list_;
    QString sweepTexts_[2];
    QTimer timer_;
    Line shown_;
};
