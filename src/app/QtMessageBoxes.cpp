#include "app/QtMessageBoxes.h"

#include <QMessageBox>

namespace kelvane {
namespace {

void showBox(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text) {
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace

void QtMessageBoxes::information(QWidget* parent, const QString& title, const QString& text) {
    showBox(parent, QMessageBox::Information, title, text);
}

void QtMessageBoxes::plain(QWidget* parent, const QString& title, const QString& text) {
    showBox(parent, QMessageBox::NoIcon, title, text);
}

} // namespace kelvane
