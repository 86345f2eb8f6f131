# Players of net_player in network namespaces, driven through pipes and read from their output
# in $dir. Sourced by two_machines.sh and router.sh, which set $player, $dir and fail().
declare -A tx pid pos
line=
now() { echo $((${EPOCHREALTIME/./} / 1000)); } # ms
deadline() { echo $(($(now) + $1 * 1000)); }
# Player $1 in namespace $2, under the locale $lang (C by default), with the options that follow.
start() {
    mkfifo "$dir/$1.in"
    env -u LC_ALL -u LC_MESSAGES LANG="${lang:-C}" ip netns exec "$2" "$player" "${@:3}" \
        <"$dir/$1.in" >"$dir/$1.out" 2>"$dir/$1.err" &
    pid[$1]=$!
    exec {fd}>"$dir/$1.in"
    tx[$1]=$fd pos[$1]=0
}
say() { printf '%s\n' "$2" >&"${tx[$1]}"; }
stop() { say "$1" quit; wait "${pid[$1]}"; unset "pid[$1]"; }
stop_all() { for p in "${pid[@]}"; do kill "$p" 2>/dev/null; done; wait; }
# Waits until the deadline $3 for a line of player $1, after the one last awaited, to match
# $2; the line is left in $line.
await() {
    local hit
    while :; do
        if hit=$(tail -n +$((pos[$1] + 1)) "$dir/$1.out" | grep -n -m1 -E -- "$2"); then
            pos[$1]=$((pos[$1] + ${hit%%:*})) line=${hit#*:}
            return 0
        fi
        (($(now) < $3)) || fail "$1: no line like '$2' in time"
        sleep 0.05
    done
}
