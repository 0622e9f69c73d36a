#pragma once
// The main window's status bar line naming the port words go to, or, in a
// warning colour, that they are dropped. It looks at the port a few times a
// second, so it follows the port menu, an unplugged adapter and its return.
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>

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

    // Puts the line into the window's status bar; the window grows by its height.
    PortStatus(QMainWindow& window, std::function<PortBackend*()> backend, std::function<uint16_t()> address);
    void refresh();
    const QLabel& label() const { return *label_; }

private:
    std::function<PortBackend*()> backend_;
    std::function<uint16_t()> address_;
    QLabel* label_;
    QTimer timer_;
    Line shown_;
};
