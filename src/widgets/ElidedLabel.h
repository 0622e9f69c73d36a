#pragma once
// A label whose lines that do not fit end in "…" instead of being cut mid-word,
// with the whole text as its tooltip. text() stays whole.
#include <QLabel>

class ElidedLabel : public QLabel {
public:
    using QLabel::QLabel;
    QSize minimumSizeHint() const override;
    // Whether the last paint had to shorten a line.
    bool elided() const { return elided_; }

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    bool elided_ = false;
};
