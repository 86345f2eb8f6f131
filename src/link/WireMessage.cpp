#include "link/WireMessage.h"

namespace kelvane {

namespace {

QString typeText(MessageType type) {
    return QString(QChar(static_cast<char16_t>(type)));
}

} // namespace

QString MoveMessage(int column, int row) {
    return typeText(MessageType::Move) + QChar(static_cast<char16_t>(column)) +
           QChar(static_cast<char16_t>(row));
}

QString NameMessage(const QString& colourCaption) {
    return typeText(MessageType::Name) + colourCaption;
}

QString NewGameMessage() {
    return typeText(MessageType::NewGame);
}

QString LeaveMessage() {
    return typeText(MessageType::Leave);
}

QString ChatMessage(const QString& line) {
    return typeText(MessageType::Chat) + line;
}

} // namespace kelvane
