#pragma once

#include "link/WireMessage.h"

#include <QByteArray>
#include <QList>

namespace kelvane {

// Cuts what the link delivers into messages. One read is everything one GetData returned.
//
// Moves, new-game and leave messages have fixed sizes, so several of them in one read are
// all taken, and a move cut short waits for the rest of its bytes. A name or chat message
// has no end mark: it takes the rest of the read, and it waits for the next read only when
// its last GBK character is cut in half. A read that starts with an unknown type is dropped
// whole, and a move off the board is dropped.
class MessageReader {
public:
    QList<WireMessage> takeRead(const QByteArray& read);
    void reset();
    // Bytes of an incomplete message kept for the next read.
    qsizetype heldBytes() const { return held_.size(); }

private:
    // Each returns the bytes it took from held_ at `at`; 0 means wait for the next read.
    qsizetype takeMessage(qsizetype at, QList<WireMessage>& messages);
    qsizetype takeMove(qsizetype at, QList<WireMessage>& messages);
    qsizetype takeText(MessageType type, qsizetype at, QList<WireMessage>& messages);

    QByteArray held_;
    // When held_ is a name or chat waiting for a trail byte: where its GBK scan resumes, so
    // a long message trickling in is not scanned again from its start on every read. Its
    // last byte, the unfinished lead byte, is a character boundary. 0 when unused.
    qsizetype textScanResumesAt_ = 0;
};

} // namespace kelvane
