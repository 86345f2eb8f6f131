#include "app/HelpMenu.h"

#include "ui/AboutBox.h"
#include "ui/MainWindow.h"

#include "Version.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>

namespace kelvane {

namespace {

const QString ReadmeFileName = QStringLiteral("readme.txt");
const QString ReadmeUnavailable = QStringLiteral("无法打开说明文件。");
const QString Caption = QStringLiteral("关于");
const QString SysInfoUnavailable = QStringLiteral("System Information Is Unavailable At This Time");
const QString PageUnavailable = QStringLiteral("无法打开网页。");
// The project's web page. The address is a placeholder: the project has no site yet.
const QString ProjectPage = QStringLiteral("https://kelvane.example.org/");

QString VersionText() {
    return QStringLiteral("Version %1.%2.%3").arg(VersionMajor).arg(VersionMinor).arg(VersionRevision);
}

} // namespace

const QStringList HelpMenu::SystemInfoPrograms = {QStringLiteral("hardinfo"),
                                                  QStringLiteral("gnome-system-monitor"),
                                                  QStringLiteral("kinfocenter")};

HelpMenu::HelpMenu(MainWindow& window, Launcher& launcher, MessageBoxes& boxes,
                   ModalDialogs& dialogs, QObject* parent)
    : QObject(parent), window_(window), launcher_(launcher), boxes_(boxes), dialogs_(dialogs) {
    connect(&window_, &MainWindow::helpRequested, this, &HelpMenu::mnuContent_Click);
    connect(&window_, &MainWindow::aboutRequested, this, &HelpMenu::mnuAbout_Click);
}

// The program's directory stays the current one afterwards, so from then on the relative
// names the program uses, "Move.wav" among them, are found beside the program.
void HelpMenu::mnuContent_Click() {
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    const QString readme = QDir::current().absoluteFilePath(ReadmeFileName);
    // A missing file is the editor's to report; only an editor that cannot start is ours.
    if (!launcher_.openInTextEditor(readme))
        boxes_.plain(&window_, QString::fromLatin1(ApplicationTitle), ReadmeUnavailable);
}

// The box is made afresh for each opening. The peer's moves and chat take effect while it is
// open, as they do behind any other window.
void HelpMenu::mnuAbout_Click() {
    AboutBox frmAbout(&window_);
    frmAbout.setWindowTitle(Caption);
    frmAbout.setIcon(window_.windowIcon());
    frmAbout.setVersion(VersionText());
    frmAbout.setTitle(window_.windowTitle());
    connect(&frmAbout, &AboutBox::sysInfoRequested, this, [&] { StartSysInfo(&frmAbout); });
    connect(&frmAbout, &AboutBox::copyrightClicked, this, [&] {
        if (!launcher_.openInBrowser(ProjectPage))
            boxes_.plain(&frmAbout, QString::fromLatin1(ApplicationTitle), PageUnavailable);
    });
    dialogs_.showModal(frmAbout);
}

// The first of the desktop's system-information programs that is installed.
void HelpMenu::StartSysInfo(QWidget* frmAbout) {
    for (const QString& program : SystemInfoPrograms) {
        const QString path = QStandardPaths::findExecutable(program);
        if (!path.isEmpty() && launcher_.startProgram(path))
            return;
    }
    boxes_.plain(frmAbout, QString::fromLatin1(ApplicationTitle), SysInfoUnavailable);
}

} // namespace kelvane
