#include "lan/AvahiDiscovery.h"
#include "lan/RouterPortMapping.h"
#include "app/DesktopLauncher.h"
#include "app/DisplayCheck.h"
#include "app/Player.h"
#include "app/QtMessageBoxes.h"
#include "app/QtModalDialogs.h"
#include "app/QtMoveSound.h"
#include "app/QuitProgram.h"

#include "Version.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <iostream>

int main(int argc, char* argv[]) {
    if (const auto reason = kelvane::MissingDisplayReason()) {
        std::cerr << *reason << '\n';
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kelvane::ApplicationTitle));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(kelvane::VersionMajor)
                                            .arg(kelvane::VersionMinor)
                                            .arg(kelvane::VersionRevision));
    // The logon dialog is the only window for a while, and the main window is disabled
    // then; quitting is always explicit.
    QApplication::setQuitOnLastWindowClosed(false);
    // The whole interface is Chinese, the buttons of Qt's own message boxes included.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_zh_CN"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);

    kelvane::QtMoveSound sound;
    kelvane::QtMessageBoxes boxes;
    kelvane::QuitProgram end;
    kelvane::QtModalDialogs dialogs;
    kelvane::DesktopLauncher launcher;
    kelvane::AvahiDiscovery discovery;
    kelvane::RouterPortMapping ports;
    kelvane::Player player({sound, boxes, end, dialogs, launcher, &discovery, &ports});
    player.Main();
    return QApplication::exec();
}
