#pragma once

// The controls are public members, so their classes come with the dialog.
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

namespace kelvane {

// The logon dialog frmLogon: name, host or join, and the address. It can only be left
// through its two buttons, so it has no close button; the application connects to them.
class LogonDialog : public QWidget {
    Q_OBJECT

public:
    explicit LogonDialog(QWidget* parent = nullptr);

    QLabel* labName = nullptr;
    QLineEdit* txtName = nullptr;
    QGroupBox* frmMode = nullptr;
    QRadioButton* optServer = nullptr;
    QRadioButton* optClient = nullptr;
    QLabel* labIP = nullptr;
    QLineEdit* txtIP = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdEnd = nullptr;

    // The name in txtName when the dialog opens.
    static const QString DefaultName;

signals:
    // The window manager closed the dialog anyway; it stays open, and the application
    // treats this as the End button.
    void closeRequested();

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void createControls();
    void orderFocusChain();
};

} // namespace kelvane
