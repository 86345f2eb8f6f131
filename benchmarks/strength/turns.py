#!/usr/bin/env python3
"""Finds the turns where kelvane-bot lost its games, then scores a build on those turns: a
check of a change in a minute, where a match takes half an hour.

    turns.py find LOG... --judge pbrain-rapfi --judge-cwd rapfi-run > turns.txt
    turns.py score "kelvane-bot --gomocup" --judge pbrain-rapfi --judge-cwd rapfi-run < turns.txt

`find` reads match.py's logs, where kelvane-bot is engine a, and replays each game it lost
(with --colour, as that colour only; with --under, in fewer moves after the opening) through
the judge. A game's turn is the first one where the judge scores kelvane-bot's position as
not lost before its move and as lost after it or after the answer to it. `score` asks a
build for its move at each turn and counts the positions the judge scores as lost right
after it: fewer is better.
"""

import argparse
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from label import Engine as Judge  # noqa: E402
from match import Engine as Player  # noqa: E402

# Scores at or past this, from the side to move's view, count as won.
DECIDED = 1500


def value(evaluation):
    """The judge's evaluation as a number: M5 is a win in five, -M5 a loss."""
    if evaluation == "?":
        return 0
    losing = evaluation.startswith("-")
    bare = evaluation.lstrip("+-")
    number = 20000 if bare[:1].upper() == "M" else min(int(bare), 20000)
    return -number if losing else number


def lost_games(paths, colour, under):
    line_format = re.compile(r" a=(black|white): ([\d.]+) after (\d+) moves;.*\| (.*) \| (.*)$")
    for path in paths:
        with open(path) as log:
            for line in log:
                found = line_format.search(line.rstrip("\n"))
                if not found:
                    continue
                side, points, length, opening, moves = found.groups()
                if float(points) == 0 and side in colour and int(length) < under:
                    yield side, opening.split(), moves.split()


def find(args, judge):
    for side, opening, moves in lost_games(args.logs, args.colour, args.under):
        stones = opening + moves
        judged = {}

        def ours(count):
            """The judge's score after this many stones, from kelvane-bot's view."""
            if count not in judged:
                sign = 1 if count % 2 == (0 if side == "black" else 1) else -1
                judged[count] = sign * value(judge.judge(stones[:count])[1])
            return judged[count]

        # Black moves after an even number of stones, white after an odd one.
        first = len(opening) + (len(opening) % 2 != (side == "white"))
        for turn in range(first, len(stones) - 1, 2):
            if ours(turn) <= -DECIDED:
                break  # lost before any turn we could find
            # Lost after the move, or after the answer to it where the judge needs that ply.
            if ours(turn + 1) <= -DECIDED or ours(turn + 2) <= -DECIDED:
                print(" ".join(stones[:turn]), flush=True)
                break


def score(args, judge):
    player = Player(args.bot, 0, 0)
    player.start()
    turns = lost = 0
    for line in sys.stdin:
        stones = line.split()
        if not stones:
            continue
        # Gomocup marks the side to move's own stones 1.
        mover = len(stones) % 2
        board = [f"{stone},{1 if j % 2 == mover else 2}" for j, stone in enumerate(stones)]
        x, y = player.move("\n".join(["BOARD", *board, "DONE"]))
        after = value(judge.judge(stones + [f"{x},{y}"])[1])
        turns += 1
        lost += after >= DECIDED
        print(f"{' '.join(stones)}|{x},{y}|{after}", file=sys.stderr, flush=True)
    player.close()
    print(f"lost after its move: {lost} / {turns}")


def main():
    judging = argparse.ArgumentParser(add_help=False)
    judging.add_argument("--judge", required=True)
    judging.add_argument("--judge-cwd")
    judging.add_argument("--depth", type=int, default=12)
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    commands = parser.add_subparsers(dest="command", required=True)
    finding = commands.add_parser("find", parents=[judging])
    finding.add_argument("logs", nargs="+")
    finding.add_argument("--colour", choices=("black", "white", "both"), default="both")
    finding.add_argument("--under", type=int, default=1000)
    scoring = commands.add_parser("score", parents=[judging])
    scoring.add_argument("bot")
    args = parser.parse_args()
    if args.command == "find":
        args.colour = ("black", "white") if args.colour == "both" else (args.colour,)
    judge = Judge(args.judge, args.judge_cwd, args.depth)
    (find if args.command == "find" else score)(args, judge)
    judge.send("END")


if __name__ == "__main__":
    main()
