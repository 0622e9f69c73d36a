#pragma once
// Message boxes and the beep, behind a seam so tests can watch them without
// a modal box blocking the run.
#include <QString>
#include <functional>
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

// Shows a modal box with one OK button; returns when it is closed.
void showMessage(const Notice& notice, QWidget* parent = nullptr);
// The box every port failure gets: titled "QZ4471", naming what failed.
Notice portFailureNotice(const std::string& what);
void beep();

// Tests replace these; a null handler restores the real ones.
void setMessageHandler(std::function<void(const Notice&)> handler);
void setBeepHandler(std::function<void()> handler);

}  // namespace platform
