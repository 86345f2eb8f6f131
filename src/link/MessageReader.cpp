#include "link/MessageReader.h"

#include "link/AnsiCodec.h"

namespace kelvane {

namespace {

constexpr qsizetype MoveSize = 3;

} // namespace

QList<WireMessage> MessageReader::takeRead(const QByteArray& read) {
    held_.append(read);
    QList<WireMessage> messages;
    qsizetype at = 0;
    while (at < held_.size()) {
        const qsizetype taken = takeMessage(at, messages);
        if (taken == 0) {
            break;
        }
        at += taken;
    }
    held_.remove(0, at);
    return messages;
}

void MessageReader::reset() {
    held_.clear();
    textScanResumesAt_ = 0;
}

qsizetype MessageReader::takeMessage(qsizetype at, QList<WireMessage>& messages) {
    const auto type = static_cast<MessageType>(held_.at(at));
    switch (type) {
    case MessageType::Move:
        return takeMove(at, messages);
    case MessageType::NewGame:
    case MessageType::Leave:
        messages.append({type});
        return 1;
    case MessageType::Name:
    case MessageType::Chat:
        return takeText(type, at, messages);
    }
    // Not a message start: with no delimiter there is no telling where the next one begins.
    return held_.size() - at;
}

qsizetype MessageReader::takeMove(qsizetype at, QList<WireMessage>& messages) {
    if (held_.size() - at < MoveSize) {
        return 0;
    }
    const int column = static_cast<unsigned char>(held_.at(at + 1));
    const int row = static_cast<unsigned char>(held_.at(at + 2));
    if (isCoordinate(column) && isCoordinate(row)) {
        messages.append({MessageType::Move, column, row});
    }
    return MoveSize;
}

qsizetype MessageReader::takeText(MessageType type, qsizetype at, QList<WireMessage>& messages) {
    const bool resuming = at == 0 && textScanResumesAt_ > 0;
    const qsizetype scanFrom = resuming ? textScanResumesAt_ : at + 1;
    if (endsInsideCharacter(held_, scanFrom)) {
        // Decoding now would turn the cut character into garbage: wait for its trail byte.
        textScanResumesAt_ = held_.size() - 1 - at;
        return 0;
    }
    textScanResumesAt_ = 0;
    messages.append({type, 0, 0, fromAnsi(held_.mid(at + 1))});
    return held_.size() - at;
}

} // namespace kelvane
