#include "game/Gomocup.h"

#include <algorithm>
#include <cctype>
#include <sstream>

namespace kelvane {
namespace {

// Our stones are black on the engine's board, the manager's opponent white; in freestyle
// the colours play alike.
constexpr int Own = Black;
constexpr int Opponent = White;

std::string upper(std::string word) {
    for (char& c : word)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return word;
}

// "x,y" or "x,y,field" into numbers; false when it is not that.
bool parseNumbers(const std::string& text, std::vector<long long>& numbers) {
    std::string field;
    std::istringstream in(text);
    numbers.clear();
    while (std::getline(in, field, ',')) {
        try {
            std::size_t used = 0;
            numbers.push_back(std::stoll(field, &used));
            if (field.find_first_not_of(" \t", used) != std::string::npos)
                return false;
        } catch (const std::exception&) {
            return false;
        }
    }
    return true;
}

bool onBoard(long long x, long long y) {
    return x >= 0 && x < BoardSize && y >= 0 && y < BoardSize;
}

// What a reply quotes of the manager's text: enough to find the line, never a flood.
std::string quoted(const std::string& text) {
    constexpr std::size_t Shown = 40;
    return text.size() <= Shown ? text : text.substr(0, Shown) + "...";
}

bool isWord(const std::string& command) {
    return std::isalpha(static_cast<unsigned char>(command.front())) != 0;
}

} // namespace

GomocupSession::GomocupSession(const EngineLimits& limits, std::uint64_t seed, std::string about)
    : engine_(DefaultStrength, seed), strengthLimits_(limits), about_(std::move(about)) {}

std::vector<std::string> GomocupSession::handleLine(const std::string& rawLine) {
    std::string line = rawLine;
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    std::istringstream in(line);
    std::string command;
    in >> command;
    if (command.empty())
        return {};
    std::string rest;
    std::getline(in >> std::ws, rest);
    std::vector<long long> numbers;

    std::vector<std::string> replies;
    if (readingBoard_) {
        if (upper(command) == "DONE") {
            readingBoard_ = false;
            return think();
        }
        if (parseNumbers(line, numbers) && numbers.size() == 3 && onBoard(numbers[0], numbers[1])) {
            // Field 3 marks a winning line of a continuous game: not a stone to play around.
            if (numbers[2] == 1 || numbers[2] == 2)
                board_.set(static_cast<int>(numbers[0]) + 1, static_cast<int>(numbers[1]) + 1,
                           static_cast<std::int16_t>(numbers[2] == 1 ? Own : Opponent));
            return {};
        }
        if (!isWord(command))
            return {"ERROR bad BOARD line: " + quoted(line)};
        // A manager that lost its DONE goes on with the next command, and so do we.
        readingBoard_ = false;
        replies.push_back("ERROR BOARD without DONE");
    }
    std::vector<std::string> more = obey(upper(command), rest);
    replies.insert(replies.end(), more.begin(), more.end());
    return replies;
}

std::vector<std::string> GomocupSession::obey(const std::string& command, const std::string& rest) {
    std::vector<long long> numbers;
    if (command == "START" || command == "RECTSTART") {
        const bool square = command == "START";
        if (!parseNumbers(rest, numbers) || numbers.size() != (square ? 1u : 2u))
            return {"ERROR bad size"};
        if (numbers[0] != BoardSize || (!square && numbers[1] != BoardSize))
            return {"ERROR unsupported size, only 15 is played"};
        board_.clear();
        started_ = true;
        engine_.prepare();
        return {"OK"};
    }
    if (command == "ABOUT")
        return {about_};
    if (command == "END") {
        finished_ = true;
        return {};
    }
    if (command == "INFO") {
        std::istringstream fields(rest);
        std::string key, value;
        fields >> key >> value;
        info(key, value);
        return {};
    }
    if (!started_)
        return {"ERROR no START yet"};
    if (command == "RESTART") {
        board_.clear();
        return {"OK"};
    }
    if (command == "BEGIN")
        return think();
    if (command == "BOARD") {
        board_.clear();
        readingBoard_ = true;
        return {};
    }
    if (command == "TURN" || command == "TAKEBACK") {
        if (!parseNumbers(rest, numbers) || numbers.size() != 2 || !onBoard(numbers[0], numbers[1]))
            return {"ERROR bad coordinates: " + quoted(rest)};
        const int column = static_cast<int>(numbers[0]) + 1;
        const int row = static_cast<int>(numbers[1]) + 1;
        if (command == "TAKEBACK") {
            board_.set(column, row, Empty);
            return {"OK"};
        }
        if (board_.at(column, row) != Empty)
            return {"ERROR occupied: " + quoted(rest)};
        board_.set(column, row, Opponent);
        return think();
    }
    return {"UNKNOWN " + quoted(command)};
}

void GomocupSession::info(const std::string& key, const std::string& value) {
    long long number = 0;
    try {
        number = std::stoll(value);
    } catch (const std::exception&) {
        return;
    }
    if (key == "timeout_turn")
        timeoutTurn_ = number;
    else if (key == "timeout_match")
        timeoutMatch_ = number;
    else if (key == "time_left")
        timeLeft_ = number;
    else if (key == "max_memory" && number > 0) {
        engine_.setMemoryLimit(number);
        if (started_)
            engine_.prepare();
    }
}

// The strength's own cap, cut to the turn's limit and to a share of what is left of the
// match. The engine may run up to 20 ms past its cap, and reading the command and writing
// the reply take a little more: the margin keeps every turn inside its limit.
void GomocupSession::applyTimeLimits() {
    constexpr std::int64_t MarginMs = 30;
    constexpr std::int64_t MovesAhead = 15;
    EngineLimits limits = strengthLimits_;
    // 0 stands for no cap, here and in the engine.
    std::int64_t cap = limits.timeMs > 0 ? limits.timeMs : INT32_MAX;
    if (timeoutTurn_ == 0)
        cap = 1; // as fast as possible: tactics and a shallow search
    else if (timeoutTurn_ > 0)
        cap = std::min(cap, std::max<std::int64_t>(1, timeoutTurn_ - MarginMs - timeoutTurn_ / 20));
    // A match limit of 0 is no limit; time_left alone is honoured too.
    if (timeoutMatch_ != 0 && timeLeft_ >= 0)
        cap = std::min(cap, std::max<std::int64_t>(1, (timeLeft_ - MarginMs) / MovesAhead));
    limits.timeMs = cap == INT32_MAX ? 0 : static_cast<int>(cap);
    engine_.setLimits(limits);
}

std::vector<std::string> GomocupSession::think() {
    applyTimeLimits();
    const std::optional<Cell> move = engine_.chooseMove(board_, Own);
    if (!move)
        return {"ERROR the board is full"};
    board_.set(move->column, move->row, Own);
    return {std::to_string(move->column - 1) + "," + std::to_string(move->row - 1)};
}

} // namespace kelvane
