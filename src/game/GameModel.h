#pragma once

#include "game/Board.h"
#include "game/Record.h"

#include <optional>

namespace kelvane {

// Where the link to the other player stands. Only Connected lets a game be played.
enum class LinkState {
    Idle,         // the program has started and no logon has been confirmed yet
    Waiting,      // hosting: listening for someone to join
    Connecting,   // joining: the connection to the host is being made
    Connected,    // the link is up
    NotConnected, // the link was closed, lost or never made
};

// A stone that was placed, and whether it made five.
struct Placed {
    Cell cell;
    int color = 0;
    bool wins = false;
};

// One player's view of the game: the board, whose turn it is, whether the game is decided,
// the per-colour record, who opens the next game, and whether the link is up. This is the
// only place these facts are kept; the windows only show them.
//
// Both players keep the same record and apply the same rules, so both agree on whose turn
// it is without saying so on the wire. A peer's move is taken only when the rules allow it:
// the peer cannot play out of turn, onto a stone, or after the game is decided.
class GameModel {
public:
    const Board& board() const { return board_; }
    const Record& record() const { return record_; }
    int myColor() const { return myColor_; }
    int peerColor() const { return opponentOf(myColor_); }
    LinkState link() const { return link_; }
    bool linkUp() const { return link_ == LinkState::Connected; }
    // Whether this side's board takes clicks: it is this side's turn.
    bool myTurn() const { return myTurn_; }
    // The colour that made five in the game on the board, else 0.
    int winner() const { return winner_; }

    // A fresh series of games: record at zero, this side black until told otherwise.
    void startSeries();
    void setMyColor(int color) { myColor_ = color; }
    void setLink(LinkState state);
    // The host has taken a joiner: the link is up and the host may move at once.
    void acceptedJoiner();
    // The link went down, by either side's leave or by a failure: nobody can move.
    void linkEnded();

    // This side's stone at `cell`, when the link is up, it is this side's turn, the game is
    // open and the cell is empty; the turn then passes to the peer.
    std::optional<Placed> localMove(Cell cell);
    // The peer's stone at `cell`, under the same rules from the peer's side; the turn then
    // comes to this side unless the peer made five.
    std::optional<Placed> peerMove(Cell cell);
    // Books a decided game, once its result has been shown.
    void recordWin(int winner);
    // Empties the board and gives the first move by the record: black opens after an even
    // number of decided games, white after an odd one.
    void newGame();
    // Takes the turn away until the next new game, as when this side's logon is confirmed.
    void holdTurn() { myTurn_ = false; }

private:
    std::optional<Placed> place(Cell cell, int color);

    Board board_;
    Record record_;
    int myColor_ = Black;
    LinkState link_ = LinkState::Idle;
    bool myTurn_ = false;
    int winner_ = 0;
};

} // namespace kelvane
