#include "monitor/BoardMonitor.h"

#include "board/ChipModel.h"
#include "monitor/FrequencyPlot.h"
#include "monitor/WordLogView.h"
#include "widgets/Placement.h"
#include "widgets/WindowStyle.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QVBoxLayout>
#include <QWindow>

#include <cmath>

namespace {

const char* const kRegisterNames[6] = {"FREQ0", "FREQ1", "PHASE0", "PHASE1", "PHASE2", "PHASE3"};

QString mhzText(double mhz) { return QString::number(mhz, 'f', 6) + QStringLiteral(" MHz"); }
QString degreesText(double deg) { return QString::number(deg, 'f', 3) + QChar(0x00B0); }
QString onOff(bool on) { return on ? QStringLiteral("1") : QStringLiteral("0"); }
// The widest frequency text below `clockMHz`, which no register can reach.
QString widestMHz(double clockMHz) {
    const int digits = static_cast<int>(QString::number(std::floor(clockMHz), 'f', 0).size());
    return QString(digits, QChar('8')) + QStringLiteral(".888888 MHz");
}

}  // namespace

BoardMonitor::BoardMonitor(std::shared_ptr<ChipModel> model, QWidget* parent, const QString& title)
    : QWidget(parent, Qt::Window), model_(std::move(model)) {
    setWindowTitle(title);
    setObjectName(QStringLiteral("BoardMonitor"));
    // Opening beside the main window must leave the keyboard where the user is typing.
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    setFont(widgets::uiFont(9, false));

    auto* top = new QVBoxLayout(this);

    // Output in large type.
    auto* outputBox = new QGroupBox(QStringLiteral("Output"), this);
    auto* outputLayout = new QGridLayout(outputBox);
    outputFrequency_ = value("outputFrequency", outputBox);
    outputPhase_ = value("outputPhase", outputBox);
    QFont big = widgets::uiFont(20);
    outputFrequency_->setFont(big);
    big.setPointSize(16);
    outputPhase_->setFont(big);
    outputState_ = value("outputState", outputBox);
    selection_ = value("selection", outputBox);
    outputLayout->addWidget(outputFrequency_, 0, 0);
    outputLayout->addWidget(outputPhase_, 0, 1, Qt::AlignRight);
    outputLayout->addWidget(outputState_, 1, 0);
    outputLayout->addWidget(selection_, 1, 1, Qt::AlignRight);
    top->addWidget(outputBox);

    // Registers, control bits and counters side by side.
    auto* middle = new QHBoxLayout;
    auto* regBox = new QGroupBox(QStringLiteral("Registers"), this);
    auto* regLayout = new QGridLayout(regBox);
    regLayout->setHorizontalSpacing(8);
    for (int r = 0; r < 6; ++r) {
        const QString base = QString::fromLatin1(kRegisterNames[r]).toLower();
        regLayout->addWidget(new QLabel(QString::fromLatin1(kRegisterNames[r]), regBox), r, 0);
        hex_[r] = value((base + "Hex").toLatin1().constData(), regBox);
        units_[r] = value((base + "Units").toLatin1().constData(), regBox);
        inUse_[r] = value((base + "InUse").toLatin1().constData(), regBox);
        units_[r]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        regLayout->addWidget(hex_[r], r, 1);
        regLayout->addWidget(units_[r], r, 2);
        regLayout->addWidget(inUse_[r], r, 3);
    }
    // The clock every MHz figure is scaled by, under the registers.
    clock_ = value("boardClock", regBox);
    clock_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    regLayout->addWidget(new QLabel(QStringLiteral("Clock"), regBox), 6, 0);
    regLayout->addWidget(clock_, 6, 2);
    middle->addWidget(regBox, 3);

    auto* controlBox = new QGroupBox(QStringLiteral("Control bits"), this);
    auto* controlLayout = new QVBoxLayout(controlBox);
    sync_ = value("syncBit", controlBox);
    selsrc_ = value("selsrcBit", controlBox);
    sleep_ = value("sleepBit", controlBox);
    reset_ = value("resetBit", controlBox);
    pending_ = value("pendingHalf", controlBox);
    for (QLabel* l : {sync_, selsrc_, sleep_, reset_, pending_}) controlLayout->addWidget(l);
    controlLayout->addStretch();
    middle->addWidget(controlBox, 2);

    auto* countBox = new QGroupBox(QStringLiteral("Counters"), this);
    auto* countLayout = new QGridLayout(countBox);
    words_ = value("wordCount", countBox);
    framingErrors_ = value("framingErrorCount", countBox);
    unknown_ = value("unknownCount", countBox);
    unpaired_ = value("unpairedCount", countBox);
    clears_ = value("clearCount", countBox);
    const std::pair<const char*, QLabel*> counters[] = {{"Words", words_},
                                                        {"Framing errors", framingErrors_},
                                                        {"Unknown commands", unknown_},
                                                        {"Unpaired halves", unpaired_},
                                                        {"Clears", clears_}};
    int row = 0;
    for (const auto& [name, label] : counters) {
        countLayout->addWidget(new QLabel(QString::fromLatin1(name), countBox), row, 0);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        countLayout->addWidget(label, row++, 1);
    }
    countLayout->setRowStretch(row, 1);
    middle->addWidget(countBox, 2);
    top->addLayout(middle);

    auto* plotBox = new QGroupBox(QStringLiteral("Output frequency, last 10 s"), this);
    auto* plotLayout = new QVBoxLayout(plotBox);
    plot_ = new FrequencyPlot(*model_, plotBox);
    plot_->setObjectName(QStringLiteral("frequencyPlot"));
    plotLayout->addWidget(plot_);
    // The plot and the word log alone take up or give up height with the window.
    top->addWidget(plotBox, 3);

    const QString logLength = QLocale(QLocale::English).toString(static_cast<qulonglong>(ChipModel::kLogLength));
    auto* logBox = new QGroupBox(QStringLiteral("Last %1 words").arg(logLength), this);
    logBox->setObjectName(QStringLiteral("wordLogBox"));
    auto* logLayout = new QVBoxLayout(logBox);
    log_ = new WordLogView(*model_, logBox);
    log_->setObjectName(QStringLiteral("wordLog"));
    log_->setFocusPolicy(Qt::NoFocus);
    logLayout->addWidget(log_);
    top->addWidget(logBox, 2);

    // Values that change during a sweep get room for their widest text up
    // front, so a new value repaints its label only, not the whole layout.
    auto reserve = [](QLabel* l, const QString& widest) {
        l->setMinimumWidth(QFontMetrics(l->font()).horizontalAdvance(widest) + 2);
    };
    reserve(outputFrequency_, widestMHz(model_->clockMHz()));
    reserve(outputPhase_, degreesText(888.888));
    reserve(outputState_, QStringLiteral("Sleep and Reset"));
    reserve(selection_, QStringLiteral("FREQ8, PHASE8 by select words"));
    for (int r = 0; r < 6; ++r) {
        reserve(hex_[r], QStringLiteral("DDDDDDDD"));  // the widest hex digit
        reserve(units_[r], r < 2 ? widestMHz(model_->clockMHz()) : degreesText(888.888));
        reserve(inUse_[r], QStringLiteral("in use"));
    }
    for (QLabel* l : {words_, framingErrors_, unknown_, unpaired_, clears_}) reserve(l, QStringLiteral("888888888"));
    reserve(pending_, QStringLiteral("No half pair held"));

    // Placing the window (widgets::placeBeside) may take height from this.
    resize(640, 760);

    model_->setChangeListener([this] { dirty_ = true; });
    connect(&timer_, &QTimer::timeout, this, &BoardMonitor::tick);
    timer_.start(kRefreshMs);
    refresh();
}

BoardMonitor::~BoardMonitor() { model_->setChangeListener(nullptr); }

bool BoardMonitor::dirty() const { return dirty_ || model_->posted(); }

QLabel* BoardMonitor::value(const char* objectName, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setFocusPolicy(Qt::NoFocus);
    return label;
}

// Words wait in the model's inbox until here: the port's thread never waits
// for a repaint.
void BoardMonitor::tick() {
    model_->drain();
    if (dirty_)
        refresh();
    else if (plot_->scrolling())
        plot_->update();
}

void BoardMonitor::refresh() {
    model_->drain();
    dirty_ = false;
    const ChipModel& m = *model_;

    if (m.outputActive()) {
        outputFrequency_->setText(mhzText(m.outputMHz()));
        outputPhase_->setText(degreesText(m.outputDegrees()));
        outputState_->setText(QStringLiteral("Running"));
    } else {
        outputFrequency_->setText(QStringLiteral("no output"));
        outputPhase_->setText(QStringLiteral("-"));
        outputState_->setText(m.sleep() && m.reset() ? QStringLiteral("Sleep and Reset")
                              : m.sleep()            ? QStringLiteral("Sleep")
                                                     : QStringLiteral("Reset"));
    }
    selection_->setText(QStringLiteral("FREQ%1, PHASE%2 by %3")
                            .arg(m.selectedFreq())
                            .arg(m.selectedPhase())
                            .arg(m.selsrc() ? QStringLiteral("select words") : QStringLiteral("select pins")));

    clock_->setText(mhzText(m.clockMHz()));  // words as sent follow the program's master clock
    for (int r = 0; r < 2; ++r) {
        hex_[r]->setText(QStringLiteral("%1").arg(m.freq(r), 8, 16, QChar('0')).toUpper());
        units_[r]->setText(mhzText(m.registerMHz(r)));
        inUse_[r]->setText(m.selectedFreq() == r ? QStringLiteral("in use") : QString());
    }
    for (int r = 0; r < 4; ++r) {
        hex_[2 + r]->setText(QStringLiteral("%1").arg(m.phase(r), 3, 16, QChar('0')).toUpper());
        units_[2 + r]->setText(degreesText(ChipModel::registerDegrees(m.phase(r))));
        inUse_[2 + r]->setText(m.selectedPhase() == r ? QStringLiteral("in use") : QString());
    }

    sync_->setText(QStringLiteral("Sync ") + onOff(m.sync()));
    selsrc_->setText(QStringLiteral("SELSRC ") + onOff(m.selsrc()));
    sleep_->setText(QStringLiteral("Sleep ") + onOff(m.sleep()));
    reset_->setText(QStringLiteral("Reset ") + onOff(m.reset()));
    pending_->setText(m.hasPendingHalf() ? QStringLiteral("Half pair held") : QStringLiteral("No half pair held"));

    words_->setText(QString::number(m.words()));
    framingErrors_->setText(QString::number(m.framingErrors()));
    unknown_->setText(QString::number(m.unknownCommands()));
    unpaired_->setText(QString::number(m.unpairedHalves()));
    clears_->setText(QString::number(m.clears()));

    log_->refresh();
    plot_->update();
}

void BoardMonitor::showWithoutActivating() {
    // The offscreen platform activates every window it shows except tooltips,
    // whatever WA_ShowWithoutActivating says, which would take the focus from
    // the main window's field (and run its focus-loss load). There only, show
    // as a tooltip and put the real flags back once shown.
    const bool activatesOnShow = QGuiApplication::platformName() == QLatin1String("offscreen");
    if (activatesOnShow) {
        winId();
        windowHandle()->setFlags(Qt::ToolTip);
    }
    show();
    if (activatesOnShow) windowHandle()->setFlags(windowFlags());
}

BoardMonitor* openBoardMonitor(std::shared_ptr<ChipModel> model, QWidget* beside, const QString& title) {
    // No parent: a window modal to the main window must not block the monitor.
    auto* monitor = new BoardMonitor(std::move(model), nullptr, title);
    if (beside) {
        widgets::placePair(*beside, *monitor);
        widgets::placeBesideOnceFramed(*monitor, *beside);
    }
    monitor->showWithoutActivating();
    return monitor;
}
