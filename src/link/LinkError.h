#pragma once

#include <stdexcept>

namespace kelvane {

// A failure of the link that is known while a call runs (a port already in use, nothing to
// connect to). The logon dialog's OK catches it; everywhere else it ends the program.
class LinkError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

} // namespace kelvane
