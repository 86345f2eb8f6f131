#include "app/LogonFlow.h"

#include "app/Captions.h"
#include "lan/Discovery.h"
#include "app/GameController.h"
#include "app/Session.h"
#include "game/GameModel.h"
#include "link/LinkError.h"
#include "ui/LogonDialog.h"
#include "ui/MainWindow.h"
#include "ui/ScreenCentre.h"

#include "Version.h"

namespace kelvane {

LogonFlow::LogonFlow(GameModel& model, MainWindow& window, Session& session, GameController& game,
                     Discovery* discovery, QObject* parent)
    : QObject(parent), model_(model), window_(window), session_(session), game_(game),
      discovery_(discovery) {
    if (discovery_)
        connect(discovery_, &Discovery::hostsChanged, this, &LogonFlow::offerHosts);
}

LogonFlow::~LogonFlow() {
    browse(false);
    delete frmLogon_.data();
}

// While the dialog is in join mode, the hosts announced on the network are offered.
void LogonFlow::browse(bool on) {
    if (!discovery_)
        return;
    if (on)
        discovery_->startBrowsing();
    else
        discovery_->stopBrowsing();
}

// Names come from anyone on the network: they are shown whole, beside the address, as plain
// list entries (discovery already cuts them short).
void LogonFlow::offerHosts() {
    if (!frmLogon_ || !discovery_)
        return;
    QList<HostSuggestion> offered;
    for (const DiscoveredHost& host : discovery_->hosts())
        offered.append({host.name + QStringLiteral(" — ") + host.address, host.address});
    frmLogon_->setSuggestions(offered);
}

void LogonFlow::open() {
    delete frmLogon_.data();
    frmLogon_ = new LogonDialog;
    LogonDialog& d = *frmLogon_;
    BelongTo(d, window_);
    connect(&d, &LogonDialog::hostChosen, this, &LogonFlow::optServer_Click);
    connect(&d, &LogonDialog::joinChosen, this, &LogonFlow::optClient_Click);
    connect(&d, &LogonDialog::confirmed, this, &LogonFlow::cmdOK_Click);
    // A window manager that closes the dialog anyway gets End, so no disabled main window
    // is left behind.
    connect(&d, &LogonDialog::endRequested, this, &LogonFlow::endRequested);
    Form_Load();
    raise();
}

void LogonFlow::raise() {
    if (!frmLogon_)
        return;
    frmLogon_->show();
    frmLogon_->raise();
    frmLogon_->activateWindow();
}

void LogonFlow::hide() {
    if (frmLogon_)
        frmLogon_->hide();
}

void LogonFlow::Form_Load() {
    frmLogon_->setWindowTitle(QString::fromLatin1(ApplicationTitle));
    window_.setEnabled(false);
    frmLogon_->setAddress(session_.socket().LocalIP());
    showAddressNote();
    model_.startSeries();
}

void LogonFlow::optServer_Click() {
    frmLogon_->setAddressCaption(captions::HostAddressLabel);
    frmLogon_->setAddress(session_.socket().LocalIP());
    showAddressNote();
    model_.setMyColor(Black);
    browse(false);
}

void LogonFlow::optClient_Click() {
    frmLogon_->setAddressCaption(captions::JoinAddressLabel);
    frmLogon_->setAddress(captions::AnyAddress);
    frmLogon_->setAddressNote(captions::JoinAddressNote);
    model_.setMyColor(White);
    browse(true);
}

// A host tells the friend one address; the others this machine has are offered beside it.
void LogonFlow::showAddressNote() {
    const QStringList addresses = SocketLink::allAddresses();
    frmLogon_->setAddressNote(addresses.isEmpty()
                                  ? QString()
                                  : captions::HostAddressNote + addresses.join(QLatin1Char('\n')));
}

void LogonFlow::cmdOK_Click(const QString& name, const QString& address) {
    try {
        window_.setMyName(name + captions::Says);
        openLink(name, address);
    } catch (const LinkError& error) {
        // Nothing done so far is undone; the user edits the address or ends.
        frmLogon_->showProblem(QString::fromStdString(error.what()));
        frmLogon_->selectAddress();
        return;
    }
    name_ = name;
    game_.ShowRecord();
    window_.show();
    model_.holdTurn();
    window_.setEnabled(true);
    browse(false);
    frmLogon_->hide();
    frmLogon_->deleteLater();
    frmLogon_ = nullptr;
    // The keyboard goes to the board, also where no window manager hands it on.
    window_.activateWindow();
    game_.NewGame();
}

bool LogonFlow::hostAgain() {
    model_.setMyColor(Black);
    try {
        openLink(name_, {});
    } catch (const LinkError& error) {
        game_.showLink(QString::fromStdString(error.what()));
        return false;
    }
    model_.startSeries();
    game_.ShowRecord();
    model_.holdTurn();
    game_.NewGame();
    return true;
}

void LogonFlow::openLink(const QString& name, const QString& address) {
    session_.forgetReceived();
    SocketLink& link = session_.socket();
    QString own;
    if (model_.myColor() == Black) {
        link.setLocalPort(link.GamePort());
        link.Listen();
        hostName_ = name;
        own = captions::BlackPrefix + name;
        window_.setBlackPlayer(own);
        window_.setWhitePlayer(QString());
        game_.setLink(LinkState::Waiting);
    } else {
        link.setRemoteHost(address);
        link.setRemotePort(link.GamePort());
        link.setLocalPort(0);
        link.Connect();
        own = captions::WhitePrefix + name;
        window_.setBlackPlayer(QString());
        window_.setWhitePlayer(own);
        game_.setLink(LinkState::Connecting);
    }
    game_.setOwnCaption(own);
}

} // namespace kelvane
