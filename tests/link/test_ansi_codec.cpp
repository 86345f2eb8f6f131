// GBK conversion at the edge of the wire: exact bytes, hostile input, cut characters.

#include "link/AnsiCodec.h"

#include <QRandomGenerator>
#include <QTest>

using namespace kelvane;

namespace {

QByteArray bytes(std::initializer_list<int> values) {
    QByteArray result;
    for (int value : values) {
        result.append(static_cast<char>(value));
    }
    return result;
}

} // namespace

class TestAnsiCodec : public QObject {
    Q_OBJECT

private slots:
    void encodesChineseAsGbk_data();
    void encodesChineseAsGbk();
    void coordinateCharactersAreSingleBytes();
    void unencodableCharactersBecomeQuestionMarks_data();
    void unencodableCharactersBecomeQuestionMarks();
    void zeroBytesSurviveBothWays();
    void invalidBytesDecodeToReplacement_data();
    void invalidBytesDecodeToReplacement();
    void randomBytesNeverBreakTheDecoder();
    void longTextRoundTrips();
    void oneCodecConvertsManyStrings();
    void endsInsideCharacter_data();
    void endsInsideCharacter();
};

void TestAnsiCodec::encodesChineseAsGbk_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("gbk");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("你好") << QStringLiteral("你好") << bytes({0xC4, 0xE3, 0xBA, 0xC3});
    QTest::newRow("白方：") << QStringLiteral("白方：")
                            << bytes({0xB0, 0xD7, 0xB7, 0xBD, 0xA3, 0xBA});
    QTest::newRow("黑方：") << QStringLiteral("黑方：")
                            << bytes({0xBA, 0xDA, 0xB7, 0xBD, 0xA3, 0xBA});
    QTest::newRow("玩家") << QStringLiteral("玩家") << bytes({0xCD, 0xE6, 0xBC, 0xD2});
    QTest::newRow("mixed") << QStringLiteral("ok你") << bytes({'o', 'k', 0xC4, 0xE3});
    QTest::newRow("euro, code page 936's single byte") << QStringLiteral("€") << bytes({0x80});
}

void TestAnsiCodec::encodesChineseAsGbk() {
    QFETCH(QString, text);
    QFETCH(QByteArray, gbk);
    QCOMPARE(toAnsi(text), gbk);
    QCOMPARE(fromAnsi(gbk), text);
}

void TestAnsiCodec::coordinateCharactersAreSingleBytes() {
    for (int code = 1; code <= 15; ++code) {
        const QString text(QChar(static_cast<char16_t>(code)));
        QCOMPARE(toAnsi(text), bytes({code}));
        QCOMPARE(fromAnsi(bytes({code})), text);
    }
}

void TestAnsiCodec::unencodableCharactersBecomeQuestionMarks_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("gbk");
    QTest::newRow("Hangul") << QStringLiteral("a가b") << QByteArray("a?b");
    QTest::newRow("Thai") << QStringLiteral("ก你") << bytes({'?', 0xC4, 0xE3});
    // A character outside the BMP is one "?", not one per UTF-16 unit.
    QTest::newRow("emoji") << QStringLiteral("x😀y") << QByteArray("x?y");
    QTest::newRow("two emoji") << QStringLiteral("😀😀") << QByteArray("??");
    QTest::newRow("lone high surrogate") << QString(QChar(0xD800)) + "z" << QByteArray("?z");
    QTest::newRow("lone low surrogate") << "z" + QString(QChar(0xDC00)) << QByteArray("z?");
    QTest::newRow("high surrogate at the end") << "z" + QString(QChar(0xD83D)) << QByteArray("z?");
}

void TestAnsiCodec::unencodableCharactersBecomeQuestionMarks() {
    QFETCH(QString, text);
    QFETCH(QByteArray, gbk);
    QCOMPARE(toAnsi(text), gbk);
}

void TestAnsiCodec::zeroBytesSurviveBothWays() {
    const QString text = QStringLiteral("a") + QChar(0) + QStringLiteral("你") + QChar(0);
    const QByteArray gbk = bytes({'a', 0, 0xC4, 0xE3, 0});
    QCOMPARE(toAnsi(text), gbk);
    QCOMPARE(fromAnsi(gbk), text);
}

void TestAnsiCodec::invalidBytesDecodeToReplacement_data() {
    QTest::addColumn<QByteArray>("gbk");
    QTest::addColumn<QString>("text");
    const QChar fffd(0xFFFD);
    QTest::newRow("0xFF") << bytes({0xFF}) << QString(fffd);
    QTest::newRow("lead byte cut at the end") << bytes({'a', 0xC4}) << "a" + QString(fffd);
    QTest::newRow("lead byte before a control byte")
        << bytes({0x81, 0x0A, 'b'}) << QString(fffd) + "\nb";
    QTest::newRow("invalid between valid")
        << bytes({0xC4, 0xE3, 0xFF, 0xBA, 0xC3}) << QStringLiteral("你") + fffd + "好";
    QTest::newRow("run of invalid bytes") << bytes({0xFF, 0xFF, 0xFF}) << QString(3, fffd);
}

void TestAnsiCodec::invalidBytesDecodeToReplacement() {
    QFETCH(QByteArray, gbk);
    QFETCH(QString, text);
    QCOMPARE(fromAnsi(gbk), text);
}

void TestAnsiCodec::randomBytesNeverBreakTheDecoder() {
    QRandomGenerator random(936);
    AnsiCodec codec;
    for (int round = 0; round < 2000; ++round) {
        QByteArray garbage(random.bounded(64), Qt::Uninitialized);
        for (char& byte : garbage) {
            byte = static_cast<char>(random.bounded(256));
        }
        const QString text = codec.decode(garbage);
        // Each byte gives at most one UTF-16 unit, and nothing is silently swallowed.
        QVERIFY(text.size() <= garbage.size());
        QVERIFY(text.size() * 2 >= garbage.size());
        // What decodes re-encodes without growing: "?" or U+FFFD never expand a byte.
        QVERIFY(codec.encode(text).size() <= 2 * garbage.size());
    }
}

void TestAnsiCodec::longTextRoundTrips() {
    const QString text = QStringLiteral("五子棋 gobang 你好！").repeated(50000);
    const QByteArray gbk = toAnsi(text);
    QCOMPARE(gbk.size(), qsizetype(50000) * (6 * 2 + 8)); // six Chinese characters, eight ASCII
    QCOMPARE(fromAnsi(gbk), text);
}

void TestAnsiCodec::oneCodecConvertsManyStrings() {
    AnsiCodec codec;
    // A cut lead byte must not leak into the next conversion.
    QCOMPARE(codec.decode(bytes({0xC4})), QString(QChar(0xFFFD)));
    QCOMPARE(codec.decode(bytes({0xE3})), QString(QChar(0xFFFD)));
    QCOMPARE(codec.decode(bytes({0xC4, 0xE3})), QStringLiteral("你"));
    QCOMPARE(codec.encode(QStringLiteral("好")), bytes({0xBA, 0xC3}));
    QCOMPARE(codec.encode(QStringLiteral("ok")), QByteArray("ok"));
}

void TestAnsiCodec::endsInsideCharacter_data() {
    QTest::addColumn<QByteArray>("gbk");
    QTest::addColumn<int>("from");
    QTest::addColumn<bool>("cut");
    QTest::newRow("empty") << QByteArray() << 0 << false;
    QTest::newRow("ascii") << QByteArray("ok") << 0 << false;
    QTest::newRow("lone lead") << bytes({0xC4}) << 0 << true;
    QTest::newRow("whole character") << bytes({0xC4, 0xE3}) << 0 << false;
    QTest::newRow("second character cut") << bytes({0xC4, 0xE3, 0xBA}) << 0 << true;
    QTest::newRow("trail in the lead range is a trail") << bytes({0x81, 0x81}) << 0 << false;
    QTest::newRow("then a real lead") << bytes({0x81, 0x81, 0x81}) << 0 << true;
    QTest::newRow("0x80 and 0xFF are no leads") << bytes({0x80, 0xFF}) << 0 << false;
    QTest::newRow("scan starts at from") << bytes({'5', 0xC4}) << 1 << true;
    QTest::newRow("pairing follows from") << bytes({'x', 0x81, 0x81}) << 1 << false;
    QTest::newRow("a different start pairs differently") << bytes({'x', 0x81, 0x81}) << 2 << true;
    QTest::newRow("from at the end") << bytes({0xC4}) << 1 << false;
}

void TestAnsiCodec::endsInsideCharacter() {
    QFETCH(QByteArray, gbk);
    QFETCH(int, from);
    QFETCH(bool, cut);
    QCOMPARE(kelvane::endsInsideCharacter(gbk, from), cut);
}

QTEST_MAIN(TestAnsiCodec)
#include "test_ansi_codec.moc"
