#!/bin/bash
# Two players on two machines: network namespaces joined by a virtual cable, one net_player
# in each. Failed joins and their reasons, a second host, joins by every form of address,
# the cable pulled while idle and mid-move, and the address a host reads out.
set -u
player=$1
[[ $EUID -eq 0 ]] && command -v ip >/dev/null || { echo "needs root and iproute2"; exit 77; }
a=kva$$ b=kvb$$ dir=$(mktemp -d)
source "$(dirname "$0")/players.sh"
cleanup() {
    stop_all
    ip netns del $a 2>/dev/null; ip netns del $b 2>/dev/null
    rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 1' INT TERM
fail() {
    echo "FAIL: $*"
    for f in "$dir"/*.out; do echo "== $(basename "$f")"; cat "$f"; done
    exit 1
}
down=$'^status 尚未连线\t.' # with a reason

(
    set -e
    ip netns add $a; ip netns add $b
    ip -n $a link set lo up; ip -n $b link set lo up
    # A bridge comes first in the list of interfaces; its port makes it running.
    ip -n $b link add docker0 type bridge
    ip -n $b link add kp$$ type veth peer kq$$
    ip -n $b link set kp$$ master docker0
    ip -n $b addr add 172.31.0.1/16 dev docker0
    for i in docker0 kp$$ kq$$; do ip -n $b link set $i up; done
    ip link add ka$$ netns $a type veth peer kb$$ netns $b
    ip -n $a addr add 10.214.0.1/24 dev ka$$; ip -n $a addr add fd14::1/64 dev ka$$ nodad
    ip -n $b addr add 10.214.0.2/24 dev kb$$; ip -n $b addr add fd14::2/64 dev kb$$ nodad
    ip -n $a link set ka$$ up; ip -n $b link set kb$$ up
    # Frames for 10.214.0.3 go to a card nobody has: joins there get no answer.
    ip -n $a neigh add 10.214.0.3 lladdr 02:00:00:00:00:03 dev ka$$ nud permanent
) || fail "cannot make the namespaces"
ip -n $b -o link | grep -q "^2: docker0.*LOWER_UP" || fail "the bridge is not first or not running"

# The address a host reads out is the cable's, with and without a default route.
start l $b
say l localip; await l '^localip' "$(deadline 10)"
[[ $line == "localip 10.214.0.2" ]] || fail "without a default route: $line"
# Now the first interface that is no bridge is another one, but the route leaves by the cable.
ip -n $b addr add 172.30.0.2/24 dev kq$$; ip -n $b route add default via 10.214.0.1
say l localip; await l '^localip' "$(deadline 10)"
[[ $line == "localip 10.214.0.2" ]] || fail "with a default route: $line"
stop l

# Joins that fail each say why, the same under a Chinese locale, where Qt's own texts are
# Chinese, as under LANG=C: nobody hosting, an unknown name, no answer (within 10 s and a
# little slack), a neighbour that never answers, and a network this machine has no route to,
# which is known at once, in the logon dialog.
declare -A to=([r]=10.214.0.2 [n]=no-such-host.invalid [u]=10.214.0.3 [h]=10.214.0.4)
declare -A why=([r]=拒绝 [n]=找不到 [u]=没有回应 [h]=网络不通 [x]=网络不通) got=()
for l in C zh_CN.UTF-8; do
    for p in r n u h x; do lang=$l start $p${l:0:1} $a; done
    for p in r n u h; do say $p${l:0:1} "join ${to[$p]}"; done
    say x${l:0:1} "join 10.99.0.1"
done
for l in C z; do
    await x$l '^problem .' "$(deadline 10)"; got[x$l]=${line#* }
    await u$l '^status 正在连线到主机' "$(deadline 10)"
    await u$l "$down" "$(deadline 13)"; got[u$l]=${line#*$'\t'}
    for p in h r n; do await $p$l "$down" "$(deadline 30)"; got[$p$l]=${line#*$'\t'}; done
done
for p in r n u h x; do
    [[ ${got[${p}C]} == *${why[$p]}* && ${got[${p}C]} == "${got[${p}z]}" ]] ||
        fail "$p: '${got[${p}C]}' under C, '${got[${p}z]}' in Chinese"
    stop ${p}C; stop ${p}z
done

# A second host on the same machine names the port; IPv6 joins without brackets.
start h $a; say h "host 甲"; await h '^status 等待加入中' "$(deadline 10)"
start s $a; say s "host 丙"; await s '^problem .*5238' "$(deadline 10)"
start j $b; say j "join fd14::1"
await j '^status 连线中' "$(deadline 10)"; await h '^status 连线中' "$(deadline 10)"
for p in j h s; do stop $p; done

# Two games across the cable: IPv6 in brackets with spaces around, and IPv4.
start h1 $a; say h1 "host 甲"; await h1 '^status 等待加入中' "$(deadline 10)"
start h2 $b; say h2 "host 丁"; await h2 '^status 等待加入中' "$(deadline 10)"
start j1 $b; say j1 "join  [fd14::1] "
start j2 $a; say j2 "join 10.214.0.2"
for p in j1 h1 j2 h2; do await $p '^status 连线中' "$(deadline 10)"; done
say h2 "click 8 8"; await j2 '^stones 1' "$(deadline 10)"

# The cable is pulled; the joiner of the second game moves after that. Both games end
# within 30 s on both sides, with a reason.
ip -n $b link set kb$$ down
end=$(deadline 30)
say j2 "click 9 9"; await j2 '^stones 2' "$end"
for p in h1 j1 h2 j2; do await $p "$down" "$end"; done
echo "PASS"
