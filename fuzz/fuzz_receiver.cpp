// Fuzz target of the receiving side: arbitrary bytes, cut into arbitrary reads, go into a
// whole player (dispatcher, board picture, labels, record) with substitute sound, message
// boxes and program end. After every input the player must agree with a plain model of
// what the messages say, and hold only legal state.
//
// Input: byte 0 chooses the player's colour and how reads are delivered, byte 1 the number
// of cuts, then one length byte per cut, then the stream itself.
#include "support/TestPlayer.h"

#include "app/Captions.h"
#include "game/CheckFive.h"
#include "game/Opening.h"
#include "link/AnsiCodec.h"
#include "link/MessageReader.h"
#include "ui/CaptionLabel.h"

#include <QApplication>
#include <QPushButton>
#include <QRadioButton>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>

using namespace kelvane;
using namespace kelvane::testing;

namespace {

enum Option : uint8_t {
    PlaysWhite = 1,        // join instead of host
    DrainEachRead = 2,     // let the player catch up before the next read arrives
    ReadDuringSound = 4,   // the next read arrives while the move sound plays
    ReadDuringLossBox = 8, // the next read arrives while the loss box is open
};

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

void check(bool holds, const char* what) {
    if (!holds)
        fail(what);
}

struct Input {
    uint8_t options = 0;
    QList<QByteArray> reads;
};

Input cutIntoReads(const uint8_t* data, size_t size) {
    Input input;
    if (size < 2)
        return input;
    input.options = data[0];
    const size_t cuts = data[1] % 32;
    size_t at = 2 + cuts;
    for (size_t i = 0; i < cuts && 2 + i < size; ++i) {
        const size_t length = std::min<size_t>(data[2 + i], at < size ? size - at : 0);
        input.reads.append(QByteArray(reinterpret_cast<const char*>(data + at), qsizetype(length)));
        at += length;
    }
    if (at < size)
        input.reads.append(
            QByteArray(reinterpret_cast<const char*>(data + at), qsizetype(size - at)));
    return input;
}

// What the player must show after acting on the messages, worked out on its own.
struct Model {
    int myColor;
    Board board;
    Record record;
    bool boardEnabled;
    bool left = false;
    int moves = 0;
    QString heSays, he, black, white;

    void act(const WireMessage& message) {
        const int peer = opponentOf(myColor);
        switch (message.type) {
        case MessageType::Move:
            ++moves;
            board.set(message.column, message.row, static_cast<std::int16_t>(peer));
            boardEnabled = CheckFive(board, peer) != peer;
            if (!boardEnabled)
                record.RecordWin(peer);
            break;
        case MessageType::Name:
            he = message.text.mid(captions::PrefixLength) + captions::Says;
            (myColor == Black ? white : black) = message.text;
            break;
        case MessageType::NewGame:
            board.clear();
            if (const auto opens = OpensNewGame(myColor, record))
                boardEnabled = *opens;
            break;
        case MessageType::Leave:
            left = true;
            boardEnabled = false;
            break;
        case MessageType::Chat:
            heSays = message.text;
            break;
        }
    }
};

void checkLegal(const Player& player) {
    for (int c = 1; c <= BoardSize; ++c)
        for (int r = 1; r <= BoardSize; ++r) {
            const int cell = player.board().at(c, r);
            check(cell >= Empty && cell <= WhiteStone, "a cell holds 0, 1 or 2 between messages");
        }
    const Record& record = player.record();
    check(record.WinCount(Black) + record.WinCount(White) ==
              record.LossCount(Black) + record.LossCount(White),
          "every win is some colour's loss");
}

void checkAgrees(TestPlayer& side, const Model& model) {
    Player& player = *side.player;
    MainWindow& window = side.window();
    for (int c = 1; c <= BoardSize; ++c)
        for (int r = 1; r <= BoardSize; ++r)
            check(player.board().at(c, r) == model.board.at(c, r), "the board has every move");
    for (int color : {Black, White}) {
        check(player.record().WinCount(color) == model.record.WinCount(color), "wins booked");
        check(player.record().LossCount(color) == model.record.LossCount(color), "losses booked");
    }
    check(side.sound.plays == model.moves, "one sound per move");
    check(side.boxes.texts.size() == model.record.decidedGames(), "one box per loss");
    check(player.boardTakesClicks() == model.boardEnabled, "the turn");
    check((player.status() == captions::StatusNotConnected) == model.left, "the link state");
    check(window.labHeSay->caption() == model.heSays, "the latest chat line");
    check(window.labHe->caption() == model.he, "the peer's name");
    check(window.labBlack->caption() == model.black, "black's label");
    check(window.labWhite->caption() == model.white, "white's label");
}

// Gives the player turns of its event loop until it has acted on everything; a player that
// never catches up is a fault too.
void drain(Player& player, qsizetype pendingBytes) {
    for (qsizetype turns = 0; !player.caughtUp(); ++turns) {
        check(turns < 4 * pendingBytes + 64, "the player catches up");
        QCoreApplication::sendPostedEvents();
    }
}

// One player for every input, as making its windows anew would take most of the time. Its
// own reconnect command brings it back to the start: the link closed and what it brought
// dropped, a fresh logon dialog, the record at zero. Then, as after the logon and the
// connection but without a socket: the colour chosen, the main window enabled, the status
// connected, the peer's labels empty and a new game on the board.
TestPlayer& freshPlayer(bool white) {
    static TestPlayer* const side = new TestPlayer;
    side->window().cmdLink->click();
    // What the last input's windows left to be deleted later, as the event loop would.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    if (white)
        (*side)->frmLogon()->optClient->click();
    MainWindow& window = side->window();
    window.setEnabled(true);
    window.lblStatus->setCaption(captions::StatusConnected);
    for (CaptionLabel* label : {window.labHe, window.labHeSay, window.labBlack, window.labWhite})
        label->setCaption(QString());
    (*side)->handleRead("3");
    drain(*side->player, 1);
    side->sound = FakeSound{};
    side->boxes = FakeBoxes{};
    return *side;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QT_LOGGING_RULES", "*.debug=false;qt.qpa.*=false");
    // The offscreen platform says so every time the reconnect raises the logon dialog.
    static const QtMessageHandler qtHandler = qInstallMessageHandler(
        [](QtMsgType type, const QMessageLogContext& context, const QString& message) {
            if (!message.contains(QLatin1String("does not support raise()")))
                qtHandler(type, context, message);
        });
    // Never destroyed: libFuzzer ends the process with exit(), and Qt's font caches would
    // be reported as leaks if the application went first.
    static QApplication* const app = new QApplication(*argc, *argv);
    (void)app;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Input input = cutIntoReads(data, size);

    TestPlayer& side = freshPlayer(input.options & PlaysWhite);

    Model model{
        side->MyColor(), Board{}, Record{}, side->boardTakesClicks(), false, 0, {}, {}, {}, {}};
    model.he = side.window().labHe->caption();
    model.heSays = side.window().labHeSay->caption();
    model.black = side.window().labBlack->caption();
    model.white = side.window().labWhite->caption();

    // The link closes with the peer's leave: reads after the one that holds it never come.
    MessageReader oracle;
    qsizetype bytes = 0;
    for (qsizetype i = 0; i < input.reads.size(); ++i) {
        bytes += input.reads[i].size();
        for (const WireMessage& message : oracle.takeRead(input.reads[i])) {
            if (!model.left)
                model.act(message);
        }
        if (model.left) {
            input.reads.resize(i + 1);
            break;
        }
    }

    qsizetype next = 0;
    const auto deliverNext = [&] {
        if (next < input.reads.size())
            side->handleRead(input.reads[next++]);
    };
    if (input.options & ReadDuringSound)
        side.sound.whilePlaying = deliverNext;
    if (input.options & ReadDuringLossBox)
        side.boxes.whileOpen = [&](const QString&) { deliverNext(); };

    while (next < input.reads.size()) {
        deliverNext();
        if (input.options & DrainEachRead) {
            drain(*side.player, bytes);
            checkLegal(*side.player);
        }
    }
    drain(*side.player, bytes);
    checkLegal(*side.player);
    checkAgrees(side, model);
    check(side.end.ends == 0, "nothing a peer sends ends the program");
    return 0;
}
