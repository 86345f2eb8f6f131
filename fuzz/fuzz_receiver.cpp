// Fuzz target of the receiving side: arbitrary bytes, cut into arbitrary reads, go into a
// whole player, linked over loopback (session, controller, board picture, labels, record),
// with substitute sound, message boxes and program end. After every input the player must
// agree with a game model fed the same messages, and hold only legal state.
//
// Input: byte 0 chooses the player's colour and how reads are delivered, byte 1 the number
// of cuts, then one length byte per cut, then the stream itself.
#include "support/TestPlayer.h"

#include "app/Captions.h"
#include "game/GameModel.h"
#include "link/AnsiCodec.h"
#include "link/MessageReader.h"

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

// What the player must show after acting on the messages, worked out by a model of its own.
struct Model {
    GameModel game;
    bool left = false;
    int moves = 0;
    QString heSays, he, black, white;

    void act(const WireMessage& message) {
        switch (message.type) {
        case MessageType::Move:
            if (const auto placed = game.peerMove({message.column, message.row})) {
                ++moves;
                if (placed->wins)
                    game.recordWin(placed->color);
            }
            break;
        case MessageType::Name:
            he = message.text.mid(captions::PrefixLength) + captions::Says;
            (game.myColor() == Black ? white : black) = message.text;
            break;
        case MessageType::NewGame:
            game.newGame();
            break;
        case MessageType::Leave:
            left = true;
            game.linkEnded();
            break;
        case MessageType::Chat:
            heSays = message.text;
            break;
        }
    }
};

void checkAgrees(TestPlayer& side, const Model& model, int boxesBefore, int decidedBefore) {
    const GameModel& game = side.model();
    for (int c = 1; c <= BoardSize; ++c)
        for (int r = 1; r <= BoardSize; ++r)
            check(game.board().at(c, r) == model.game.board().at(c, r), "the board has every move");
    const Record& record = game.record();
    check(record.WinCount(Black) + record.WinCount(White) ==
              record.LossCount(Black) + record.LossCount(White),
          "every win is some colour's loss");
    for (int color : {Black, White}) {
        check(record.WinCount(color) == model.game.record().WinCount(color), "wins booked");
        check(record.LossCount(color) == model.game.record().LossCount(color), "losses booked");
    }
    check(side.sound.plays == model.moves, "one sound per legal move");
    check(side.boxes.texts.size() - boxesBefore ==
              model.game.record().decidedGames() - decidedBefore,
          "one box per loss");
    check(side.myTurn() == model.game.myTurn(), "the turn, as the board shows it");
    check(side.unlinked() == model.left, "the link state");
    check(side.caption("labHeSay") == model.heSays, "the latest chat line");
    check(side.caption("labHe") == model.he, "the peer's name");
    check(side.caption("labBlack") == model.black, "black's label");
    check(side.caption("labWhite") == model.white, "white's label");
}

// Gives the player turns of its event loop until it has acted on everything; a player that
// never catches up is a fault too.
void drain(TestPlayer& side, qsizetype pendingBytes) {
    for (qsizetype turns = 0; !side->session().caughtUp() || side.sound.playing(); ++turns) {
        check(turns < 4 * pendingBytes + 64, "the player catches up");
        QCoreApplication::processEvents();
    }
}

// One player for every input, as making its windows anew would take most of the time. It
// stays linked over loopback to a peer that says nothing, and each input starts with a new
// game; a leave in the last input ends the link, and the reconnect command links it afresh.
TestPlayer& freshPlayer(bool white) {
    static const quint16 port = freePort();
    static TestPlayer* const side = new TestPlayer(port);
    static QTcpServer* const server = new QTcpServer;
    static QTcpSocket* peer = nullptr;
    if (!side->model().linkUp() || (side->model().myColor() == White) != white) {
        side->click("cmdLink");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete peer;
        peer = nullptr;
        if (white) {
            server->close();
            check(server->listen(QHostAddress::LocalHost, port), "a port to host on");
            side->joinAs(QStringLiteral("玩家"), QStringLiteral("127.0.0.1"));
        } else {
            server->close();
            side->hostAs(QStringLiteral("玩家"));
            peer = new QTcpSocket;
            peer->connectToHost(QHostAddress::LocalHost, side->port());
        }
        for (int turns = 0; !side->model().linkUp(); ++turns) {
            check(turns < 100000, "the link comes up");
            QCoreApplication::processEvents();
            if (white && !peer && server->hasPendingConnections())
                peer = server->nextPendingConnection();
        }
    }
    // Each input is a stream of its own: nothing the last one left half-read carries over.
    side->player->session().forgetReceived();
    side->player->session().handleRead("3");
    drain(*side, 1);
    side->sound.plays = 0;
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
    const int boxesBefore = int(side.boxes.texts.size());
    const int decidedBefore = side.model().record().decidedGames();
    Model model{side.model(), false, 0, side.caption("labHeSay"), side.caption("labHe"),
                side.caption("labBlack"), side.caption("labWhite")};

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
            side->session().handleRead(input.reads[next++]);
    };
    if (input.options & ReadDuringLossBox)
        side.boxes.whileOpen = [&](const QString&) { deliverNext(); };

    while (next < input.reads.size()) {
        deliverNext();
        if (input.options & DrainEachRead)
            drain(side, bytes);
    }
    drain(side, bytes);
    side.boxes.whileOpen = nullptr;
    checkAgrees(side, model, boxesBefore, decidedBefore);
    check(side.end.ends == 0, "nothing a peer sends ends the program");
    return 0;
}
