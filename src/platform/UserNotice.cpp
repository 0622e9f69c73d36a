#include "platform/UserNotice.h"

#include <QApplication>
#include <QMessageBox>

namespace platform {
namespace {
std::function<void(const Notice&)> g_message;
std::function<void()> g_beep;
}  // namespace

void showMessage(const Notice& n, QWidget* parent) {
    if (g_message) return g_message(n);
    QMessageBox box(parent);
    box.setWindowTitle(n.title);
    box.setText(QString(n.text).replace(QChar(13), QChar(10)));  // a carriage return breaks the line
    box.setStandardButtons(QMessageBox::Ok);
    switch (n.icon) {
    case MessageIcon::None: box.setIcon(QMessageBox::NoIcon); break;
    case MessageIcon::Information: box.setIcon(QMessageBox::Information); break;
    case MessageIcon::Warning: box.setIcon(QMessageBox::Warning); break;
    }
    box.exec();
}

Notice portFailureNotice(const std::string& what) {
    return {kAppTitle, QStringLiteral("The printer port failed: %1").arg(QString::fromStdString(what)),
            MessageIcon::Warning};
}

void beep() {
    if (g_beep) return g_beep();
    QApplication::beep();
}

void setMessageHandler(std::function<void(const Notice&)> h) { g_message = std::move(h); }
void setBeepHandler(std::function<void()> h) { g_beep = std::move(h); }

}  // namespace platform
