#!/bin/bash
# The host at home behind a real router, a friend outside: three network namespaces (home,
# router, outside) joined by two virtual cables, NAT by nftables and a real miniupnpd.
#   router.sh upnp|natpmp|none|shared PLAYER
# upnp, natpmp: the router forwards the game port while the host waits, and only then, by UPnP
# or with UPnP off by NAT-PMP; the friend joins at the outside address the host's note gives.
# none: no daemon on the router. shared: the router's own outside address is the provider's
# (100.64/10). Either way the note says so. Throughout, the host's window is never held.
set -u
scenario=$1 player=$2
PATH=$PATH:/usr/sbin:/sbin
skip() { echo "SKIPPED: $*"; exit 77; }
[[ $EUID -eq 0 ]] || skip "needs root"
for tool in ip nft miniupnpd; do command -v $tool >/dev/null || skip "no $tool"; done
h=krh$$ r=krr$$ o=kro$$ dir=$(mktemp -d)
net=84.17.20
[[ $scenario == shared ]] && net=100.64.20
declare -A tx pid pos
line=
cleanup() {
    for p in "${pid[@]}"; do kill "$p" 2>/dev/null; done
    wait
    for ns in $h $r $o; do ip netns del $ns 2>/dev/null; done
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() {
    echo "FAIL ($scenario): $*"
    for f in "$dir"/*.out "$dir"/*.err; do echo "== $(basename "$f")"; tail -n 30 "$f"; done
    exit 1
}
now() { echo $((${EPOCHREALTIME/./} / 1000)); } # ms
deadline() { echo $(($(now) + $1 * 1000)); }
# wait_for SECONDS WHAT COMMAND...: polls COMMAND until it succeeds.
wait_for() {
    local end=$(deadline $1) what=$2
    shift 2
    until "$@"; do
        (($(now) < end)) || fail "$what"
        sleep 0.05
    done
}

# Player $1 in namespace $2, as in two_machines.sh.
start() {
    mkfifo "$dir/$1.in"
    ip netns exec "$2" "$player" <"$dir/$1.in" >"$dir/$1.out" 2>"$dir/$1.err" &
    pid[$1]=$!
    exec {fd}>"$dir/$1.in"
    tx[$1]=$fd pos[$1]=0
}
say() { printf '%s\n' "$2" >&"${tx[$1]}"; }
# Waits up to $3 seconds for a line of player $1, after the one last awaited, to match $2.
await() {
    local hit end=$(deadline $3)
    while :; do
        if hit=$(tail -n +$((pos[$1] + 1)) "$dir/$1.out" | grep -n -m1 -E -- "$2"); then
            pos[$1]=$((pos[$1] + ${hit%%:*})) line=${hit#*:}
            return 0
        fi
        (($(now) < end)) || fail "$1: no line like '$2' in time"
        sleep 0.05
    done
}
forwarded() { ip netns exec $r nft list chain inet filter prerouting_miniupnpd 2>/dev/null | grep -q 'dport 5238'; }
not_forwarded() { ! forwarded; }
T=$'\t'
waiting="^status 等待加入中$T"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

(
    set -e
    for ns in $h $r $o; do ip netns add $ns; ip -n $ns link set lo up; done
    ip link add kh$$ netns $h type veth peer kr$$ netns $r
    ip link add kx$$ netns $r type veth peer ko$$ netns $o
    ip -n $h addr add 192.168.77.2/24 dev kh$$
    ip -n $r addr add 192.168.77.1/24 dev kr$$
    ip -n $r addr add $net.1/24 dev kx$$
    ip -n $o addr add $net.2/24 dev ko$$
    for i in "$h kh$$" "$r kr$$" "$r kx$$" "$o ko$$"; do set -- $i; ip -n $1 link set $2 up; done
    ip -n $h route add default via 192.168.77.1
    ip netns exec $r sysctl -qw net.ipv4.ip_forward=1
    # The chains miniupnpd fills, in the table it looks for them.
    ip netns exec $r nft -f - <<NFT
table inet filter {
    chain forward {
        type filter hook forward priority 0; policy drop;
        ct state established,related accept
        iifname "kr$$" accept
        jump miniupnpd
    }
    chain miniupnpd {}
    chain prerouting {
        type nat hook prerouting priority -100; policy accept;
        jump prerouting_miniupnpd
    }
    chain postrouting {
        type nat hook postrouting priority 100; policy accept;
        jump postrouting_miniupnpd
        oifname "kx$$" masquerade
    }
    chain prerouting_miniupnpd {}
    chain postrouting_miniupnpd {}
}
NFT
) || fail "cannot make the namespaces"

if [[ $scenario != none ]]; then
    upnp=yes
    [[ $scenario == natpmp ]] && upnp=no
    cat >"$dir/miniupnpd.conf" <<CONF
ext_ifname=kx$$
listening_ip=kr$$
http_port=0
enable_upnp=$upnp
enable_natpmp=yes
secure_mode=yes
system_uptime=yes
uuid=6b3e0f4e-5d5b-4c8e-9a57-0d5f1c2b$(printf %04x $(($$ % 65536)))
allow 1024-65535 192.168.77.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
CONF
    ip netns exec $r miniupnpd -d -f "$dir/miniupnpd.conf" -P "$dir/miniupnpd.pid" \
        >"$dir/miniupnpd.out" 2>"$dir/miniupnpd.err" &
    pid[d]=$!
    wait_for 10 "miniupnpd does not listen" grep -q 'NAT-PMP' "$dir/miniupnpd.err"
fi

start host $h
say host "host 甲"
case $scenario in
upnp | natpmp)
    # The outside address first, then the home one, in the tooltip and for screen readers.
    await host "$waiting[^$T]*外的朋友用这个地址加入：$net.1 [^$T]*192\.168\.77\.2[^$T]*$T[^$T]*：$net.1 " 30
    forwarded || fail "the router forwards nothing while the host waits"
    start friend $o
    say friend "join $net.1"
    await friend '^status 连线中' 10; await host '^status 连线中' 10
    wait_for 10 "the forwarding outlives the joiner's arrival" not_forwarded
    # The link stays up after the forwarding went, both ways.
    say host "click 8 8"; await friend '^stones 1' 10
    say friend "click 9 9"; await host '^stones 2' 10
    say host link
    say host "host 甲"; await host "$waiting.*：$net.1 " 30
    forwarded || fail "not forwarded on hosting again"
    say host link
    wait_for 10 "the forwarding outlives 重连" not_forwarded
    say host "host 甲"; await host "$waiting.*：$net.1 " 30
    say host exit; await host '^ended' 10
    not_forwarded || fail "the forwarding outlives 退出"
    ;;
none)
    await host "$waiting[^$T]*路由器没有回应.*同一网络里的朋友照样可以加入.*VPN.*192\.168\.77\.2" 30
    ;;
shared)
    await host "$waiting[^$T]*不是公网地址.*同一网络里的朋友照样可以加入.*VPN.*192\.168\.77\.2" 30
    not_forwarded || fail "forwarded behind the provider's NAT"
    ;;
esac
! grep '^stall' "$dir/host.out" || fail "the host's window was held"
echo "PASS ($scenario)"
