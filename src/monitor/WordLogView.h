#pragma once
// The chip model's word log, oldest at the top. Rows are placed by arithmetic
// and only the rows in sight are formatted and drawn, so neither a refresh
// nor a repaint costs more with ten thousand words held than with ten.
#include <QAbstractScrollArea>
#include <cstdint>

class ChipModel;
struct LoggedWord;

class WordLogView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit WordLogView(const ChipModel& model, QWidget* parent = nullptr);

    // Words held; row 0 is the oldest.
    int rowCount() const;
    QString row(int index) const;
    static QString line(const LoggedWord& entry);
    // The first row in sight.
    int topRow() const;

    // Takes in the words logged since the last call; false when there were
    // none. Follows the newest word unless the user has scrolled up to read;
    // then the rows being read stay in place while older ones drop out.
    bool refresh();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int rowHeight() const;
    void updateRange();

    const ChipModel& model_;
    uint64_t shownTotal_ = 0;
};
