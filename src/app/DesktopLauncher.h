#pragma once

#include "app/Services.h"

namespace kelvane {

// Starts programs detached, and hands files and web addresses to the desktop, which opens
// them with the programs the user has chosen for text and for the web.
class DesktopLauncher : public Launcher {
public:
    bool startProgram(const QString& commandLine) override;
    bool openInTextEditor(const QString& path) override;
    bool openInBrowser(const QString& address) override;
};

} // namespace kelvane
