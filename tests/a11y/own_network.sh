#!/bin/sh
# Runs a command with a loopback network of its own, so that the game's fixed port 5238 never
# meets another copy of the game running at the same time. Where the system allows no user
# namespaces, the command runs on the machine's network.
#   own_network.sh <command> [arguments...]
if command -v ip >/dev/null 2>&1 && unshare --user --map-root-user --net true 2>/dev/null; then
    exec unshare --user --map-root-user --net \
        sh -c 'ip link set lo up && exec "$@"' own_network "$@"
fi
echo "own_network: no private network here; the command uses the machine's" >&2
exec "$@"
