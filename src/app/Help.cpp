#include "app/About.h"
#include "app/Player.h"

#include "ui/AboutBox.h"
#include "ui/MainWindow.h"

#include "Version.h"

#include <QCoreApplication>
#include <QDir>

namespace kelvane {

namespace {

const QString ReadmeFileName = QStringLiteral("readme.txt");
const QString ReadmeUnavailable = QStringLiteral("无法打开说明文件。");

} // namespace

// The program's directory stays the current one afterwards, so from then on the relative
// names the program uses, "Move.wav" among them, are found beside the program.
void Player::mnuContent_Click() {
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    const QString readme = QDir::current().absoluteFilePath(ReadmeFileName);
    // A missing file is the editor's to report; only an editor that cannot start is ours.
    if (!services_.launcher.openInTextEditor(readme))
        services_.boxes.plain(frmMain_.get(), QString::fromLatin1(ApplicationTitle),
                              ReadmeUnavailable);
}

// Deliberately not a busy handler: the peer's moves and chat take effect while the box is
// open, as they do behind any other window.
void Player::mnuAbout_Click() {
    About about({services_.registry, services_.launcher, services_.boxes}, *frmMain_);
    services_.dialogs.showModal(about.frmAbout());
}

} // namespace kelvane
