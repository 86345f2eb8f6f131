#include "game/EnginePosition.h"

#include "game/EngineWeights.h"

#include <bit>

namespace kelvane::engine {
namespace {

constexpr int Own = 1;
constexpr int Opp = 2;

// The nine cells of a line, the middle one holding the stone just put there.
using Line = std::array<std::uint8_t, 9>;

bool fiveThroughMiddle(const Line& line) {
    int run = 1;
    for (int j = 3; j >= 0 && line[j] == Own; --j)
        ++run;
    for (int j = 5; j <= 8 && line[j] == Own; ++j)
        ++run;
    return run >= 5;
}

// Fours are counted by their winning cells; a three is a line one stone short of a four,
// a two one stone short of a three. Only fives through the middle stone count.
Shape classify(Line& line, std::array<std::int8_t, 6561>& memo) {
    int code = 0;
    for (int j = 0; j < 9; ++j) {
        if (j != 4)
            code = code * 3 + line[j];
    }
    if (memo[code] >= 0)
        return static_cast<Shape>(memo[code]);
    Shape result = None;
    if (fiveThroughMiddle(line)) {
        result = Five;
    } else {
        int winningCells = 0;
        for (int e = 0; e < 9; ++e) {
            if (line[e] != 0)
                continue;
            line[e] = Own;
            winningCells += fiveThroughMiddle(line);
            line[e] = 0;
        }
        if (winningCells >= 2) {
            result = OpenFour;
        } else if (winningCells == 1) {
            result = Four;
        } else {
            for (int start = 0; start <= 4 && result == None; ++start) {
                bool open = true;
                for (int j = start; j < start + 5; ++j)
                    open = open && line[j] != Opp;
                if (open)
                    result = One;
            }
            for (int e = 0; e < 9 && result != None; ++e) {
                if (line[e] != 0)
                    continue;
                line[e] = Own;
                const Shape next = classify(line, memo);
                line[e] = 0;
                const Shape before = next == OpenFour    ? OpenThree
                                     : next == Four      ? Three
                                     : next == OpenThree ? OpenTwo
                                     : next == Three     ? Two
                                                         : None;
                if (before > result)
                    result = before;
            }
        }
    }
    memo[code] = static_cast<std::int8_t>(result);
    return result;
}

// Both colours' shapes of a line in one byte, black's in the low half, so that updating a
// cell costs one look-up.
struct ShapeTables {
    std::array<std::uint8_t, 65536> shape{};

    ShapeTables() {
        std::array<std::int8_t, 6561> memo;
        memo.fill(-1);
        for (int color = 1; color <= 2; ++color) {
            for (int key = 0; key < 65536; ++key) {
                Line line{};
                line[4] = Own;
                for (int slot = 0; slot < 8; ++slot) {
                    const int value = (key >> (2 * slot)) & 3;
                    line[slot < 4 ? slot : slot + 1] = value == 0 ? 0 : value == color ? Own : Opp;
                }
                shape[key] |= static_cast<std::uint8_t>(classify(line, memo) << (4 * (color - 1)));
            }
        }
    }
};

const ShapeTables& tables() {
    static const ShapeTables instance;
    return instance;
}

struct Zobrist {
    std::array<std::array<std::uint64_t, 2>, CellCount> keys{};
    Zobrist() {
        std::uint64_t state = 0x4b656c76616e6521ULL;
        for (auto& cell : keys) {
            for (auto& key : cell) {
                // splitmix64
                std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
                z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
                z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
                key = z ^ (z >> 31);
            }
        }
    }
};

const Zobrist& zobrist() {
    static const Zobrist instance;
    return instance;
}

// The slot a neighbour at this offset (-4..-1, 1..4) takes in a cell's line key.
constexpr int slotOf(int offset) {
    return offset < 0 ? offset + 4 : offset + 3;
}

// The order in which moves are tried: a cell that makes a four, that is a three already on
// the board, comes far before one that makes an open three, and the loose ones and twos
// hardly count. The position itself is judged by the fitted CellWorth instead.
constexpr std::array<int, 9> ShapeWeight{0, 2, 0, 9, 22, 45, 80, 400, 4000};

int flagBit(ThreatFlag flag) {
    return std::countr_zero(static_cast<unsigned>(flag));
}

} // namespace

Shape lineShape(int color, std::uint16_t key) {
    return static_cast<Shape>(tables().shape[key] >> (4 * (color - 1)) & 15);
}

namespace {

constexpr std::array<CellShape, 6561> combineShapes() {
    std::array<CellShape, 6561> all{};
    for (int code = 0; code < 6561; ++code) {
        int fours = 0, openFours = 0, threes = 0, score = 0;
        bool five = false;
        for (int d = 0, rest = code; d < 4; ++d, rest /= 9) {
            const int shape = rest % 9;
            score += ShapeWeight[shape];
            five = five || shape == Five;
            fours += shape == Four;
            openFours += shape == OpenFour;
            threes += shape == OpenThree;
        }
        // Two threats from one stone: two fours or a four-three win outright, while a double
        // three is worth a little less than its threes, since one answer often meets both.
        if (fours >= 2)
            score += 400;
        if (fours > 0 && threes > 0)
            score += 312;
        if (threes >= 2)
            score -= 17;
        int flags = 0;
        if (five)
            flags |= MakesFive;
        if (openFours > 0 || fours >= 2)
            flags |= MakesOpenFour;
        if (openFours + fours > 0)
            flags |= MakesFour;
        if (threes > 0)
            flags |= MakesOpenThree;
        if (threes >= 2)
            flags |= MakesDoubleThree;
        if (openFours + fours > 0 && threes > 0)
            flags |= MakesFourThree;
        const auto& worth = CellWorth[static_cast<std::size_t>(multisetRank(code))];
        all[code] = {static_cast<std::int16_t>(score), static_cast<std::uint8_t>(flags),
                     worth[0], worth[1]};
    }
    return all;
}

} // namespace

constexpr std::array<CellShape, 6561> CellShapes = combineShapes();

const std::vector<int>& Position::boardCells() {
    static const std::vector<int> cells = [] {
        std::vector<int> all;
        for (int row = 1; row <= BoardSize; ++row) {
            for (int column = 1; column <= BoardSize; ++column)
                all.push_back(toIndex(column, row));
        }
        return all;
    }();
    return cells;
}

Position::Position() {
    undo_.reserve(BoardSize * BoardSize);
    cells_.fill(Wall);
    for (int index : boardCells())
        cells_[index] = 0;
    for (int index : boardCells()) {
        for (int d = 0; d < 4; ++d) {
            std::uint16_t key = 0;
            for (int offset = -4; offset <= 4; ++offset) {
                if (offset != 0)
                    key |= cells_[index + offset * Directions[d]] << (2 * slotOf(offset));
            }
            keys_[index][d] = key;
        }
        rescore(index);
        account(index, +1);
    }
}

void Position::load(const Board& board) {
    *this = Position();
    for (int column = 1; column <= BoardSize; ++column) {
        for (int row = 1; row <= BoardSize; ++row) {
            const int code = board.at(column, row);
            if (code != Empty)
                play(toIndex(column, row), code == BlackStone ? Black : White);
        }
    }
}

constexpr std::array<int, 4> PowersOfNine{1, 9, 81, 729};

void Position::rescore(int index) {
    const auto& shapes = tables().shape;
    for (int c = 0; c < 2; ++c) {
        int code = 0;
        for (int d = 0; d < 4; ++d) {
            const int shape = shapes[keys_[index][d]] >> (4 * c) & 15;
            lines_[index][c][d] = static_cast<std::uint8_t>(shape);
            code += shape * PowersOfNine[d];
        }
        combo_[index][c] = static_cast<std::uint16_t>(code);
    }
}

// Line `direction` through an empty cell changed: only its shape is looked up again.
void Position::reshape(int index, int direction, const ShapeTable& shapes) {
    const auto& table = CellShapes;
    const int both = shapes[keys_[index][direction]];
    for (int c = 0; c < 2; ++c) {
        const int old = lines_[index][c][direction];
        const int now = both >> (4 * c) & 15;
        if (now == old)
            continue;
        lines_[index][c][direction] = static_cast<std::uint8_t>(now);
        const int before = combo_[index][c];
        const int after = before + (now - old) * PowersOfNine[direction];
        combo_[index][c] = static_cast<std::uint16_t>(after);
        toMove_[c] += table[after].toMove - table[before].toMove;
        waiting_[c] += table[after].waiting - table[before].waiting;
        const unsigned changed = table[after].flags ^ table[before].flags;
        for (unsigned bits = changed; bits != 0; bits &= bits - 1) {
            const int bit = std::countr_zero(bits);
            counts_[c][bit] += (table[after].flags >> bit & 1) ? 1 : -1;
        }
    }
}

void Position::account(int index, int sign) {
    const auto& table = CellShapes;
    for (int c = 0; c < 2; ++c) {
        const CellShape& here = table[combo_[index][c]];
        toMove_[c] += sign * here.toMove;
        waiting_[c] += sign * here.waiting;
        for (unsigned bits = here.flags; bits != 0; bits &= bits - 1)
            counts_[c][std::countr_zero(bits)] += sign;
    }
}

// A stone placed at index: the keys of the cells that see it along the four lines, and the
// scores of the empty ones among them, each saved first for the stone's undo.
void Position::touchNeighbours(int index, int color, Undo& saved) {
    const auto& shapes = tables().shape;
    int n = 0;
    for (int d = 0; d < 4; ++d) {
        for (int k = -4; k <= 4; ++k) {
            const int other = index + k * Directions[d];
            if (k == 0 || cells_[other] == Wall)
                continue;
            saved.cells[n++] = {keys_[other][d], combo_[other],
                                {lines_[other][0][d], lines_[other][1][d]}};
            keys_[other][d] |= color << (2 * slotOf(-k));
            // Only this line changed for the cells along it.
            if (cells_[other] == 0)
                reshape(other, d, shapes);
        }
    }
}

void Position::markNear(int index, int sign) {
    for (int dr = -2; dr <= 2; ++dr) {
        for (int dc = -2; dc <= 2; ++dc)
            near_[index + dr * Side + dc] += sign;
    }
}

void Position::play(int index, int color) {
    Undo& saved = undo_.emplace_back();
    saved.toMove = toMove_;
    saved.waiting = waiting_;
    saved.counts = counts_;
    account(index, -1);
    cells_[index] = static_cast<std::uint8_t>(color);
    hash_ ^= zobrist().keys[index][color - 1];
    touchNeighbours(index, color, saved);
    markNear(index, +1);
    history_.push_back(index);
}

// The stone's own cell kept its shapes while it was taken: every later stone is gone, so its
// keys are what they were.
void Position::undo() {
    const int index = history_.back();
    history_.pop_back();
    const int color = cells_[index];
    cells_[index] = 0;
    hash_ ^= zobrist().keys[index][color - 1];
    const Undo& saved = undo_.back();
    int n = 0;
    for (int d = 0; d < 4; ++d) {
        for (int k = -4; k <= 4; ++k) {
            const int other = index + k * Directions[d];
            if (k == 0 || cells_[other] == Wall)
                continue;
            const Saved& cell = saved.cells[n++];
            keys_[other][d] = cell.key;
            combo_[other] = cell.combo;
            lines_[other][0][d] = cell.line[0];
            lines_[other][1][d] = cell.line[1];
        }
    }
    toMove_ = saved.toMove;
    waiting_ = saved.waiting;
    counts_ = saved.counts;
    undo_.pop_back();
    markNear(index, -1);
}

int Position::count(int color, ThreatFlag flag) const {
    return counts_[color - 1][flagBit(flag)];
}

int Position::firstWith(int color, ThreatFlag flag) const {
    if (count(color, flag) == 0)
        return -1;
    for (int index : boardCells()) {
        if (cells_[index] == 0 && (flags(index, color) & flag))
            return index;
    }
    return -1;
}

void Position::collect(int color, std::uint8_t anyFlags, std::vector<int>& out) const {
    for (int index : boardCells()) {
        if (cells_[index] == 0 && (flags(index, color) & anyFlags))
            out.push_back(index);
    }
}

} // namespace kelvane::engine
