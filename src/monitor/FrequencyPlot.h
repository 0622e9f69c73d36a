#pragma once
// Output frequency against time over the last few seconds, drawn straight from
// the model's history so a sweep's sawtooth shows as it runs.
#include <QPixmap>
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
    // Grid, axes and labels change only with the size or the range, so they
    // are drawn once into a pixmap and reused at every refresh.
    void drawBackground(const QRect& plot, double lo, double hi, double step);

    const ChipModel& model_;
    QPixmap background_;
    QSize backgroundSize_;
    double backgroundLo_ = 0, backgroundHi_ = 0;
};
