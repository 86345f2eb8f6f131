#!/usr/bin/env python3
"""Plays matches between two Gomocup engines: freestyle, 15 x 15, both colours of every
opening, and prints the score of the first engine.

An engine is given as a command line; its turn time in milliseconds is sent as
INFO timeout_turn (0 sends nothing, for an engine that keeps its own clock).

    match.py --a "kelvane-bot --gomocup --strength 2" --a-turn 0 \
             --b "pbrain-pentazen" --b-turn 300 --openings 20 \
             --judge pbrain-rapfi --judge-cwd rapfi-run --stones 5
"""

import argparse
import os
import random
import re
import shlex
import subprocess
import sys
import time

SIZE = 15
TRACE = bool(os.environ.get("MATCH_TRACE"))


class Engine:
    def __init__(self, command, turn_ms, match_ms, cwd=None):
        self.command = command
        self.turn_ms = turn_ms
        self.match_ms = match_ms
        self.proc = subprocess.Popen(shlex.split(command), cwd=cwd, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                     text=True, bufsize=1)
        self.left = match_ms
        self.longest = 0.0
        self.total = 0.0
        self.moves = 0
        self.answered = 0.0

    def send(self, line):
        if TRACE:
            print(f"> {self.command[:20]}: {line!r}", file=sys.stderr)
        self.proc.stdin.write(line + "\n")
        self.proc.stdin.flush()

    def reply(self, pattern=r"\d+,\d+"):
        """The next line that answers: engines also print messages and logs of their own."""
        while True:
            line = self.proc.stdout.readline()
            if not line:
                raise RuntimeError(f"{self.command}: ended")
            line = line.strip()
            if TRACE:
                print(f"< {self.command[:20]}: {line!r}", file=sys.stderr)
            if re.fullmatch(pattern, line, re.IGNORECASE):
                return line
            if line.upper().startswith(("ERROR", "UNKNOWN")):
                print(f"  {self.command}: {line}", file=sys.stderr)

    def start(self):
        self.send(f"START {SIZE}")
        self.reply("OK")
        if self.turn_ms > 0:
            self.send(f"INFO timeout_turn {self.turn_ms}")
        self.send(f"INFO timeout_match {self.match_ms}")
        self.send("INFO max_memory 268435456")
        self.send("INFO rule 0")

    def move(self, command):
        # Rapfi still reads its input for a moment after it answers: a command sent within
        # that moment is lost, and the game with it.
        time.sleep(max(0.0, self.answered + 0.05 - time.monotonic()))
        if self.match_ms > 0:
            self.send(f"INFO time_left {int(self.left)}")
        began = time.monotonic()
        self.send(command)
        line = self.reply()
        spent = (time.monotonic() - began) * 1000
        self.left -= spent
        self.answered = time.monotonic()
        self.longest = max(self.longest, spent)
        self.total += spent
        self.moves += 1
        x, y = (int(v) for v in line.split(","))
        return x, y

    def close(self):
        try:
            self.send("END")
            self.proc.wait(timeout=2)
        except Exception:
            self.proc.kill()
            self.proc.wait()


def five(board, x, y):
    color = board[y][x]
    for dx, dy in ((1, 0), (0, 1), (1, 1), (1, -1)):
        run = 1
        for sign in (-1, 1):
            cx, cy = x + sign * dx, y + sign * dy
            while 0 <= cx < SIZE and 0 <= cy < SIZE and board[cy][cx] == color:
                run += 1
                cx, cy = cx + sign * dx, cy + sign * dy
        if run >= 5:
            return True
    return False


def judged(judge, opening, depth):
    """The judge's score of an opening for the side to move, searched to a fixed depth so
    that the same seed always gives the same openings."""
    judge.send("YXHASHCLEAR")
    judge.send("BOARD")
    to_move = len(opening) % 2 + 1
    for i, (x, y) in enumerate(opening):
        judge.send(f"{x},{y},{1 if i % 2 + 1 == to_move else 2}")
    score = None
    judge.send("DONE")
    while True:
        line = judge.proc.stdout.readline()
        if not line:
            raise RuntimeError(f"{judge.command}: ended")
        found = re.search(r"Eval (\S+)", line)
        if found:
            # A won or lost position shows as a mate distance, not a number: never even.
            score = int(found.group(1)) if re.fullmatch(r"-?\d+", found.group(1)) else None
        if re.fullmatch(r"\d+,\d+", line.strip()):
            return score


def openings(count, seed, stones=4, judge=None, depth=16, margin=80):
    """Stones in the middle 5 x 5, black and white in turn. Such close openings favour the
    side to move: with four stones black wins nearly every game between equal engines. With
    a judge (Rapfi) only those it scores within the margin at a fixed depth are kept; five
    stones, white to move, are the ones it finds even most often. Each is played with both
    colours."""
    rng = random.Random(seed)
    result, seen = [], set()
    if judge:
        judge.send(f"START {SIZE}")
        judge.reply("OK")
        judge.send(f"INFO MAX_DEPTH {depth}")
        judge.send("INFO timeout_turn 100000")
        judge.send("INFO rule 0")
    # Bounded: a margin too narrow for the openings asked fails rather than running on.
    for _ in range(count * 400):
        if len(result) == count:
            break
        cells = rng.sample([(x, y) for x in range(5, 10) for y in range(5, 10)], stones)
        key = tuple(cells)
        if key in seen:
            continue
        seen.add(key)
        score = judged(judge, cells, depth) if judge else 0
        if score is not None and abs(score) <= margin:
            result.append(cells)
    if judge:
        judge.close()
    if len(result) < count:
        raise RuntimeError(f"only {len(result)} openings within {margin}")
    return result


def play(black, white, opening, log):
    """1 when black wins, 0 when white does, 0.5 for a full board."""
    board = [[0] * SIZE for _ in range(SIZE)]
    for i, (x, y) in enumerate(opening):
        board[y][x] = 1 if i % 2 == 0 else 2
    engines = {1: black, 2: white}
    for engine in engines.values():
        engine.start()
    first = {1: True, 2: True}
    last = None
    color = len(opening) % 2 + 1
    for _ in range(SIZE * SIZE - len(opening)):
        engine = engines[color]
        if first[color]:
            lines = ["BOARD"]
            lines += [f"{x},{y},{1 if board[y][x] == color else 2}"
                      for x, y in opening]
            # Moves after the opening, in order, as the board of this engine sees them.
            lines += [f"{x},{y},{1 if board[y][x] == color else 2}" for x, y in log]
            lines.append("DONE")
            x, y = engine.move("\n".join(lines))
            first[color] = False
        else:
            x, y = engine.move(f"TURN {last[0]},{last[1]}")
        if not (0 <= x < SIZE and 0 <= y < SIZE) or board[y][x] != 0:
            print(f"  illegal move {x},{y} by {engine.command}", file=sys.stderr)
            return 0 if color == 1 else 1
        board[y][x] = color
        log.append((x, y))
        if five(board, x, y):
            return 1 if color == 1 else 0
        last = (x, y)
        color = 3 - color
    return 0.5


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--a", required=True, help="command of the engine scored")
    parser.add_argument("--b", required=True, help="command of its opponent")
    parser.add_argument("--a-turn", type=int, default=0)
    parser.add_argument("--b-turn", type=int, default=0)
    parser.add_argument("--a-cwd")
    parser.add_argument("--b-cwd")
    parser.add_argument("--match-ms", type=int, default=0, help="INFO timeout_match, 0: none")
    parser.add_argument("--openings", type=int, default=20)
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--name", default="")
    parser.add_argument("--stones", type=int, default=4, help="stones of each opening")
    parser.add_argument("--judge", help="Rapfi's command line: keep only even openings")
    parser.add_argument("--judge-cwd")
    parser.add_argument("--margin", type=int, default=80, help="of the judge's score")
    args = parser.parse_args()

    score = games = 0
    # Points of engine a by its colour: games between near-equal engines mostly go to black.
    by_colour = {"black": [0.0, 0], "white": [0.0, 0]}
    stats = {}
    judge = Engine(args.judge, 0, 0, args.judge_cwd) if args.judge else None
    chosen = openings(args.openings, args.seed, args.stones, judge, margin=args.margin)
    for number, opening in enumerate(chosen):
        for a_black in (True, False):
            a = Engine(args.a, args.a_turn, args.match_ms, args.a_cwd)
            b = Engine(args.b, args.b_turn, args.match_ms, args.b_cwd)
            black, white = (a, b) if a_black else (b, a)
            log = []
            try:
                result = play(black, white, opening, log)
            finally:
                a.close()
                b.close()
            points = result if a_black else 1 - result
            score += points
            games += 1
            tally = by_colour["black" if a_black else "white"]
            tally[0] += points
            tally[1] += 1
            for name, engine in (("a", a), ("b", b)):
                s = stats.setdefault(name, [0.0, 0, 0.0])
                s[0] += engine.total
                s[1] += engine.moves
                s[2] = max(s[2], engine.longest)
            # The stones follow, so that the games can be replayed: opening | moves.
            print(f"{args.name} opening {number} a={'black' if a_black else 'white'}: "
                  f"{points} after {len(log)} moves; a {score}/{games} | "
                  + " ".join(f"{x},{y}" for x, y in opening) + " | "
                  + " ".join(f"{x},{y}" for x, y in log), flush=True)
    for name in ("a", "b"):
        total, moves, longest = stats[name]
        print(f"{args.name} {name}: {total / max(moves, 1):.0f} ms a move on average, "
              f"longest {longest:.0f} ms")
    print(f"{args.name} a as black: {by_colour['black'][0]} / {by_colour['black'][1]}, "
          f"as white: {by_colour['white'][0]} / {by_colour['white'][1]}")
    print(f"{args.name} score of a: {score} / {games} = {100 * score / games:.1f} %")


if __name__ == "__main__":
    main()
