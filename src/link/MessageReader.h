#pragma once

#include "link/WireMessage.h"

#include <QByteArray>
#include <QList>

#include <deque>
#include <optional>

namespace kelvane {

// Cuts what the link delivers into messages. One read is everything one GetData returned.
//
// Moves, new-game and leave messages have fixed sizes, so several of them in one read are
// all taken, and a move cut short waits for the rest of its bytes. A name or chat message
// has no end mark: it takes the rest of the read, and it waits for the next read only when
// its last GBK character is cut in half. A read that starts with an unknown type is dropped
// whole, and a move off the board is dropped.
//
// Reads can be queued and their messages taken one at a time, so that a read holding a
// hundred thousand moves is neither cut up at once nor acted on in one go.
class MessageReader {
public:
    // Queues a read behind the reads whose messages have not all been taken yet.
    void addRead(const QByteArray& read);
    // The next whole message of the reads added so far, in order; none when what is left is
    // at most the start of a message that waits for its next read.
    std::optional<WireMessage> takeMessage();
    // addRead, then every message there is.
    QList<WireMessage> takeRead(const QByteArray& read);
    void reset();

    // A name or chat line cut inside a character stops waiting for the rest once it holds
    // this many bytes: a peer whose every read ends inside a character would otherwise make
    // us hold all it sends, and decode it all at once in the end. Our own longest line is
    // 64 KiB.
    static constexpr qsizetype MaxHeldText = 2 * 1024 * 1024;

private:
    // Each returns the bytes it took from held_ at `at`; 0 means wait for the next read.
    qsizetype takeMessageAt(qsizetype at, std::optional<WireMessage>& message);
    qsizetype takeMove(qsizetype at, std::optional<WireMessage>& message);
    qsizetype takeText(MessageType type, qsizetype at, std::optional<WireMessage>& message);
    // Makes the next queued read part of held_, behind what is left of it.
    bool takeNextRead();

    // The read being taken apart, behind the incomplete message that waited for it.
    QByteArray held_;
    qsizetype at_ = 0; // where the next message starts in held_
    std::deque<QByteArray> queued_;
    // When held_ is a name or chat waiting for a trail byte: where its GBK scan resumes, so
    // a long message trickling in is not scanned again from its start on every read. Its
    // last byte, the unfinished lead byte, is a character boundary. 0 when unused.
    qsizetype textScanResumesAt_ = 0;
};

} // namespace kelvane
