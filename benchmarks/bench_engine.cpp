// Time per move of the computer player at each strength, with its real time caps, on
// mid-game positions reached by seeded quick self-play.
#include "game/CheckFive.h"
#include "game/Engine.h"

#include <benchmark/benchmark.h>

#include <vector>

using namespace kelvane;

namespace {

// The position `moves` plies into a game of two engines on a node budget, or halfway
// through it when it ends sooner, so that it is still open. Black moves after an even count.
Board midGame(int& moves, std::uint64_t seed) {
    Engine quick(DefaultStrength, seed);
    EngineLimits limits = quick.limits();
    limits.timeMs = 0;
    limits.maxNodes = 20000;
    quick.setLimits(limits);
    Board board;
    std::vector<Cell> game;
    for (int color = Black; game.size() < 150; color = opponentOf(color)) {
        const auto move = quick.chooseMove(board, color);
        game.push_back(*move);
        board.set(move->column, move->row, static_cast<std::int16_t>(color));
        if (CheckFive(board, color))
            break;
    }
    moves = std::min<int>(moves, static_cast<int>(game.size()) / 2);
    board.clear();
    for (int i = 0; i < moves; ++i)
        board.set(game[i].column, game[i].row,
                  static_cast<std::int16_t>(i % 2 == 0 ? Black : White));
    return board;
}

void BM_EngineMove(benchmark::State& state) {
    const int strength = static_cast<int>(state.range(0));
    int stones = static_cast<int>(state.range(1));
    const Board board = midGame(stones, 11 + static_cast<std::uint64_t>(stones));
    const int toMove = stones % 2 == 0 ? Black : White;
    Engine engine(strength, 1);
    std::int64_t nodes = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(engine.chooseMove(board, toMove));
        nodes += engine.lastNodes();
    }
    state.counters["stones"] = stones;
    state.counters["nodes/move"] =
        benchmark::Counter(static_cast<double>(nodes), benchmark::Counter::kAvgIterations);
}

} // namespace

BENCHMARK(BM_EngineMove)
    ->ArgNames({"strength", "stones"})
    ->ArgsProduct({{1, 2, 3}, {12, 24, 40}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
