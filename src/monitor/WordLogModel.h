#pragma once
// The chip model's last words as list rows, formatted only when a row is
// shown: a sweep adds hundreds of words between two refreshes.
#include <QAbstractListModel>
#include <cstdint>

class ChipModel;
struct LoggedWord;

class WordLogModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit WordLogModel(const ChipModel& model, QObject* parent = nullptr);
    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    // Takes in the words logged since the last call; false when there were none.
    bool refresh();
    static QString line(const LoggedWord& entry);

private:
    const ChipModel& model_;
    uint64_t shownTotal_ = 0;
};
