#!/bin/sh
# Measures kelvane-bot against two engines we did not write, built from their public
# sources at pinned commits outside this repository, and its strengths against each other.
# Run on demand, never in CI; it takes hours with the defaults.
#
#   benchmarks/strength/run.sh [BUILD_DIR [WORK_DIR]]
#
# BUILD_DIR holds bin/kelvane-bot (default: build, configured Release); WORK_DIR receives the
# clones and builds of the other engines (default: $HOME/.cache/kelvane-strength).
# OPENINGS (default 20) openings are each played with both colours; PENTAZEN_URL, RAPFI_URL
# and NETWORKS_URL may name local copies of the repositories.
set -eu

here=$(cd "$(dirname "$0")" && pwd)
build=$(cd "${1:-build}" && pwd)
work=${2:-${HOME}/.cache/kelvane-strength}
openings=${OPENINGS:-20}
bot=$build/bin/kelvane-bot

PENTAZEN_URL=${PENTAZEN_URL:-https://github.com/sun-yuliang/PentaZen.git}
PENTAZEN_COMMIT=fa37343094b6df02dbc57e474916788370bc9728 # 0.4.18
RAPFI_URL=${RAPFI_URL:-https://github.com/dhbloo/rapfi.git}
RAPFI_COMMIT=3aedf3a2ab0ab710a9f3d00e57d5287ceb864894 # 0.43.02
NETWORKS_URL=${NETWORKS_URL:-https://github.com/dhbloo/rapfi-networks.git}
NETWORKS_COMMIT=918b757a129258e9e765f77fe17d507c2bb1a60b

checkout() { # url commit dir
    if [ ! -d "$3/.git" ]; then
        git clone --quiet "$1" "$3"
    fi
    git -C "$3" checkout --quiet "$2"
}

mkdir -p "$work"
[ -x "$bot" ] || cmake --build "$build" --target kelvane-bot

# PentaZen: its line tables are generated first, for free style and for the standard rule.
pz=$work/PentaZen
if [ ! -x "$pz/pentazen" ]; then
    checkout "$PENTAZEN_URL" "$PENTAZEN_COMMIT" "$pz"
    (
        cd "$pz/src/pattern"
        g++ -O2 -std=c++17 -o "$work/pattern-f" line.cpp main.cpp
        sed 's/TARGET_RULE    = FREESTYLE/TARGET_RULE    = STANDARD/' type.h > "$work/type-s.h"
        mkdir -p "$work/pattern-s" && cp line.cpp line.h main.cpp "$work/pattern-s/"
        cp "$work/type-s.h" "$work/pattern-s/type.h"
        g++ -O2 -std=c++17 -o "$work/pattern-s/pattern" "$work/pattern-s/line.cpp" \
            "$work/pattern-s/main.cpp"
        "$work/pattern-f" > ../pattern_15f.h
        "$work/pattern-s/pattern" > ../pattern_15s.h
    )
    (cd "$pz/src" && g++ -O3 -std=c++17 -DNDEBUG -fno-rtti -o ../pentazen board.cpp main.cpp \
        misc.cpp movegen.cpp protocol.cpp search.cpp thread.cpp tt.cpp -lpthread)
fi

# Rapfi with its classical evaluation: no network, the classical weights and their config.
rapfi=$work/rapfi
if [ ! -x "$rapfi/Rapfi/build/pbrain-rapfi" ]; then
    checkout "$RAPFI_URL" "$RAPFI_COMMIT" "$rapfi"
    cmake -S "$rapfi/Rapfi" -B "$rapfi/Rapfi/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DNO_COMMAND_MODULES=ON
    cmake --build "$rapfi/Rapfi/build"
fi
# Only the classical weights and the configurations: the networks are large.
if [ ! -d "$work/rapfi-networks/.git" ]; then
    git clone --quiet --no-checkout "$NETWORKS_URL" "$work/rapfi-networks"
fi
git -C "$work/rapfi-networks" checkout --quiet "$NETWORKS_COMMIT" -- classical config-example
run=$work/rapfi-run
mkdir -p "$run"
cp "$work/rapfi-networks/classical/model220723.bin" "$run/"
cp "$work/rapfi-networks/config-example/gomocalc-classical220723.toml" "$run/config.toml"

# Each match's games are kept in $work/logs, for fit.sh.
mkdir -p "$work/logs"
match() { # name, then the arguments of match.py
    name=$1
    shift
    log=$work/logs/$(echo "$name" | tr -c 'A-Za-z0-9\n' '-').txt
    # Openings Rapfi judges even, so that both colours of each tell the engines apart.
    python3 "$here/match.py" --openings "$openings" --name "$name" --stones 5 \
        --judge "$rapfi/Rapfi/build/pbrain-rapfi" --judge-cwd "$run" "$@" > "$log"
    tail -4 "$log"
}

# kelvane-bot keeps its own clock (the strength's cap); the others get theirs by INFO.
match "strength 2 vs PentaZen 300 ms" --a "$bot --gomocup --strength 2" \
    --b "$pz/pentazen" --b-turn 300
match "strength 2 vs Rapfi classical 50 ms" --a "$bot --gomocup --strength 2" \
    --b "$rapfi/Rapfi/build/pbrain-rapfi" --b-turn 50 --b-cwd "$run"
# What level looks like on these openings: the reference against itself.
match "Rapfi classical 50 ms vs itself" --a "$rapfi/Rapfi/build/pbrain-rapfi" --a-turn 50 \
    --a-cwd "$run" --b "$rapfi/Rapfi/build/pbrain-rapfi" --b-turn 50 --b-cwd "$run"
# The two references against each other: how hard the PentaZen match is.
match "Rapfi classical 50 ms vs PentaZen 300 ms" --a "$rapfi/Rapfi/build/pbrain-rapfi" \
    --a-turn 50 --a-cwd "$run" --b "$pz/pentazen" --b-turn 300
match "strength 2 vs strength 1" --a "$bot --gomocup --strength 2" \
    --b "$bot --gomocup --strength 1"
match "strength 3 vs strength 2" --a "$bot --gomocup --strength 3" \
    --b "$bot --gomocup --strength 2"
