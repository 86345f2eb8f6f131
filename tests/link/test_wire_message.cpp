// The exact bytes each message puts on the wire, as built and converted for sending.

#include "link/AnsiCodec.h"
#include "link/MessageReader.h"
#include "link/WireMessage.h"

#include <QTest>

using namespace kelvane;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

} // namespace

class TestWireMessage : public QObject {
    Q_OBJECT

private slots:
    void messageBytes_data();
    void messageBytes();
    void everyMoveIsThreeBytesWithoutZeroAndReadsBack();
    void namesAndChatReadBack();
};

void TestWireMessage::messageBytes_data() {
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("wire");
    QTest::newRow("move 3,12") << MoveMessage(3, 12) << hex("31030C");
    QTest::newRow("move 15,1") << MoveMessage(15, 1) << hex("310F01");
    QTest::newRow("joiner named 玩家")
        << NameMessage(QStringLiteral("白方：玩家")) << hex("32B0D7B7BDA3BACDE6BCD2");
    QTest::newRow("host named 玩家")
        << NameMessage(QStringLiteral("黑方：玩家")) << hex("32BADAB7BDA3BACDE6BCD2");
    QTest::newRow("joiner without a name")
        << NameMessage(QStringLiteral("白方：")) << hex("32B0D7B7BDA3BA");
    QTest::newRow("host without a name")
        << NameMessage(QStringLiteral("黑方：")) << hex("32BADAB7BDA3BA");
    QTest::newRow("chat 你好") << ChatMessage(QStringLiteral("你好")) << hex("35C4E3BAC3");
    QTest::newRow("chat kept untrimmed")
        << ChatMessage(QStringLiteral(" ok ")) << hex("35206F6B20");
    QTest::newRow("empty chat") << ChatMessage(QString()) << hex("35");
    QTest::newRow("new game") << NewGameMessage() << hex("33");
    QTest::newRow("leave") << LeaveMessage() << hex("34");
}

void TestWireMessage::messageBytes() {
    QFETCH(QString, message);
    QFETCH(QByteArray, wire);
    QCOMPARE(toAnsi(message), wire);
}

void TestWireMessage::everyMoveIsThreeBytesWithoutZeroAndReadsBack() {
    MessageReader reader;
    for (int column = FirstCoordinate; column <= LastCoordinate; ++column) {
        for (int row = FirstCoordinate; row <= LastCoordinate; ++row) {
            const QByteArray wire = toAnsi(MoveMessage(column, row));
            QCOMPARE(wire.size(), 3);
            QVERIFY(!wire.contains('\0'));
            const QList<WireMessage> read = reader.takeRead(wire);
            QCOMPARE(read.size(), 1);
            QCOMPARE(read[0].type, MessageType::Move);
            QCOMPARE(read[0].column, column);
            QCOMPARE(read[0].row, row);
        }
    }
}

void TestWireMessage::namesAndChatReadBack() {
    MessageReader reader;
    const QString caption = QStringLiteral("白方：玩家");
    QList<WireMessage> read = reader.takeRead(toAnsi(NameMessage(caption)));
    QCOMPARE(read.size(), 1);
    QCOMPARE(read[0].type, MessageType::Name);
    QCOMPARE(read[0].text, caption);

    read = reader.takeRead(toAnsi(ChatMessage(QStringLiteral("你好"))));
    QCOMPARE(read.size(), 1);
    QCOMPARE(read[0].type, MessageType::Chat);
    QCOMPARE(read[0].text, QStringLiteral("你好"));

    read = reader.takeRead(toAnsi(NewGameMessage() + LeaveMessage()));
    QCOMPARE(read.size(), 2);
    QCOMPARE(read[0].type, MessageType::NewGame);
    QCOMPARE(read[1].type, MessageType::Leave);
}

QTEST_MAIN(TestWireMessage)
#include "test_wire_message.moc"
