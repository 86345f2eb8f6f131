#include "link/MessageReader.h"

#include "link/AnsiCodec.h"

namespace kelvane {

namespace {

constexpr qsizetype MoveSize = 3;

// The second byte of a two-byte GBK character.
bool isTrailByte(char byte) {
    const auto value = static_cast<unsigned char>(byte);
    return value >= 0x40 && value <= 0xFE && value != 0x7F;
}

} // namespace

void MessageReader::addRead(const QByteArray& read) {
    if (read.isEmpty()) {
        return;
    }
    queued_.push_back(read);
}

std::optional<WireMessage> MessageReader::takeMessage() {
    for (;;) {
        if (at_ < held_.size()) {
            std::optional<WireMessage> message;
            const qsizetype taken = takeMessageAt(at_, message);
            if (taken > 0) {
                at_ += taken;
                if (message) {
                    return message;
                }
                continue;
            }
        }
        if (!takeNextRead()) {
            return std::nullopt;
        }
    }
}

QList<WireMessage> MessageReader::takeRead(const QByteArray& read) {
    addRead(read);
    QList<WireMessage> messages;
    while (std::optional<WireMessage> message = takeMessage()) {
        messages.append(std::move(*message));
    }
    return messages;
}

void MessageReader::reset() {
    held_.clear();
    at_ = 0;
    queued_.clear();
    textScanResumesAt_ = 0;
}

bool MessageReader::takeNextRead() {
    // What is left starts a message, which then starts held_ as its text scan expects.
    held_.remove(0, at_);
    at_ = 0;
    if (queued_.empty()) {
        return false;
    }
    held_.append(queued_.front());
    queued_.pop_front();
    return true;
}

qsizetype MessageReader::takeMessageAt(qsizetype at, std::optional<WireMessage>& message) {
    const auto type = static_cast<MessageType>(held_.at(at));
    switch (type) {
    case MessageType::Move:
        return takeMove(at, message);
    case MessageType::NewGame:
    case MessageType::Leave:
        message = WireMessage{type};
        return 1;
    case MessageType::Name:
    case MessageType::Chat:
        return takeText(type, at, message);
    }
    // Not a message start: with no delimiter there is no telling where the next one begins.
    return held_.size() - at;
}

qsizetype MessageReader::takeMove(qsizetype at, std::optional<WireMessage>& message) {
    if (held_.size() - at < MoveSize) {
        return 0;
    }
    const int column = static_cast<unsigned char>(held_.at(at + 1));
    const int row = static_cast<unsigned char>(held_.at(at + 2));
    if (isCoordinate(column) && isCoordinate(row)) {
        message = WireMessage{MessageType::Move, column, row};
    }
    return MoveSize;
}

qsizetype MessageReader::takeText(MessageType type, qsizetype at,
                                  std::optional<WireMessage>& message) {
    const bool resuming = at == 0 && textScanResumesAt_ > 0;
    if (resuming && held_.size() <= textScanResumesAt_ + 1)
        return 0; // nothing new yet
    if (resuming && !isTrailByte(held_.at(textScanResumesAt_ + 1))) {
        // What came next cannot finish the cut character: the text ended with it, and the
        // next read starts a message of its own.
        const qsizetype end = textScanResumesAt_ + 1;
        textScanResumesAt_ = 0;
        message = WireMessage{type, 0, 0, fromAnsi(held_.mid(at + 1, end - at - 1))};
        return end - at;
    }
    const qsizetype scanFrom = resuming ? textScanResumesAt_ : at + 1;
    if (endsInsideCharacter(held_, scanFrom) && held_.size() - at < MaxHeldText) {
        // Decoding now would turn the cut character into garbage: wait for its trail byte.
        textScanResumesAt_ = held_.size() - 1 - at;
        return 0;
    }
    textScanResumesAt_ = 0;
    message = WireMessage{type, 0, 0, fromAnsi(held_.mid(at + 1))};
    return held_.size() - at;
}

} // namespace kelvane
