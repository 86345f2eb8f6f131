#pragma once

#include "app/Services.h"

namespace kelvane {

class QtMessageBoxes : public MessageBoxes {
public:
    void information(QWidget* parent, const QString& title, const QString& text) override;
    void plain(QWidget* parent, const QString& title, const QString& text) override;
};

} // namespace kelvane
