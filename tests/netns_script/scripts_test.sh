#!/usr/bin/env bash
# scripts_test.sh REPO ZAVSIM NAME: network names are plain, one network's "down" never reaches
# another's namespaces, and zavsim started by scripts/zavsim-start keeps its files private.
set -uo pipefail
repo=$1
export ZAVSIM=$2
net=$3
netns=$repo/scripts/netns
fails=0
check() {  # check DESCRIPTION COMMAND...: the command must succeed
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; fails=$((fails + 1)); fi
}
refused() {  # the command must fail with "bad network name"
  local out
  out=$("$@" 2>&1) && return 1
  grep -q "bad network name" <<<"$out"
}

"$netns" check || { echo "needs root and ip netns; skipped"; exit 77; }
"$netns" down "$net" >/dev/null 2>&1
trap '"$netns" down "$net" >/dev/null 2>&1; rm -rf -- "$("$repo/scripts/zavsim-ask" --dir "$net")"' EXIT
"$netns" up "$net" --tools 1 --aliases 2 >/dev/null || { echo "FAILED: netns up"; exit 1; }

# A dot matches any character in a pattern: "down" of such a name once removed this network.
dotted=${net:0:2}.${net:3}
check "a dot in a name is refused" refused "$netns" down "$dotted"
for bad in "$net-ctl" "${net^^}" "a_b" "" "x/y" "$(printf 'a%.0s' {1..32})"; do
  check "name '$bad' is refused" refused "$netns" down "$bad"
done
check "the network survives the refused names" "$netns" status "$net"
check "a name that is only a prefix removes nothing" "$netns" down "${net:0:4}"
check "the network survives its prefix" "$netns" status "$net"

pid=$("$repo/scripts/zavsim-start" "$net" --seed 2) || { echo "FAILED: zavsim-start"; exit 1; }
dir=$("$repo/scripts/zavsim-ask" --dir "$net")
check "zavsim-ask reaches the simulator" "$repo/scripts/zavsim-ask" "$net" ping
check "the run directory is private" test "$(stat -c %a "$dir")" = 700
check "the socket is private" test "$(stat -c %a "$dir/control.sock")" = 600
check "the output is in the run directory" grep -q "devices on port" "$dir/zavsim.out"
check "nobody cannot use the socket" \
  bash -c '! setpriv --reuid=65534 --regid=65534 --clear-groups "$0" --ask "$1" ping' \
  "$ZAVSIM" "$dir/control.sock"
check "dump ../x is refused" bash -c '! "$0" "$1" dump ../x && [ ! -e "$2/../x" ]' \
  "$repo/scripts/zavsim-ask" "$net" "$dir"
check "dump of an absolute path is refused" \
  bash -c '! "$0" "$1" dump /tmp/zavsim-abs-$$ && [ ! -e /tmp/zavsim-abs-$$ ]' \
  "$repo/scripts/zavsim-ask" "$net"
check "dump of a plain name lands in the run directory" \
  bash -c '"$0" "$1" dump state.txt >/dev/null && grep -q "^END$" "$2/state.txt"' \
  "$repo/scripts/zavsim-ask" "$net" "$dir"
check "a second start is refused while it runs" bash -c '! "$0" "$1" 2>/dev/null' \
  "$repo/scripts/zavsim-start" "$net"
check "quit ends it" "$repo/scripts/zavsim-ask" "$net" quit
for _ in $(seq 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
check "zavsim ended" bash -c '! kill -0 "$0" 2>/dev/null' "$pid"

echo "$fails failed"
[ "$fails" -eq 0 ]
