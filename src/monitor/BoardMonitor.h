#pragma once
// The Board Monitor: what the chip on the simulated board is doing, live.
// Words are queued by the port's thread; a 33 ms timer applies and repaints them, so a fast sweep
// costs the sender almost nothing and the window refreshes at most 30 times a second.
#include <QTimer>
#include <QWidget>

#include <array>
#include <cstdint>
#include <memory>

class ChipModel;
class FrequencyPlot;
class QLabel;
class WordLogView;
class SimulatedBoard;

class BoardMonitor : public QWidget {
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 33;

    // The window is top-level even with a parent; the parent only ties its lifetime.
    explicit BoardMonitor(std::shared_ptr<ChipModel> model, QWidget* parent = nullptr,
                          const QString& title = QStringLiteral("Board Monitor"));
    ~BoardMonitor() override;

    const ChipModel& model() const { return *model_; }
    // Applies the queued words and brings every widget up to the model now
    // (the timer does this when dirty).
    void refresh();
    // Whether something waits to be shown: a change, or words not yet taken.
    bool dirty() const;
    // Shows the window and leaves the active window and its focus alone.
    void showWithoutActivating();

private:
    void tick();
    QLabel* value(const char* objectName, QWidget* parent);

    std::shared_ptr<ChipModel> model_;
    QTimer timer_;
    bool dirty_ = true;

    QLabel* outputFrequency_;
    QLabel* outputPhase_;
    QLabel* outputState_;
    QLabel* selection_;
    std::array<QLabel*, 6> hex_{};
    std::array<QLabel*, 6> units_{};
    std::array<QLabel*, 6> inUse_{};
    QLabel* clock_;
    QLabel* sync_;
    QLabel* selsrc_;
    QLabel* sleep_;
    QLabel* reset_;
    QLabel* pending_;
    QLabel* words_;
    QLabel* framingErrors_;
    QLabel* unknown_;
    QLabel* unpaired_;
    QLabel* clears_;
    FrequencyPlot* plot_;
    WordLogView* log_;
};

// Shows the monitor of a chip model (see attachChipModel) beside `beside`
// (see widgets::placePair) without taking the keyboard focus from it. The
// monitor has no parent, so a window modal to `beside` leaves it live; the
// caller owns it.
BoardMonitor* openBoardMonitor(std::shared_ptr<ChipModel> model, QWidget* beside,
                               const QString& title = QStringLiteral("Board Monitor"));
