#pragma once

#include "ui/LogonDialog.h"

#include <QObject>
#include <QPointer>
#include <QString>

namespace kelvane {

class Discovery;
class GameController;
class GameModel;
class MainWindow;
class Session;

// The logon dialog's part: host or join, the name, and opening the link. Every opening starts
// afresh, over a disabled main window, with a record of nothing.
class LogonFlow : public QObject {
    Q_OBJECT

public:
    LogonFlow(GameModel& model, MainWindow& window, Session& session, GameController& game,
              Discovery* discovery, QObject* parent = nullptr);
    ~LogonFlow() override;

    // Loads a fresh dialog and shows it in front of the main window.
    void open();
    // Brings the open dialog forward; it keeps the keyboard as a modal dialog would.
    void raise();
    void hide();
    // The open dialog, if any.
    LogonDialog* dialog() const { return frmLogon_; }
    // The name the player hosts under.
    QString hostName() const { return hostName_; }
    // Hosts afresh under the name last confirmed, as 确定 would in host mode, without the
    // dialog. False, with the reason on the status line, when the port cannot be had.
    bool hostAgain();

signals:
    void endRequested();

private:
    void Form_Load();
    void optServer_Click();
    void showAddressNote();
    void browse(bool on);
    void offerHosts();
    void optClient_Click();
    void cmdOK_Click(const QString& name, const QString& address);
    void openLink(const QString& name, const QString& address);

    GameModel& model_;
    MainWindow& window_;
    Session& session_;
    GameController& game_;
    Discovery* discovery_;
    QString hostName_;
    QString name_; // the name last confirmed
    QPointer<LogonDialog> frmLogon_;
};

} // namespace kelvane
