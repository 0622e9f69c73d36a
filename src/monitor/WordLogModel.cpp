#include "monitor/WordLogModel.h"

#include "board/ChipModel.h"

WordLogModel::WordLogModel(const ChipModel& model, QObject* parent) : QAbstractListModel(parent), model_(model) {
    shownTotal_ = model_.log().total();
}

int WordLogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(model_.log().size());
}

QVariant WordLogModel::data(const QModelIndex& index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
    return line(model_.log()[static_cast<std::size_t>(index.row())]);
}

bool WordLogModel::refresh() {
    if (model_.log().total() == shownTotal_) return false;
    // The ring moves as a whole once it is full, so every row may change.
    beginResetModel();
    shownTotal_ = model_.log().total();
    endResetModel();
    return true;
}

QString WordLogModel::line(const LoggedWord& e) {
    return QStringLiteral("%1 s  0x%2  %3")
        .arg(e.time, 9, 'f', 3)
        .arg(QString::number(e.word, 16).rightJustified(4, QChar('0')).toUpper())
        .arg(QString::fromStdString(ChipModel::describe(e.word, e.outcome)));
}
