#include "app/About.h"

#include "app/GetKeyValue.h"
#include "ui/AboutBox.h"

#include "Version.h"

#include <QFileInfo>
#include <QIcon>

namespace kelvane {

namespace {

const QString Caption = QStringLiteral("关于");
const QString SysInfoUnavailable = QStringLiteral("System Information Is Unavailable At This Time");
const QString PageUnavailable = QStringLiteral("无法打开网页。");

// Where the system-information tool is recorded: its full path, else its folder.
const QString SysInfoKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString SysInfoValue = QStringLiteral("PATH");
const QString SysInfoFolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString SysInfoFolderValue = QStringLiteral("MSINFO");
const QString SysInfoProgramFile = QStringLiteral("\\MSINFO32.EXE");

// The project's web page. The address is a placeholder: the project has no site yet.
const QString ProjectPage = QStringLiteral("https://kelvane.example.org/");

QString VersionText() {
    return QStringLiteral("Version ") + QString::number(VersionMajor) + QLatin1Char('.') +
           QString::number(VersionMinor) + QLatin1Char('.') + QString::number(VersionRevision);
}

// The folder comes from the registry with Windows separators; where they are not the
// platform's own, its backslashes are read as the separators they are meant to be.
bool FileExists(QString path) {
#ifndef _WIN32
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
#endif
    return QFileInfo(path).isFile();
}

} // namespace

About::About(AboutServices services, QWidget& frmMain)
    : services_(services), frmAbout_(new AboutBox(&frmMain)) {
    QObject::connect(frmAbout_->cmdSysInfo, &QPushButton::clicked, frmAbout_,
                     [this] { StartSysInfo(); });
    QObject::connect(frmAbout_, &AboutBox::copyrightClicked, frmAbout_,
                     [this] { lblCopyright_Click(); });
    Form_Load(frmMain);
}

About::~About() {
    delete frmAbout_.data();
}

void About::Form_Load(const QWidget& frmMain) {
    frmAbout_->setWindowTitle(Caption);
    const QIcon icon = frmMain.windowIcon();
    frmAbout_->setWindowIcon(icon);
    frmAbout_->picIcon->setPixmap(icon.pixmap(frmAbout_->picIcon->size()));
    frmAbout_->lblVersion->setText(VersionText());
    frmAbout_->lblTitle->setText(frmMain.windowTitle());
}

void About::StartSysInfo() {
    try {
        const std::optional<QString> path = SysInfoPath();
        if (path && services_.launcher.startProgram(*path))
            return;
    } catch (...) {
        // Whatever went wrong, the user learns only that the tool is unavailable.
    }
    services_.boxes.plain(frmAbout_, QString::fromLatin1(ApplicationTitle), SysInfoUnavailable);
}

std::optional<QString> About::SysInfoPath() {
    QString path;
    // The full path is taken as it stands, without looking for the file.
    if (GetKeyValue(services_.registry, HkeyLocalMachine, SysInfoKey, SysInfoValue, path))
        return path;
    if (!GetKeyValue(services_.registry, HkeyLocalMachine, SysInfoFolderKey, SysInfoFolderValue,
                     path))
        return std::nullopt;
    path += SysInfoProgramFile;
    if (!FileExists(path))
        return std::nullopt;
    return path;
}

void About::lblCopyright_Click() {
    if (!services_.launcher.openInBrowser(ProjectPage))
        services_.boxes.plain(frmAbout_, QString::fromLatin1(ApplicationTitle), PageUnavailable);
}

} // namespace kelvane
