#include "platform/UserNotice.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace platform {

void sayLine(const std::string& line) { std::fprintf(stderr, "qz4471: %s\n", line.c_str()); }

void DesktopNotice::showMessage(const Notice& n, QWidget* parent) {
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

void DesktopNotice::beep() { QApplication::beep(); }

Notice portFailureNotice(const std::string& what) {
    return {kAppTitle, QStringLiteral("The printer port failed: %1").arg(QString::fromStdString(what)),
            MessageIcon::Warning};
}

}  // namespace platform
