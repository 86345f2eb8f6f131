#pragma once

// The Gomocup AI protocol, as tournament managers and other Gomoku programs drive an
// engine: one command line in, the reply lines out. Coordinates are 0-based x,y; the only
// board size played is 15.

#include "game/Board.h"
#include "game/Engine.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kelvane {

class GomocupSession {
public:
    // `about` is the ABOUT answer, e.g. name="Kelvane", version="2.0.0".
    GomocupSession(const EngineLimits& limits, std::uint64_t seed, std::string about);

    std::vector<std::string> handleLine(const std::string& line);
    // END was received.
    bool finished() const { return finished_; }
    // Inside a BOARD block that has not had its DONE.
    bool readingBoard() const { return readingBoard_; }
    // Makes a search under way, and any later one, return at once; from any thread.
    void cancel() { engine_.cancel(); }

private:
    std::vector<std::string> obey(const std::string& command, const std::string& rest);
    std::vector<std::string> think();
    void info(const std::string& key, const std::string& value);
    void applyTimeLimits();

    Engine engine_;
    EngineLimits strengthLimits_;
    std::string about_;
    Board board_;
    bool started_ = false;
    bool readingBoard_ = false;
    bool finished_ = false;
    std::int64_t timeoutTurn_ = -1; // ms; -1 until the manager says
    std::int64_t timeoutMatch_ = -1;
    std::int64_t timeLeft_ = -1;
};

} // namespace kelvane
