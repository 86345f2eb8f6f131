// The bytes each message puts on the wire, and how the reader frames what arrives: coalesced
// and split reads, GBK characters cut at the end of a read, hostile bytes.

#include "link/AnsiCodec.h"
#include "link/MessageReader.h"
#include "link/WireMessage.h"

#include <QRandomGenerator>
#include <QTest>

using namespace kelvane;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// One line per message ("move 3 12", "name 白方：玩家", "new game", "chat ok"), so that a
// whole sequence of reads compares at once.
QStringList readAll(MessageReader& reader, const QList<QByteArray>& reads) {
    static const char* const Names[] = {"move", "name", "new game", "leave", "chat"};
    QStringList lines;
    for (const QByteArray& read : reads) {
        for (const WireMessage& message : reader.takeRead(read)) {
            const QString name = QLatin1String(Names[char(message.type) - '1']);
            if (message.type == MessageType::Move) {
                lines << name + QStringLiteral(" %1 %2").arg(message.column).arg(message.row);
            } else if (message.type == MessageType::Name || message.type == MessageType::Chat) {
                lines << name + " " + message.text;
            } else {
                lines << name;
            }
        }
    }
    return lines;
}

QStringList readAll(const QList<QByteArray>& reads) {
    MessageReader reader;
    return readAll(reader, reads);
}

} // namespace

class TestWireProtocol : public QObject {
    Q_OBJECT

private slots:
    void messageBytes_data();
    void messageBytes();
    void everyMoveIsThreeBytesWithoutZero();
    void reads_data();
    void reads();
    void resetDropsAHeldMessage();
    void multiMegabyteChatTrickledWithCutCharactersTakesLinearTime();
    void randomBytes();
};

void TestWireProtocol::messageBytes_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("wire");
    QTest::addColumn<QString>("readBack");
    const auto row = [](const char* name, const QString& message, const char* wire,
                        const QString& readBack) {
        QTest::newRow(name) << message << hex(wire) << readBack;
    };
    row("move 3,12", MoveMessage(3, 12), "31030C", "move 3 12");
    row("move 15,1", MoveMessage(15, 1), "310F01", "move 15 1");
    row("joiner 玩家", NameMessage(QStringLiteral("白方：玩家")), "32B0D7B7BDA3BACDE6BCD2",
        QStringLiteral("name 白方：玩家"));
    row("host 玩家", NameMessage(QStringLiteral("黑方：玩家")), "32BADAB7BDA3BACDE6BCD2",
        QStringLiteral("name 黑方：玩家"));
    row("joiner, empty name", NameMessage(QStringLiteral("白方：")), "32B0D7B7BDA3BA",
        QStringLiteral("name 白方："));
    row("host, empty name", NameMessage(QStringLiteral("黑方：")), "32BADAB7BDA3BA",
        QStringLiteral("name 黑方："));
    row("chat 你好", ChatMessage(QStringLiteral("你好")), "35C4E3BAC3",
        QStringLiteral("chat 你好"));
    row("chat untrimmed", ChatMessage(QStringLiteral(" ok ")), "35206F6B20", "chat  ok ");
    row("empty chat", ChatMessage(QString()), "35", "chat ");
    row("new game", NewGameMessage(), "33", "new game");
    row("leave", LeaveMessage(), "34", "leave");
    // Code page 936 details: the euro is one byte, a zero byte passes, and what GBK lacks
    // (Hangul, an emoji, lone surrogates) is one "?" per character.
    row("chat €, zero byte", ChatMessage(QStringLiteral("€") + QChar(0)), "358000",
        QStringLiteral("chat €") + QChar(0));
    row("chat GBK lacks", ChatMessage(QStringLiteral("가😀") + QChar(0xD800) + "z" + QChar(0xDC00)),
        "353F3F3F7A3F", "chat ???z?");
}

void TestWireProtocol::messageBytes() {
    QFETCH(QString, message);
    QFETCH(QByteArray, wire);
    QFETCH(QString, readBack);
    QCOMPARE(toAnsi(message), wire);
    QCOMPARE(readAll({wire}), QStringList{readBack});
}

void TestWireProtocol::everyMoveIsThreeBytesWithoutZero() {
    for (int column = FirstCoordinate; column <= LastCoordinate; ++column) {
        for (int row = FirstCoordinate; row <= LastCoordinate; ++row) {
            const QByteArray wire = toAnsi(MoveMessage(column, row));
            QCOMPARE(wire, QByteArray("1") + char(column) + char(row));
            QCOMPARE(readAll({wire}),
                     QStringList{QStringLiteral("move %1 %2").arg(column).arg(row)});
        }
    }
}

void TestWireProtocol::reads_data() {
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QStringList>("messages");
    const auto row = [](const char* name, std::initializer_list<const char*> hexReads,
                        const QStringList& messages) {
        QList<QByteArray> reads;
        for (const char* read : hexReads) {
            reads << hex(read);
        }
        QTest::newRow(name) << reads << messages;
    };
    const QString fffd(QChar(0xFFFD));
    row("empty read", {""}, {});
    row("move then new game coalesced", {"31030C33"}, {"move 3 12", "new game"});
    row("two moves coalesced", {"31030C310F01"}, {"move 3 12", "move 15 1"});
    row("chat swallows the move after it", {"356F6B31030C"},
        {QStringLiteral("chat ok1") + QChar(3) + QChar(12)});
    row("move split after its type", {"31", "", "030C"}, {"move 3 12"});
    row("move split after its column", {"3103", "0C34"}, {"move 3 12", "leave"});
    row("chat split between characters is two chats", {"35C4E3", "BAC3"},
        {QStringLiteral("chat 你")});
    row("chat cut inside a character waits, then takes the rest", {"35C4E3BA", "C33334"},
        {QStringLiteral("chat 你好34")});
    row("name cut twice", {"32B0D7B7", "BDA3BACDE6BC", "D2"}, {QStringLiteral("name 白方：玩家")});
    row("chat after a move, cut", {"31030C35C4", "E3"}, {"move 3 12", QStringLiteral("chat 你")});
    row("trail byte in the lead range ends the chat", {"358181", "33"},
        {"chat " + QString(QChar(0x4E96)), "new game"});
    row("unknown type drops its read only", {"3961626333", "33"}, {"new game"});
    row("zero byte is no type", {"0033"}, {});
    row("unknown type after a move", {"31030C3933"}, {"move 3 12"});
    row("coordinates 0 and 16 dropped", {"31000C33", "310300", "31100C", "310310"}, {"new game"});
    row("0xFF coordinates dropped", {"31FFFF310101"}, {"move 1 1"});
    row("chat that is not GBK", {"35FF80FF810A"},
        {"chat " + fffd + QStringLiteral("€") + fffd + fffd + "\n"});
}

void TestWireProtocol::reads() {
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QStringList, messages);
    QCOMPARE(readAll(reads), messages);
}

// A new connection must not finish what the last one left half sent.
void TestWireProtocol::resetDropsAHeldMessage() {
    MessageReader reader;
    QCOMPARE(readAll(reader, {hex("3103")}), QStringList());
    reader.reset();
    QCOMPARE(readAll(reader, {hex("0C33")}), QStringList());
    QCOMPARE(readAll(reader, {hex("35C4")}), QStringList());
    reader.reset();
    QCOMPARE(readAll(reader, {hex("33")}), QStringList{"new game"});
}

// Every read ends inside a character, so the chat is held and grows for a million reads. A
// reader that scanned or copied the held bytes on every read would never finish.
void TestWireProtocol::multiMegabyteChatTrickledWithCutCharactersTakesLinearTime() {
    constexpr int Characters = 1'000'000;
    MessageReader reader;
    QVERIFY(reader.takeRead(hex("35C4")).isEmpty());
    const QByteArray trailThenLead = hex("E3C4");
    for (int i = 1; i < Characters; ++i) {
        if (!reader.takeRead(trailThenLead).isEmpty()) {
            QFAIL("a chat cut inside a character was emitted");
        }
    }
    QCOMPARE(reader.heldBytes(), 2 * qsizetype(Characters));
    const QList<WireMessage> read = reader.takeRead(hex("E3"));
    QCOMPARE(read.size(), 1);
    QVERIFY(read[0].text == QStringLiteral("你").repeated(Characters));
    QCOMPARE(reader.heldBytes(), 0);
}

void TestWireProtocol::randomBytes() {
    QRandomGenerator random(5238);
    MessageReader reader;
    int messages = 0;
    for (int round = 0; round < 20000; ++round) {
        QByteArray read(random.bounded(12), Qt::Uninitialized);
        for (char& byte : read) {
            // Mostly message types and coordinates, so that many reads parse.
            byte = static_cast<char>(random.bounded(4) == 0
                                         ? random.bounded(256)
                                         : "12345\x01\x0F\x10\xC4\xE3"[random.bounded(10)]);
        }
        for (const WireMessage& message : reader.takeRead(read)) {
            ++messages;
            const bool move = message.type == MessageType::Move;
            QVERIFY(!move || (isCoordinate(message.column) && isCoordinate(message.row)));
            QVERIFY(move || (message.column == 0 && message.row == 0));
            QVERIFY(char(message.type) >= '1' && char(message.type) <= '5');
        }
    }
    QVERIFY(messages > 1000);
}

QTEST_MAIN(TestWireProtocol)
#include "test_wire_protocol.moc"
