#pragma once
// The About box: title, version, who made the board, and a button that
// starts the platform's system-information program.
#include "platform/Registry.h"
#include "platform/Seams.h"

#include <QDialog>
#include <memory>

namespace Ui {
class frmAbout;
}

class frmAbout : public QDialog {
    Q_OBJECT
public:
    explicit frmAbout(platform::Seams seams, QWidget* parent = nullptr);
    ~frmAbout() override;

    // Finds the system-information program through the registry and starts
    // it, or tells the user it is unavailable.
    void StartSysInfo();
    bool GetKeyValue(platform::HKEY KeyRoot, const QString& KeyName, const QString& SubKeyRef,
                     QString& KeyVal);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    std::unique_ptr<Ui::frmAbout> ui;
    platform::Seams seams_;
};
