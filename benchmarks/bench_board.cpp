#include "game/CheckFive.h"
#include "ui/BoardPicture.h"

#include <benchmark/benchmark.h>

#include <random>

using namespace kelvane;

namespace {

Board randomHalfFullBoard() {
    // Seeded, and checked free of a black five so the scan runs to its end.
    std::mt19937 random(7);
    Board board;
    do {
        board.clear();
        for (int placed = 0; placed < 112;) {
            const int c = static_cast<int>(random() % 15) + 1,
                      r = static_cast<int>(random() % 15) + 1;
            if (board.at(c, r) == Empty) {
                board.set(c, r, static_cast<std::int16_t>(placed % 2 + 1));
                ++placed;
            }
        }
    } while (CheckFive(board, Black) != 0);
    return board;
}

Board fullBoardWithoutFive() {
    Board board;
    for (int c = 1; c <= BoardSize; ++c)
        for (int r = 1; r <= BoardSize; ++r)
            board.set(c, r, static_cast<std::int16_t>((c / 2 + r) % 2 + 1));
    return board;
}

void checkFive(benchmark::State& state, const Board& board) {
    for (auto _ : state)
        benchmark::DoNotOptimize(CheckFive(board, Black));
}

void BM_CheckFiveEmpty(benchmark::State& state) {
    checkFive(state, Board{});
}
void BM_CheckFiveHalfFull(benchmark::State& state) {
    checkFive(state, randomHalfFullBoard());
}
void BM_CheckFiveFull(benchmark::State& state) {
    checkFive(state, fullBoardWithoutFive());
}

void BM_DrawBoardFull(benchmark::State& state) {
    BoardPicture picture;
    const Board board = fullBoardWithoutFive();
    for (auto _ : state)
        picture.showStones(board);
}

} // namespace

BENCHMARK(BM_CheckFiveEmpty);
BENCHMARK(BM_CheckFiveHalfFull);
BENCHMARK(BM_CheckFiveFull);
BENCHMARK(BM_DrawBoardFull)->Unit(benchmark::kMicrosecond);
