#pragma once

#include "app/Services.h"

#include <QPointer>
#include <QString>
#include <optional>

class QWidget;

namespace kelvane {

class AboutBox;

struct AboutServices {
    Registry& registry;
    Launcher& launcher;
    MessageBoxes& boxes;
};

// The handlers of the About box frmAbout. The box is created over the main window and
// loaded at once; it is destroyed with this object, so each opening starts afresh.
class About {
public:
    About(AboutServices services, QWidget& frmMain);
    ~About();
    About(const About&) = delete;
    About& operator=(const About&) = delete;

    AboutBox& frmAbout() const { return *frmAbout_; }

    // Starts the system-information tool, or tells the user that it is unavailable.
    void StartSysInfo();

private:
    void Form_Load(const QWidget& frmMain);
    void lblCopyright_Click();
    // The tool's command line from the registry, or nothing when it cannot be found.
    std::optional<QString> SysInfoPath();

    AboutServices services_;
    QPointer<AboutBox> frmAbout_;
};

} // namespace kelvane
