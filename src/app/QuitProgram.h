#pragma once

#include "app/Services.h"

namespace kelvane {

// Leaves the event loop: main() returns and nothing else of the game runs.
class QuitProgram : public ProgramEnd {
public:
    void endNow() override;
};

} // namespace kelvane
