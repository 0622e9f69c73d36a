#pragma once
// The list window: the hop list's rows (frequency in MHz, dwell in ms) with
// Add, Remove, Import and Export, its count and trigger, Start, Stop and
// Step, and the running list's progress. A face over the chip's list, which
// runs with or without it; closing the window leaves a list running.
#include "control/ChipControl.h"

#include <QAbstractTableModel>
#include <QDialog>

#include <functional>
#include <memory>

class FieldEntry;
class QLineEdit;
namespace platform {
class UserNotice;
}
namespace Ui {
class HopListWindow;
}

// The chip's rows as a table; an edit that is no number or out of range is
// refused (refused() says why) and changes nothing.
class HopListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit HopListModel(control::ChipControl& chip, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    // The rows changed elsewhere (a file, SCPI, a setup).
    void reload();

    static QString mhzText(double hz);
    static QString msText(double s);

signals:
    void refused(const QString& why);

private:
    control::ChipControl& chip_;
};

class HopListWindow : public QDialog {
    Q_OBJECT
public:
    HopListWindow(control::ChipControl& chip, platform::UserNotice& notice, QWidget* parent = nullptr);
    ~HopListWindow() override;

    // Shows the list's settings again (something else may have changed them).
    void showSettings();
    // "Row 3 of 10, pass 1 of 2, 0.4 s left"; "Row 3 of 10, pass 2, waiting for a trigger".
    static QString progressText(const hoplist::Progress& p);
    // Tests answer the file dialogs: (export?, folder) -> the path chosen, or empty.
    void setChooser(std::function<QString(bool save, const QString& folder)> chooser) { choose_ = std::move(chooser); }

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void setVisible(bool visible) override;

private:
    void applyFonts();
    void commitCount();
    void setContinuous(bool on);
    void addRow();
    void removeRows();
    void importFile();
    void exportFile();
    QString choose(bool save);
    void startClick();
    void stopClick();
    void stepClick();
    void showRunning(bool running);
    void showProgress(const hoplist::Progress& p);
    void tell(const QString& text);
    void report(const control::Outcome& r);

    std::unique_ptr<Ui::HopListWindow> ui_;
    control::ChipControl& chip_;
    platform::UserNotice& notice_;
    HopListModel* model_;
    FieldEntry* entry_;
    uint64_t lastCount_ = 1;  // the count field's last good value, also while continuous
    QString folder_;
    std::function<QString(bool, const QString&)> choose_;
    bool placed_ = false;
};
