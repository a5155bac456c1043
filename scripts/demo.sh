#!/usr/bin/env bash
# The plug-in at work, end to end on this machine: checks a scratch copy of the example
# server folder (examples/server) with harvane-check, then runs the Linux twin of the
# plug-in in it with harvane-host over several plays of two maps, so the counts are
# announced, version 1 is staged and the versions rotate in data.
# Run by `make` after the builds; uses the native build.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/native
for program in harvane-check harvane-host; do
  if [ ! -x "$build/$program" ]; then
    echo "demo: $build/$program is missing; build the native preset first (make)" >&2
    exit 1
  fi
done

# A fresh copy each time, left in place afterwards for a look.
server=build/demo/server
rm -rf build/demo
mkdir -p build/demo
cp -R examples/server "$server"

echo
echo "=== harvane-check --plan 4 $server"
echo
"$build/harvane-check" --plan 4 "$server"

echo
echo "=== harvane-host: the server's run, four plays each of C&C_Complex.mix and C&C_Walls.mix"
echo "    (lines starting with [host] are the simulated server's; the others are the plug-in's console)"
echo
"$build/harvane-host" --show-data --play 'C&C_Complex.mix' --play 'C&C_Walls.mix' --repeat 4 "$server"

echo
echo "=== the game log the plug-in wrote: $(ls "$server"/gamelog_*.txt)"
cat "$server"/gamelog_*.txt
echo
echo "The server folder of this run stays in $server."
