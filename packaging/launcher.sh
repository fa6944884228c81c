#!/bin/sh
# Installed as /usr/bin/egresso and /usr/bin/egresso-cli: starts the program
# of that name from its program folder (../lib/egresso), where it finds its
# notice texts, help, icons and sound. The program folder is not writable,
# so without a /MD= switch the data folder is the user's own,
# $XDG_DATA_HOME/egresso (~/.local/share/egresso).
name=$(basename "$0")
prog="$(dirname "$(readlink -f "$0")")/../lib/egresso/$name"
data="${XDG_DATA_HOME:-$HOME/.local/share}/egresso"

for a in "$@"; do
  case "$a" in
    /[Mm][Dd]=*) exec "$prog" "$@" ;;
  esac
done

if [ "$name" = egresso-cli ]; then
  case "${1:-}" in
    "" | -h | --help | help | demo) exec "$prog" "$@" ;;
  esac
  # The command comes first; the switches follow it.
  exec "$prog" "$@" "/MD=$data"
fi
# The program makes its data folder but not the folders above it, which a
# new account may not have yet.
mkdir -p "$data"
exec "$prog" "/MD=$data" "$@"
