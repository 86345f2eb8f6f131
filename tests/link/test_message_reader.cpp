// Framing what arrives: coalesced and split reads, cut GBK characters, hostile bytes.

#include "link/AnsiCodec.h"
#include "link/MessageReader.h"

#include <QRandomGenerator>
#include <QTest>

using namespace kelvane;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// One line per message, so that a whole sequence of reads compares at once:
// "move 3 12", "name 白方：玩家", "new game", "leave", "chat ok".
QStringList describe(const QList<WireMessage>& messages) {
    QStringList lines;
    for (const WireMessage& message : messages) {
        switch (message.type) {
        case MessageType::Move:
            lines << QStringLiteral("move %1 %2").arg(message.column).arg(message.row);
            break;
        case MessageType::Name:
            lines << "name " + message.text;
            break;
        case MessageType::NewGame:
            lines << QStringLiteral("new game");
            break;
        case MessageType::Leave:
            lines << QStringLiteral("leave");
            break;
        case MessageType::Chat:
            lines << "chat " + message.text;
            break;
        }
    }
    return lines;
}

QStringList readAll(MessageReader& reader, const QList<QByteArray>& reads) {
    QList<WireMessage> messages;
    for (const QByteArray& read : reads) {
        messages << reader.takeRead(read);
    }
    return describe(messages);
}

} // namespace

class TestMessageReader : public QObject {
    Q_OBJECT

private slots:
    void reads_data();
    void reads();
    void moveCutShortHoldsOnlyItsBytes();
    void resetDropsHeldBytes();
    void multiMegabyteChatInOneRead();
    void multiMegabyteChatTrickledWithCutCharacters();
    void floodTrickledByteByByte();
    void randomGarbage();
};

void TestMessageReader::reads_data() {
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QStringList>("messages");
    using Reads = QList<QByteArray>;
    const QString fffd(QChar(0xFFFD));

    QTest::newRow("move") << Reads{hex("31030C")} << QStringList{"move 3 12"};
    QTest::newRow("empty read") << Reads{QByteArray()} << QStringList{};
    QTest::newRow("move then new game in one read")
        << Reads{hex("31030C33")} << QStringList{"move 3 12", "new game"};
    QTest::newRow("two moves in one read")
        << Reads{hex("31030C310F01")} << QStringList{"move 3 12", "move 15 1"};
    QTest::newRow("leave after new game") << Reads{hex("3334")} << QStringList{"new game", "leave"};
    QTest::newRow("chat swallows the move after it")
        << Reads{hex("356F6B31030C")}
        << QStringList{QStringLiteral("chat ok") + QChar(0x31) + QChar(3) + QChar(12)};
    QTest::newRow("move then chat")
        << Reads{hex("3101013568")} << QStringList{"move 1 1", "chat h"};
    QTest::newRow("name") << Reads{hex("32B0D7B7BDA3BACDE6BCD2")}
                          << QStringList{QStringLiteral("name 白方：玩家")};
    QTest::newRow("empty chat") << Reads{hex("35")} << QStringList{"chat "};
    QTest::newRow("empty name") << Reads{hex("32")} << QStringList{"name "};
    QTest::newRow("move split after its type")
        << Reads{hex("31"), hex("030C")} << QStringList{"move 3 12"};
    QTest::newRow("move split after its column")
        << Reads{hex("3103"), hex("0C33")} << QStringList{"move 3 12", "new game"};
    QTest::newRow("move split into three reads with empty reads between")
        << Reads{hex("31"), QByteArray(), hex("0F"), QByteArray(), hex("01")}
        << QStringList{"move 15 1"};
    QTest::newRow("chat split between characters is two reads")
        << Reads{hex("35C4E3"), hex("BAC3")} << QStringList{QStringLiteral("chat 你")};
    QTest::newRow("chat cut inside a character waits")
        << Reads{hex("35C4E3BA"), hex("C3")} << QStringList{QStringLiteral("chat 你好")};
    QTest::newRow("the completed chat takes the rest of the read")
        << Reads{hex("35C4"), hex("E33334")} << QStringList{QStringLiteral("chat 你34")};
    QTest::newRow("name cut inside a character waits")
        << Reads{hex("32B0D7B7"), hex("BDA3BACDE6BC"), hex("D2")}
        << QStringList{QStringLiteral("name 白方：玩家")};
    QTest::newRow("chat after a move, cut inside a character")
        << Reads{hex("31030C35C4"), hex("E3")}
        << QStringList{"move 3 12", QStringLiteral("chat 你")};
    QTest::newRow("a trail byte in the lead range does not hold the chat")
        << Reads{hex("358181"), hex("33")}
        << QStringList{"chat " + QString(QChar(0x4E96)), "new game"};
    QTest::newRow("unknown type drops the read") << Reads{QByteArray("9abc3")} << QStringList{};
    QTest::newRow("unknown type, then a new read counts")
        << Reads{QByteArray("9abc3"), hex("33")} << QStringList{"new game"};
    QTest::newRow("zero byte is no type") << Reads{hex("0033")} << QStringList{};
    QTest::newRow("unknown type after a move drops only the rest")
        << Reads{hex("31030C3933")} << QStringList{"move 3 12"};
    QTest::newRow("type 6") << Reads{hex("36")} << QStringList{};
    QTest::newRow("column 0 dropped") << Reads{hex("31000C33")} << QStringList{"new game"};
    QTest::newRow("row 0 dropped") << Reads{hex("310300")} << QStringList{};
    QTest::newRow("column 16 dropped") << Reads{hex("31100C")} << QStringList{};
    QTest::newRow("row 16 dropped") << Reads{hex("310310")} << QStringList{};
    QTest::newRow("0xFF dropped") << Reads{hex("31FFFF310101")} << QStringList{"move 1 1"};
    QTest::newRow("chat that is not GBK")
        << Reads{hex("35FF80FF")} << QStringList{"chat " + fffd + QStringLiteral("€") + fffd};
    QTest::newRow("chat holding a zero byte")
        << Reads{hex("35610062")} << QStringList{"chat a" + QString(QChar(0)) + "b"};
}

void TestMessageReader::reads() {
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QStringList, messages);
    MessageReader reader;
    QCOMPARE(readAll(reader, reads), messages);
}

void TestMessageReader::moveCutShortHoldsOnlyItsBytes() {
    MessageReader reader;
    QCOMPARE(describe(reader.takeRead(hex("3331"))), QStringList{"new game"});
    QCOMPARE(reader.heldBytes(), 1);
    QCOMPARE(describe(reader.takeRead(hex("07"))), QStringList{});
    QCOMPARE(reader.heldBytes(), 2);
    QCOMPARE(describe(reader.takeRead(hex("08"))), QStringList{"move 7 8"});
    QCOMPARE(reader.heldBytes(), 0);
    QCOMPARE(describe(reader.takeRead(hex("35C4E3BA"))), QStringList{});
    QCOMPARE(reader.heldBytes(), 4);
    QCOMPARE(describe(reader.takeRead(hex("C3"))), QStringList{QStringLiteral("chat 你好")});
    QCOMPARE(reader.heldBytes(), 0);
}

void TestMessageReader::resetDropsHeldBytes() {
    MessageReader reader;
    QVERIFY(reader.takeRead(hex("3103")).isEmpty());
    reader.reset();
    QCOMPARE(reader.heldBytes(), 0);
    // Without the reset, 0C would complete the move.
    QCOMPARE(describe(reader.takeRead(hex("0C33"))), QStringList{});

    QVERIFY(reader.takeRead(hex("35C4")).isEmpty());
    reader.reset();
    QCOMPARE(describe(reader.takeRead(hex("33"))), QStringList{"new game"});
}

void TestMessageReader::multiMegabyteChatInOneRead() {
    const QString line = QStringLiteral("长长的对话 long chat ").repeated(200000);
    const QByteArray wire = "5" + toAnsi(line);
    QVERIFY(wire.size() > 3'000'000);
    MessageReader reader;
    const QList<WireMessage> read = reader.takeRead(wire);
    QCOMPARE(read.size(), 1);
    QCOMPARE(read[0].type, MessageType::Chat);
    QVERIFY(read[0].text == line);
    QCOMPARE(reader.heldBytes(), 0);
}

// Every read ends inside a character, so the message is held and grows for a million reads.
// A reader that scanned or copied the held bytes on every read would never finish.
void TestMessageReader::multiMegabyteChatTrickledWithCutCharacters() {
    constexpr int Characters = 1'000'000;
    const QByteArray you = toAnsi(QStringLiteral("你"));
    MessageReader reader;
    QVERIFY(reader.takeRead("5" + you.left(1)).isEmpty());
    const QByteArray trailThenLead = you.right(1) + you.left(1);
    for (int i = 1; i < Characters; ++i) {
        if (!reader.takeRead(trailThenLead).isEmpty()) {
            QFAIL("a chat cut inside a character was emitted");
        }
    }
    QCOMPARE(reader.heldBytes(), 1 + 2 * qsizetype(Characters) - 1);
    const QList<WireMessage> read = reader.takeRead(you.right(1));
    QCOMPARE(read.size(), 1);
    QVERIFY(read[0].text == QStringLiteral("你").repeated(Characters));
    QCOMPARE(reader.heldBytes(), 0);
}

void TestMessageReader::floodTrickledByteByByte() {
    QByteArray flood;
    for (int i = 0; i < 200000; ++i) {
        flood += hex("31030C") + hex("33");
    }
    MessageReader reader;
    int moves = 0;
    int newGames = 0;
    for (char byte : std::as_const(flood)) {
        for (const WireMessage& message : reader.takeRead(QByteArray(1, byte))) {
            moves += message.type == MessageType::Move && message.column == 3 && message.row == 12;
            newGames += message.type == MessageType::NewGame;
        }
        QVERIFY(reader.heldBytes() <= 2);
    }
    QCOMPARE(moves, 200000);
    QCOMPARE(newGames, 200000);
}

void TestMessageReader::randomGarbage() {
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
            if (message.type == MessageType::Move) {
                QVERIFY(isCoordinate(message.column));
                QVERIFY(isCoordinate(message.row));
            } else {
                QCOMPARE(message.column, 0);
                QCOMPARE(message.row, 0);
            }
            const char type = static_cast<char>(message.type);
            QVERIFY(type >= '1' && type <= '5');
        }
    }
    QVERIFY(messages > 1000);
}

QTEST_MAIN(TestMessageReader)
#include "test_message_reader.moc"
