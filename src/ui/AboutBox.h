#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace kelvane {

// The About box frmAbout, as laid out: icon, title, version, description, the maker's notice
// and warning, OK and the system-information button. The notice line lights up green under
// the mouse and turns black again only over the bare background; what its click and the
// buttons do is decided by the application.
class AboutBox : public QDialog {
    Q_OBJECT

public:
    explicit AboutBox(QWidget* parent = nullptr);

    void setIcon(const QIcon& icon);
    void setTitle(const QString& title);
    void setVersion(const QString& version);

signals:
    // A left click on the notice line.
    void copyrightClicked();
    void sysInfoRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void createTexts();
    void createButtons();

    QLabel* picIcon = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdSysInfo = nullptr;
    QLabel* lblCopyright = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDisclaimer = nullptr;
};

} // namespace kelvane
