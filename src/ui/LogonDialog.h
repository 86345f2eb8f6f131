#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

class QCompleter;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStandardItemModel;

namespace kelvane {

// One host offered to a joining player: what the list shows, and the address it fills in.
struct HostSuggestion {
    QString shown;
    QString address;
};

// The logon dialog frmLogon: name, host or join, and the address. It can only be left
// through its two buttons, so it has no close button; it says which was pressed.
class LogonDialog : public QWidget {
    Q_OBJECT

public:
    explicit LogonDialog(QWidget* parent = nullptr);

    // The caption beside the address box.
    void setAddressCaption(const QString& caption);
    void setAddress(const QString& address);
    // A note on the address box: its tooltip and accessible description.
    void setAddressNote(const QString& note);
    // The whole address selected and focused, for the user to correct.
    void selectAddress();
    // Says what went wrong beside the address box, without a box of its own.
    void showProblem(const QString& problem);
    // Hosts found on the network, offered as the address box's drop-down.
    void setSuggestions(const QList<HostSuggestion>& hosts);

    // The name in txtName when the dialog opens.
    static const QString DefaultName;

signals:
    void hostChosen();
    void joinChosen();
    void confirmed(const QString& name, const QString& address);
    // End, or the window manager closed the dialog anyway: it stays open until told.
    void endRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    void orderFocusChain();
    void nameForScreenReaders();

    QLabel* labName = nullptr;
    QLineEdit* txtName = nullptr;
    QGroupBox* frmMode = nullptr;
    QRadioButton* optServer = nullptr;
    QRadioButton* optClient = nullptr;
    QLabel* labIP = nullptr;
    QLineEdit* txtIP = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdEnd = nullptr;
    QStandardItemModel* suggestions_ = nullptr;
    QCompleter* completer_ = nullptr;
    QString note_;
};

} // namespace kelvane
