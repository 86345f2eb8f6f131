#!/bin/bash
# The host at home behind a real router, a friend outside: three network namespaces (home,
# router, outside) joined by two virtual cables, NAT by nftables and a real miniupnpd.
#   router.sh upnp|natpmp|none|shared|taken NET_PLAYER
# upnp, natpmp: the router forwards the game port while the host waits, and only then, by UPnP
# or with UPnP off by NAT-PMP; the friend joins at the outside address the host's note gives.
# none: no daemon on the router; shared: the router's outside address is the provider's
# (100.64/10); taken: the router forwards the port to another machine already, and goes on
# doing so. The note says so. Throughout, the host's window is never held.
set -u
scenario=$1 player=$2
PATH=$PATH:/usr/sbin:/sbin
skip() { echo "SKIPPED: $*"; exit 77; }
[[ $EUID -eq 0 ]] || skip "needs root"
for tool in ip nft miniupnpd; do command -v $tool >/dev/null || skip "no $tool"; done
h=krh$$ r=krr$$ o=kro$$ dir=$(mktemp -d) net=84.17.20 T=$'\t'
[[ $scenario == shared ]] && net=100.64.20
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
source "$(dirname "$0")/../net/players.sh"
cleanup() {
    stop_all
    for ns in $h $r $o; do ip netns del $ns 2>/dev/null; done
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() {
    echo "FAIL ($scenario): $*"
    for f in "$dir"/*.out "$dir"/*.err; do echo "== ${f##*/}"; tail -n 30 "$f"; done
    exit 1
}
forwarded() { ip netns exec $r nft list chain inet filter prerouting_miniupnpd | grep -q 'dport 5238'; }
# until_gone WHAT: the router forwards nothing within 10 s.
until_gone() {
    local end=$(deadline 10)
    while forwarded; do (($(now) < end)) || fail "$1"; sleep 0.05; done
}
waiting="^status 等待加入中$T"

(
    set -e
    for ns in $h $r $o; do ip netns add $ns; ip -n $ns link set lo up; done
    ip link add kh$$ netns $h type veth peer kr$$ netns $r
    ip link add kx$$ netns $r type veth peer ko$$ netns $o
    ip -n $h addr add 192.168.77.2/24 dev kh$$; ip -n $r addr add 192.168.77.1/24 dev kr$$
    ip -n $r addr add $net.1/24 dev kx$$; ip -n $o addr add $net.2/24 dev ko$$
    for i in "$h kh$$" "$r kr$$" "$r kx$$" "$o ko$$"; do set -- $i; ip -n $1 link set $2 up; done
    ip -n $h route add default via 192.168.77.1
    ip netns exec $r sysctl -qw net.ipv4.ip_forward=1
    # The chains miniupnpd fills, where it looks for them; Debian ships no script that makes them.
    ip netns exec $r nft -f - <<NFT
table inet filter {
    chain forward {
        type filter hook forward priority 0; policy drop;
        ct state established,related accept
        iifname "kr$$" accept
        jump miniupnpd
    }
    chain prerouting { type nat hook prerouting priority -100; jump prerouting_miniupnpd; }
    chain postrouting {
        type nat hook postrouting priority 100;
        jump postrouting_miniupnpd
        oifname "kx$$" masquerade
    }
    chain miniupnpd {}
    chain prerouting_miniupnpd {}
    chain postrouting_miniupnpd {}
}
NFT
) || fail "cannot make the namespaces"

if [[ $scenario != none ]]; then
    cat >"$dir/miniupnpd.conf" <<CONF
ext_ifname=kx$$
listening_ip=kr$$
http_port=0
enable_upnp=$([[ $scenario == natpmp ]] && echo no || echo yes)
enable_natpmp=yes
secure_mode=$([[ $scenario == taken ]] && echo no || echo yes)
uuid=6b3e0f4e-5d5b-4c8e-9a57-$(printf %012x $$)
allow 1024-65535 192.168.77.0/24 1024-65535
deny 0-65535 0.0.0.0/0 0-65535
CONF
    ip netns exec $r miniupnpd -d -f "$dir/miniupnpd.conf" -P "$dir/miniupnpd.pid" \
        2>"$dir/miniupnpd.err" &
    pid[d]=$!
    end=$(deadline 10)
    until grep -q 'NAT-PMP' "$dir/miniupnpd.err"; do (($(now) < end)) || fail "no miniupnpd"; sleep 0.05; done
fi

if [[ $scenario == taken ]]; then
    command -v upnpc >/dev/null || skip "no upnpc"
    ip netns exec $h upnpc -a 192.168.77.3 5238 5238 TCP >"$dir/upnpc.out" || fail "upnpc"
fi
start host $h --router
say host "host 甲"
outside="$waiting[^$T]*外的朋友用这个地址加入：$net.1 "
case $scenario in
upnp | natpmp)
    # The outside address first, then the home one, for the eye and for screen readers.
    await host "$outside[^$T]*192\.168\.77\.2" "$(deadline 30)"
    await host "^described [^$T]*：$net.1 .*192\.168\.77\.2" "$(deadline 5)"
    forwarded || fail "the router forwards nothing while the host waits"
    start friend $o
    say friend "join $net.1"
    await friend '^status 连线中' "$(deadline 10)"; await host '^status 连线中' "$(deadline 10)"
    until_gone "the forwarding outlives the joiner's arrival"
    # The link stays up without it, both ways.
    say host "click 8 8"; await friend '^stones 1' "$(deadline 10)"
    say friend "click 9 9"; await host '^stones 2' "$(deadline 10)"
    say host link; say host "host 甲"; await host "$outside" "$(deadline 30)"
    say host link; until_gone "the forwarding outlives 重连"
    say host "host 甲"; await host "$outside" "$(deadline 30)"
    say host exit; await host '^ended' "$(deadline 10)"
    ! forwarded || fail "the forwarding outlives 退出"
    ;;
none) await host "$waiting[^$T]*路由器没有回应.*同一网络里的朋友.*VPN.*192\.168\.77\.2" "$(deadline 30)" ;;
shared)
    await host "$waiting[^$T]*不是公网地址.*同一网络里的朋友.*VPN.*192\.168\.77\.2" "$(deadline 30)"
    ! forwarded || fail "forwarded behind the provider's NAT"
    ;;
taken)
    await host "$waiting[^$T]*已经把端口 5238 转给网络里的另一台电脑.*192\.168\.77\.2" "$(deadline 30)"
    say host link; say host "host 甲"; await host "$waiting" "$(deadline 10)"; say host link
    await host '^status 尚未连线' "$(deadline 10)"
    ip netns exec $r nft list chain inet filter prerouting_miniupnpd | grep -q 192.168.77.3 ||
        fail "the other machine's forwarding went"
    ;;
esac
! grep '^stall' "$dir/host.out" || fail "the host's window was held"
echo "PASS ($scenario)"
