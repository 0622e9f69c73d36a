#pragma once
// The modulation window: the keyer's settings (type, pattern, rate, count)
// with Start and Stop, and the running keying's progress. A face over the
// keyer, which runs with or without it; closing the window leaves a keying
// running (the main window and its status bar still show it).
#include "control/ChipControl.h"

#include <QDialog>

#include <memory>

class FieldEntry;
class QLineEdit;
namespace platform {
class UserNotice;
}
namespace Ui {
class Modulation;
}

class Modulation : public QDialog {
    Q_OBJECT
public:
    Modulation(control::ChipControl& chip, platform::UserNotice& notice, QWidget* parent = nullptr);
    ~Modulation() override;

    // Shows the keyer's settings again (something else may have changed them).
    void showSettings();

    // "Sent 120 of 1000 symbols, 0.9 s left, symbol 2"; "Sent 120 symbols, symbol 1".
    static QString progressText(const keying::Progress& p);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void setVisible(bool visible) override;

private:
    void applyFonts();
    void commitPattern();
    void commitRate();
    void commitCount();
    void choosePrbs(int index);
    void setContinuous(bool on);
    void startClick();
    void stopClick();
    void showRunning(bool running);
    void showProgress(const keying::Progress& p);
    void showPattern();
    void showRate();
    // A refused entry: the message, the last good text back, the focus kept.
    void refuse(QLineEdit* field, const QString& why, const QString& good);
    void tell(const QString& text);
    void reportPortFailure(const control::Outcome& r);

    std::unique_ptr<Ui::Modulation> ui_;
    control::ChipControl& chip_;
    platform::UserNotice& notice_;
    FieldEntry* entry_;
    QLineEdit* refused_ = nullptr;  // the field the last refusal kept the focus in
    uint64_t lastCount_ = 1000;    // the count field's last good value, also while continuous
    bool placed_ = false;
};
