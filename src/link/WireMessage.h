#pragma once

// The messages the two players exchange over their one TCP connection (port 5238).
//
//   message  = move | name | new-game | leave | chat
//   move     = "1" column row      exactly 3 bytes; column and row are the bytes 0x01..0x0F
//   name     = "2" caption         caption: "黑方：" (host) or "白方：" (joining side) + name
//   new-game = "3"                 1 byte
//   leave    = "4"                 1 byte
//   chat     = "5" line            the line as typed, possibly empty
//
// Every character is sent in the ANSI code page, GBK: the type digits and the coordinates
// are one byte each, a Chinese character two. There is no terminator, length or delimiter,
// so a name or chat message runs to the end of whatever was read with it; MessageReader
// gives the framing.

#include <QString>

namespace kelvane {

enum class MessageType : char {
    Move = '1',    // the sender placed a stone at (column, row)
    Name = '2',    // the sender's colour label: its colour prefix and player name
    NewGame = '3', // the sender cleared its board and started the next game
    Leave = '4',   // the sender is closing the link
    Chat = '5',    // the sender's latest chat line
};

// Board coordinates on the wire; they are never 0, so a move holds no zero byte.
constexpr int FirstCoordinate = 1;
constexpr int LastCoordinate = 15;

constexpr bool isCoordinate(int value) {
    return value >= FirstCoordinate && value <= LastCoordinate;
}

struct WireMessage {
    MessageType type;
    int column = 0;
    int row = 0;
    QString text{}; // the decoded payload of a name or chat message
};

// The message strings that SendMsg sends; SocketLink::SendData converts them to GBK.
QString MoveMessage(int column, int row);
QString NameMessage(const QString& colourCaption);
QString NewGameMessage();
QString LeaveMessage();
QString ChatMessage(const QString& line);

} // namespace kelvane
