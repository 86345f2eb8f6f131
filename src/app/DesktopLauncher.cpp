#include "app/DesktopLauncher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

namespace kelvane {

namespace {

// Hands a file or an address to the desktop, which opens it with the program the user has
// chosen for its kind.
bool OpenWithDesktop(const QUrl& url) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    // xdg-open serves every desktop and works under any platform plugin.
    const QString target = url.isLocalFile() ? url.toLocalFile() : url.toString();
    if (QProcess::startDetached(QStringLiteral("xdg-open"), {target}))
        return true;
#endif
    return QDesktopServices::openUrl(url);
}

} // namespace

bool DesktopLauncher::startProgram(const QString& commandLine) {
    QString program;
    QStringList arguments;
    // A path that names a program runs as it stands, spaces and all; anything else is a
    // command line to split into the program and its arguments.
    const QFileInfo asPath(commandLine);
    if (asPath.isFile() && asPath.isExecutable()) {
        program = commandLine;
    } else {
        arguments = QProcess::splitCommand(commandLine);
        if (arguments.isEmpty())
            return false;
        program = arguments.takeFirst();
    }
    return QProcess::startDetached(program, arguments);
}

bool DesktopLauncher::openInTextEditor(const QString& path) {
    return OpenWithDesktop(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
}

bool DesktopLauncher::openInBrowser(const QString& address) {
    const QUrl url(address, QUrl::StrictMode);
    return url.isValid() && OpenWithDesktop(url);
}

} // namespace kelvane
