#!/usr/bin/env bash
# Two network namespaces joined by a veth pair, each with a private system bus, a real
# avahi-daemon and a discovery probe: the probe in "a" hosts, the one in "b" browses.
#   avahi_pair.sh PROBE
set -u
probe=$1
PATH=$PATH:/usr/sbin:/sbin
# What the browser does with the junk is logged at debug level, to read when a check fails.
export QT_LOGGING_RULES=kelvane.discovery.debug=true
skip() { echo "SKIPPED: $*"; exit 77; }
[ "$(id -u)" -eq 0 ] || skip "needs root"
for tool in ip unshare dbus-daemon dbus-send avahi-daemon; do
    command -v "$tool" >/dev/null || skip "no $tool"
done

tmp=$(mktemp -d /tmp/kelvane-avahi.XXXXXX)
id=kv$$
pids=() buses=()
cleanup() {
    exec 3>&- 4>&-
    # The daemons go before their buses: avahi-daemon spins forever when its bus goes first.
    kill "${pids[@]}" 2>/dev/null
    wait "${pids[@]}" 2>/dev/null
    kill "${buses[@]}" 2>/dev/null
    wait
    ip netns del "${id}a" 2>/dev/null
    ip netns del "${id}b" 2>/dev/null
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    tail -n 20 "$tmp"/*/out "$tmp"/*/err "$tmp"/*/avahi.log
    exit 1
}
now_ms() { echo $((${EPOCHREALTIME/./} / 1000)); }
# wait_for SECONDS WHAT COMMAND...: polls COMMAND until it succeeds, failing after SECONDS.
# The limits are generous because Avahi's own probing and announcing run on timers that a
# loaded machine stretches (under ctest -j8 beside a build this test once missed a limit of 5
# or 10 s). Answers to pings keep a tighter one: they show the probe's loop is not stuck, and a
# blocking D-Bus call would hold it for 25 s.
wait_for() {
    local deadline=$(($(now_ms) + $1 * 1000)) what=$2
    shift 2
    until "$@"; do
        (($(now_ms) < deadline)) || fail "$what"
        sleep 0.05
    done
}
bus() { echo "unix:path=$tmp/$1/bus"; }

ip netns add "${id}a" 2>/dev/null || skip "cannot make network namespaces"
ip netns add "${id}b" || fail "second namespace"
ip link add "${id}a" netns "${id}a" type veth peer name "${id}b" netns "${id}b" || fail "veth"
for side in a b; do
    ns=$id$side
    mkdir -p "$tmp/$side/services"
    ip -n "$ns" link set lo up
    ip -n "$ns" addr add "10.213.0.$([ $side = a ] && echo 1 || echo 2)/24" dev "$ns"
    ip -n "$ns" link set "$ns" up
    sed -n '/<busconfig>/,/<\/policy>/p' /usr/share/dbus-1/system.conf |
        sed -e '/<user>\|<fork\/>\|<pidfile>\|<syslog\/>\|<servicehelper>\|<standard_system_servicedirs/d' \
            -e "s|<listen>.*</listen>||" -e "s|<busconfig>|&<listen>$(bus $side)</listen>|" \
            >"$tmp/$side/bus.conf"
    printf '%s\n' '<include>/usr/share/dbus-1/system.d/avahi-dbus.conf</include></busconfig>' \
        >>"$tmp/$side/bus.conf"
    dbus-daemon --config-file="$tmp/$side/bus.conf" --nofork --print-address=5 \
        5>"$tmp/$side/address" &
    buses+=($!)
    wait_for 20 "dbus-daemon in $side listens" test -s "$tmp/$side/address"
    printf '[server]\nhost-name=%s\nallow-interfaces=%s\n[wide-area]\nenable-wide-area=no\n[publish]\npublish-workstation=no\npublish-hinfo=no\n' \
        "$ns" "$ns" >"$tmp/$side/avahi.conf"
done

running() {
    DBUS_SYSTEM_BUS_ADDRESS=$(bus "$1") dbus-send --system --print-reply=literal \
        --dest=org.freedesktop.Avahi / org.freedesktop.Avahi.Server.GetState 2>/dev/null |
        grep -q 'int32 2'
}
# Each daemon gets a /run of its own (for its pid file) and the static services of its side.
start_avahi() {
    DBUS_SYSTEM_BUS_ADDRESS=$(bus "$1") ip netns exec "$id$1" unshare --mount --propagation private \
        sh -c 'mount -t tmpfs none /run && mount --bind "$0/services" /etc/avahi/services &&
               exec avahi-daemon --no-drop-root --no-chroot --no-rlimits -f "$0/avahi.conf"' \
        "$tmp/$1" >>"$tmp/$1/avahi.log" 2>&1 &
    pids+=($!)
    eval "avahi_$1=$!"
    wait_for 30 "avahi-daemon in $1 runs" running "$1"
}
start_avahi a
start_avahi b

for side in a b; do
    mkfifo "$tmp/$side/in"
    DBUS_SYSTEM_BUS_ADDRESS=$(bus $side) ip netns exec "$id$side" "$probe" <"$tmp/$side/in" \
        >"$tmp/$side/out" 2>"$tmp/$side/err" &
    pids+=($!)
done
exec 3>"$tmp/a/in" 4>"$tmp/b/in"

last_hosts() { grep '^hosts' "$tmp/b/out" | tail -n 1; }
listed() { last_hosts | grep -q "$1"; }
unlisted() { last_hosts | grep -q '^hosts' && ! listed "$1"; }
pongs() { [ "$(grep -c '^pong' "$tmp/b/out")" -ge "$1" ]; }
host='陈雨桐 10.213.0.1 5238 2.0.0;'

echo browse >&4
echo 'announce 陈雨桐 5238' >&3
wait_for 20 "the host is found with name, address (IPv4 first), port and version" listed "$host"
echo withdraw >&3
wait_for 20 "the withdrawn host disappears" unlisted 陈雨桐

# The browser's daemon goes away and comes back: the probe answers throughout and finds again.
echo 'announce 陈雨桐 5238' >&3
wait_for 20 "the host is found again" listed "$host"
kill "$avahi_b"
wait "$avahi_b"
wait_for 20 "the list empties when the daemon stops" unlisted 陈雨桐
echo ping >&4
wait_for 10 "the probe answers without a daemon" pongs 1
start_avahi b
wait_for 30 "the host is found after the daemon restarts" listed "$host"

# Names and TXT records are anyone's: control and bidi characters go, long values are cut.
long=$(printf 'x%.0s' $(seq 100))
printf '<service-group><name>odd&#x202E;name</name><service><type>_kelvane._tcp</type><port>7</port><txt-record>version=2.0&#9;%s</txt-record></service></service-group>\n' \
    "$long" >"$tmp/a/services/odd.service"
kill -HUP "$avahi_a"
wait_for 20 "a stranger's name and version are cleaned and cut" listed "oddname 10.213.0.1 7 2.0${long:0:29};"

# Junk cannot hide a real host: 200 services and 70 whose target never resolves crowd the list,
# yet a host announced after them is offered, and the hosts they crowded out come back.
echo withdraw >&3
for i in $(seq 270); do
    target=$( ((i > 200)) && echo '<host-name>nowhere.local</host-name>')
    printf '<service-group><name>junk %s</name><service><type>_kelvane._tcp</type>%s<port>%s</port></service></service-group>\n' \
        "$i" "$target" "$i" >"$tmp/a/services/junk$i.service"
done
kill -HUP "$avahi_a"
echo ping >&4
wait_for 10 "the probe answers during the flood" pongs 2
# The host comes after the whole flood is published and has reached the browser, on each
# protocol the browser saw the odd service on. On a busy machine the publisher is still
# working through the flood long after the browser has seen the first of it.
published() { [ "$(grep -c 'Service "junk .*successfully established' "$tmp/a/avahi.log")" -ge 270 ]; }
wait_for 120 "the junk is published" published
seen() {
    [ "$(grep -o 'Seen junk [0-9]* on IPv[46]' "$tmp/b/err" | sort -u | wc -l)" -ge \
        $((270 * $(grep -o 'Seen odd.* on IPv[46]' "$tmp/b/err" | sort -u | wc -l))) ]
}
wait_for 60 "the junk reaches the browser" seen
echo 'announce 陈雨桐 5238' >&3
wait_for 30 "a host announced after the junk is offered" listed "$host"
most() { grep -o '^hosts [0-9]*' "$tmp/b/out" | cut -d' ' -f2 | sort -n | tail -n 1; }
[ "$(most)" -le 64 ] || fail "the browser kept $(most) hosts"
rm "$tmp"/a/services/junk*
kill -HUP "$avahi_a"
wait_for 40 "the junk goes and the host it crowded out is back" listed "^hosts 2: oddname .*$host"
echo withdraw >&3
wait_for 20 "the withdrawn host leaves" unlisted 陈雨桐
echo "discovery over real avahi-daemons: passed"
