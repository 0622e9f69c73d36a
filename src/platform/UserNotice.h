#pragma once
// Message boxes and the beep, as one small interface handed to the windows:
// the desktop shows boxes, a headless run writes their text to stderr, and
// tests record them without a modal box blocking the run.
#include <QString>
#include <string>

class QWidget;

namespace platform {

inline const QString kAppTitle = QStringLiteral("QZ4471");

enum class MessageIcon { None, Information, Warning };

struct Notice {
    QString title;
    QString text;
    MessageIcon icon;
};

// The box every port failure gets: titled "QZ4471", naming what failed.
Notice portFailureNotice(const std::string& what);

class UserNotice {
public:
    virtual ~UserNotice() = default;
    // Shows a modal box with one OK button; returns when it is closed.
    virtual void showMessage(const Notice& notice, QWidget* parent = nullptr) = 0;
    virtual void beep() = 0;
};

// Real boxes and the system beep.
class DesktopNotice final : public UserNotice {
public:
    void showMessage(const Notice& notice, QWidget* parent) override;
    void beep() override;
};

// The program's one way of writing a line to stderr; it puts the program's
// name in front, so no caller writes it.
void sayLine(const std::string& line);

}  // namespace platform
