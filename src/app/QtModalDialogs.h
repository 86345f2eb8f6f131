#pragma once

#include "app/Services.h"

namespace kelvane {

class QtModalDialogs : public ModalDialogs {
public:
    void showModal(QDialog& dialog) override;
};

} // namespace kelvane
