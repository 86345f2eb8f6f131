// The bytes each message puts on the wire, and how the reader frames what arrives: coalesced
// and split reads, GBK characters cut at the end of a read, hostile bytes. Random bytes are
// the fuzz target's.

#include "link/AnsiCodec.h"
#include "link/MessageReader.h"
#include "link/WireMessage.h"

#include <QTest>

using namespace kelvane;

namespace {

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// One line per message: its type digit, then "column row" of a move or the decoded text
// ("1 3 12", "2白方：玩家", "3", "5ok"), so that a whole sequence of reads compares at once.
QStringList readAll(const QList<QByteArray>& reads) {
    MessageReader reader;
    QStringList lines;
    for (const QByteArray& read : reads)
        for (const WireMessage& message : reader.takeRead(read))
            lines << QChar(char(message.type)) +
                         (message.type == MessageType::Move
                              ? QString(" %1 %2").arg(message.column).arg(message.row)
                              : message.text);
    return lines;
}

} // namespace

class TestWireProtocol : public QObject {
    Q_OBJECT

private slots:
    void messageBytes_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<QString>("readBack");
        const auto row = [](const QString& message, const char* wire, const QString& readBack) {
            QTest::newRow(wire) << message << hex(wire) << readBack;
        };
        row(MoveMessage(3, 12), "31030C", "1 3 12");
        row(MoveMessage(15, 1), "310F01", "1 15 1");
        row(NameMessage("白方：玩家"), "32B0D7B7BDA3BACDE6BCD2", "2白方：玩家");
        row(NameMessage("黑方："), "32BADAB7BDA3BA", "2黑方：");
        row(ChatMessage("你好"), "35C4E3BAC3", "5你好");
        row(ChatMessage(" ok "), "35206F6B20", "5 ok ");
        row(ChatMessage(QString()), "35", "5");
        row(NewGameMessage(), "33", "3");
        row(LeaveMessage(), "34", "4");
        // Code page 936 details: the euro is one byte, a zero byte passes, and what GBK lacks
        // (Hangul, an emoji, lone surrogates) is one "?" per character.
        row(ChatMessage(QString("€") + QChar(0)), "358000", QString("5€") + QChar(0));
        row(ChatMessage(QString("가😀") + QChar(0xD800) + "z" + QChar(0xDC00)), "353F3F3F7A3F",
            "5???z?");
    }

    void messageBytes() {
        QFETCH(QString, message);
        QFETCH(QByteArray, wire);
        QFETCH(QString, readBack);
        QCOMPARE(toAnsi(message), wire);
        QCOMPARE(readAll({wire}), QStringList{readBack});
    }

    void reads_data() {
        QTest::addColumn<QList<QByteArray>>("reads");
        QTest::addColumn<QStringList>("messages");
        const auto row = [](const char* name, std::initializer_list<const char*> hexReads,
                            const QStringList& messages) {
            QList<QByteArray> reads;
            for (const char* read : hexReads)
                reads << hex(read);
            QTest::newRow(name) << reads << messages;
        };
        const QString fffd(QChar(0xFFFD));
        row("empty read", {""}, {});
        row("move then new game coalesced", {"31030C33"}, {"1 3 12", "3"});
        row("two moves coalesced", {"31030C310F01"}, {"1 3 12", "1 15 1"});
        row("chat swallows the move after it", {"356F6B31030C"},
            {QString("5ok1") + QChar(3) + QChar(12)});
        row("move split after its type", {"31", "", "030C"}, {"1 3 12"});
        row("move split after its column", {"3103", "0C34"}, {"1 3 12", "4"});
        row("chat split between characters is two chats", {"35C4E3", "BAC3"}, {"5你"});
        row("chat cut inside a character waits for the rest", {"35C4E3BA", "C33334"}, {"5你好34"});
        row("a cut character ends where the next read cannot finish it", {"35C4E3BAC381", "310707"},
            {"5你好" + fffd, "1 7 7"});
        row("name cut twice", {"32B0D7B7", "BDA3BACDE6BC", "D2"}, {"2白方：玩家"});
        row("chat after a move, cut", {"31030C35C4", "E3"}, {"1 3 12", "5你"});
        row("trail byte in the lead range ends the chat", {"358181", "33"},
            {"5" + QString(QChar(0x4E96)), "3"});
        row("unknown type drops its read only", {"3961626333", "33"}, {"3"});
        row("zero byte is no type", {"0033"}, {});
        row("unknown type after a move", {"31030C3933"}, {"1 3 12"});
        row("coordinates 0 and 16 dropped", {"31000C33", "310300", "31100C", "310310"}, {"3"});
        row("0xFF coordinates dropped", {"31FFFF310101"}, {"1 1 1"});
        row("chat that is not GBK", {"35FF80FF810A"}, {"5" + fffd + "€" + fffd + fffd + "\n"});
    }

    void reads() {
        QFETCH(QList<QByteArray>, reads);
        QFETCH(QStringList, messages);
        QCOMPARE(readAll(reads), messages);
    }
};

QTEST_MAIN(TestWireProtocol)
#include "test_wire_protocol.moc"
