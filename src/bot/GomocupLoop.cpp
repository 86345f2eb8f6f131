#include "bot/GomocupLoop.h"

#include "game/Gomocup.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <cerrno>
#include <unistd.h>

namespace kelvane {
namespace {

// No command comes near this; a longer line is refused without being held whole.
constexpr std::size_t MaxLineBytes = 64 * 1024;
// Lines read ahead of a long search; past this the reader waits for them to be taken.
constexpr std::size_t MaxQueuedBytes = 1024 * 1024;
// After END or the end of input, the lines read before it are still answered, with the
// engine stopped, which takes well under a millisecond a line; a player that is not done
// this long after the end (a search still setting up, or a starved machine) is not waited for.
constexpr int EndWaitMs = 1000;

struct Line {
    std::string text;
    bool tooLong = false;
};

// END with any case and spaces around it, as the session itself reads it.
bool isEnd(const std::string& line) {
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    const auto first = std::find_if_not(line.begin(), line.end(), space);
    const auto last = std::find_if_not(line.rbegin(), line.rend(), space).base();
    if (last - first != 3)
        return false;
    return std::equal(first, last, "END", [](char c, char letter) {
        return std::toupper(static_cast<unsigned char>(c)) == letter;
    });
}

// The lines read so far and not yet handled, shared by the reader and the player.
class Inbox {
public:
    explicit Inbox(GomocupSession& session) : session_(session) {}

    // The reader's side: reads standard input to its end, or to END.
    void read() {
        std::string line;
        bool tooLong = false;
        char buffer[16 * 1024];
        for (;;) {
            const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                break;
            for (const char* at = buffer; at < buffer + got;) {
                const char* newline = std::find(at, static_cast<const char*>(buffer + got), '\n');
                const std::size_t size = static_cast<std::size_t>(newline - at);
                if (!tooLong && line.size() + size <= MaxLineBytes) {
                    line.append(at, size);
                } else {
                    tooLong = true;
                    line.clear();
                }
                at = newline;
                if (at == buffer + got)
                    break;
                ++at;
                if (!tooLong && isEnd(line))
                    return endNow();
                push({std::move(line), tooLong});
                line.clear();
                tooLong = false;
            }
        }
        if ((tooLong || !line.empty()) && !isEnd(line))
            push({std::move(line), tooLong}); // the last line may lack its line end
        endNow();
    }

    // The player is done: the reader may stop waiting for it.
    void playerDone() {
        std::lock_guard lock(mutex_);
        playerDone_ = true;
        changed_.notify_all();
    }

    // The player's side: the next line, or none once input has ended and every line read
    // before the end has been taken.
    std::optional<Line> take() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return closed_ || !lines_.empty(); });
        if (lines_.empty())
            return std::nullopt;
        Line line = std::move(lines_.front());
        lines_.pop_front();
        queuedBytes_ -= line.text.size() + 1;
        changed_.notify_all();
        return line;
    }

private:
    void push(Line line) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return queuedBytes_ < MaxQueuedBytes; });
        queuedBytes_ += line.text.size() + 1;
        lines_.push_back(std::move(line));
        changed_.notify_all();
    }

    // END or the end of input: whatever the player is doing stops now. A search that does
    // not stop in time (one still setting up) is not waited for.
    void endNow() {
        session_.cancel();
        std::unique_lock lock(mutex_);
        closed_ = true;
        changed_.notify_all();
        if (!changed_.wait_for(lock, std::chrono::milliseconds(EndWaitMs),
                               [this] { return playerDone_; }))
            std::_Exit(0);
    }

    GomocupSession& session_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Line> lines_;
    std::size_t queuedBytes_ = 0;
    bool closed_ = false;
    bool playerDone_ = false;
};

} // namespace

int RunGomocup(const EngineLimits& limits, std::uint64_t seed, const std::string& about) {
    GomocupSession session(limits, seed, about);
    Inbox inbox(session);
    std::thread reader([&inbox] { inbox.read(); });
    while (const std::optional<Line> line = inbox.take()) {
        const std::vector<std::string> replies =
            line->tooLong ? std::vector<std::string>{"ERROR line too long"}
                          : session.handleLine(line->text);
        for (const std::string& reply : replies)
            std::cout << reply << '\n';
        std::cout.flush();
    }
    // Only END or the end of input closes the inbox, and the reader stops there. END inside
    // a BOARD block ends the block as any other command does.
    if (session.readingBoard())
        std::cout << "ERROR BOARD without DONE" << std::endl;
    inbox.playerDone();
    reader.join();
    return 0;
}

} // namespace kelvane
