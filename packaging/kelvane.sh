#!/bin/sh
# Starts Kelvane in its own folder: the game looks up its move sound and its help file by
# relative name in the current directory. The folder is found from where this script lies,
# so the same script works under any installation prefix.
here=$(dirname "$(readlink -f "$0")")
cd "$here/../lib/kelvane" || exit 1
exec ./kelvane "$@"
