#!/usr/bin/env python3
"""Labels positions with a Gomocup engine's judgement: for each line of moves "x,y x,y ...",
black first, prints "moves|answer|eval", the engine's evaluation from the side to move's
view after a search to a fixed depth (Rapfi's "Eval" messages; "?" when it gave none).

    label.py ENGINE [--cwd DIR] [--depth 12] < positions > labelled
"""

import argparse
import os
import re
import select
import shlex
import subprocess
import sys
import time


class Engine:
    def __init__(self, command, cwd, depth):
        self.args = (command, cwd, depth)
        self.start()

    def start(self):
        command, cwd, depth = self.args
        self.buffer = b""
        self.proc = subprocess.Popen(shlex.split(command), cwd=cwd, stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, bufsize=0)
        self.send("START 15")
        while (self.readline(5) or "OK").strip() != "OK":
            pass
        for line in ("INFO timeout_turn 100000", "INFO rule 0", f"INFO MAX_DEPTH {depth}"):
            self.send(line)

    def send(self, line):
        self.proc.stdin.write((line + "\n").encode())

    def readline(self, seconds):
        """A line, or None after this many seconds of silence. Not a buffered file: select
        cannot see lines a file object has already read ahead."""
        while b"\n" not in self.buffer:
            if not select.select([self.proc.stdout], [], [], seconds)[0]:
                return None
            chunk = os.read(self.proc.stdout.fileno(), 65536)
            if not chunk:
                return None
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode(errors="replace")

    def judge(self, moves):
        """Rapfi drops commands that arrive while it is still finishing a search, so a
        position that gets no answer is sent again, and the engine restarted at last."""
        for attempt in range(4):
            if attempt == 3:
                self.proc.kill()
                self.proc.wait()
                self.start()
            self.send("BOARD")
            for j, move in enumerate(moves):
                self.send(f"{move},{1 if j % 2 == len(moves) % 2 else 2}")
            self.send("DONE")
            evaluation = "?"
            while True:
                line = self.readline(0.6 if attempt < 3 else 5)
                if line is None:
                    break
                line = line.strip()
                found = re.search(r"Eval ([-+]?\w+)", line)
                if found:
                    evaluation = found.group(1).lstrip("+")
                if re.fullmatch(r"\d+,\d+", line):
                    time.sleep(0.004)
                    return line, evaluation
        return "-", "?"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("engine")
    parser.add_argument("--cwd")
    parser.add_argument("--depth", type=int, default=12)
    args = parser.parse_args()
    engine = Engine(args.engine, args.cwd, args.depth)
    for line in sys.stdin:
        moves = line.split()
        if moves:
            answer, evaluation = engine.judge(moves)
            print(f"{' '.join(moves)}|{answer}|{evaluation}", flush=True)
    engine.send("END")


if __name__ == "__main__":
    main()
