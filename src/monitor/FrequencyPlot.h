#pragma once
// Output frequency against time over the last few seconds, drawn straight from
// the model's history so a sweep's sawtooth shows as it runs.
#include <QWidget>

class ChipModel;

class FrequencyPlot : public QWidget {
public:
    explicit FrequencyPlot(const ChipModel& model, QWidget* parent = nullptr);
    static constexpr double kSpanSeconds = 10.0;

    QSize sizeHint() const override { return {560, 200}; }
    QSize minimumSizeHint() const override { return {240, 120}; }
    // Whether any step falls inside the visible span, so time moving on changes the picture.
    bool scrolling() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const ChipModel& model_;
};
