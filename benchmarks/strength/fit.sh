#!/bin/sh
# Fits the engine's judgement of quiet positions, src/game/EngineWeights.h, to Rapfi's: every
# position of the games that run.sh keeps in WORK_DIR/logs, the quiet ones, each judged by
# Rapfi's classical evaluation searched to depth 12, two engines at a time. Run run.sh first
# (the more games, the better the fit: the weights in the repository came from about 58,000
# positions); then rebuild and measure again.
#
#   benchmarks/strength/fit.sh [WORK_DIR]
set -eu

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
work=${1:-${HOME}/.cache/kelvane-strength}
out=$work/fit
rapfi=$work/rapfi/Rapfi/build/pbrain-rapfi
mkdir -p "$out"
[ -x "$rapfi" ] || { echo "no Rapfi in $work: run run.sh first" >&2; exit 1; }

g++ -O2 -std=c++20 -I"$repo/src" -o "$out/fit_weights" "$here/fit_weights.cpp" \
    "$repo/src/game/EnginePosition.cpp"

# Each position once, in a fixed random order: the stones before every move but the last.
python3 - "$work"/logs/*.txt > "$out/positions.txt" <<'PY'
import random, re, sys
seen, positions = set(), []
for name in sys.argv[1:]:
    for line in open(name):
        parts = line.rstrip("\n").split(" | ")
        if len(parts) < 3:
            continue
        moves = parts[1].split() + parts[2].split()
        if not all(re.fullmatch(r"\d+,\d+", m) for m in moves):
            continue
        for k in range(4, len(moves) - 1):
            key = frozenset(moves[:k:2]), frozenset(moves[1:k:2])
            if key not in seen:
                seen.add(key)
                positions.append(" ".join(moves[:k]))
random.Random(5).shuffle(positions)
print("\n".join(positions))
PY
"$out/fit_weights" quiet < "$out/positions.txt" > "$out/quiet.txt"
awk 'NR % 2 == 1' "$out/quiet.txt" | python3 "$here/label.py" "$rapfi" --cwd "$work/rapfi-run" \
    > "$out/labelled-1.txt" &
awk 'NR % 2 == 0' "$out/quiet.txt" | python3 "$here/label.py" "$rapfi" --cwd "$work/rapfi-run" \
    > "$out/labelled-2.txt"
wait
cat "$out/labelled-1.txt" "$out/labelled-2.txt" > "$out/labelled.txt"
"$out/fit_weights" fit "$out/labelled.txt" "$repo/src/game/EngineWeights.h"
echo "wrote $repo/src/game/EngineWeights.h from $(wc -l < "$out/labelled.txt") positions"
