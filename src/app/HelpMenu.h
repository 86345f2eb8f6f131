#pragma once

#include "app/Services.h"

#include <QObject>

namespace kelvane {

class MainWindow;

// The Help menu: the help file in the desktop's text editor, and the About box with its
// system-information button and the maker's web page.
class HelpMenu : public QObject {
    Q_OBJECT

public:
    HelpMenu(MainWindow& window, Launcher& launcher, MessageBoxes& boxes, ModalDialogs& dialogs,
             QObject* parent = nullptr);

    // The desktop's system-information programs, in order of preference.
    static const QStringList SystemInfoPrograms;

private:
    void mnuContent_Click();
    void mnuAbout_Click();
    void StartSysInfo(QWidget* frmAbout);

    MainWindow& window_;
    Launcher& launcher_;
    MessageBoxes& boxes_;
    ModalDialogs& dialogs_;
};

} // namespace kelvane
