#!/usr/bin/env bash
# The dissector on hand-made frames (zav_dissector_edge_frames), field by field: a second tool's
# session makes the controller's reply to the first fail its signature; a refused session, a
# refused write, a request sent again (and the unanswered first one), a device table shorter
# than its count, a time stamp, a datagram that is not the protocol and two short ones.
# Exit 77 (skipped) without tshark.
#   edge_test.sh EDGE_FRAMES DISSECTOR
set -euo pipefail
edge_frames=$1 dissector=$2
. "$(dirname "$0")/tshark_env.sh"
use_dissector "$dissector"

work=$(mktemp -d /tmp/zav-dissector-edge.XXXXXX)
trap 'rm -rf "$work"' EXIT
"$edge_frames" "$work/edge.pcap"

fields=(frame.number zav.kind zav.letter zav.reply zav.crc_ok zav.sig_ok zav.key_in zav.ack
        zav.mode zav.session zav.block_kind zav.block_index zav.name zav.bus_device zav.time
        zav.request_in zav.response_in zav.retry_of _ws.expert.message)
args=()
for f in "${fields[@]}"; do args+=(-e "$f"); done
HOME=$work tshark -2 -n -r "$work/edge.pcap" -X "lua_script:$dissector" -T fields \
  -E separator='|' -E occurrence=a -E aggregator=, "${args[@]}" >"$work/got.txt" 2>"$work/err.txt"

# number|kind|letter|reply|crc_ok|sig_ok|key_in|ack|mode|session|block_kind|block_index|name|
# bus_device|time|request_in|response_in|retry_of|expert
cat >"$work/want.txt" <<'WANT'
1|plain|K|0|1||||||||||||2||
2|plain|K|1|1|||||||||||1|||
3|signed|D|0||1|2||||||||||4||
4|signed|D|1||1|2|||||||K108_00202,R105_00007||3|||
5|plain|K|0|1||||||||||||6||
6|plain|K|1|1|||||||||||5|||
7|signed|S|0||1|2||||||||||8||
8|signed|S|1||0|2|1||||||||7|||Bad signature
9|plain|K|0|1||||||||||||10||
10|plain|K|1|1|||||||||||9|||Session refused
11|signed|c|0||1|2||||1|3|Brama||||12||
12|signed|c|1||1|2|0|||1|3||||11|||Command refused (NAK)
13|status|O|0|1||||||||||||||No reply in the capture
14|status|O|0|1||||||||||||15|13|Request sent again
15|status|O|1|1||||2|1||||||14|||
16|signed|D|0||1|2||||||||||17||
17|signed|D|1||1|2|||||||K108_00202||16|||Device table shorter than its count
18|time|T|0|1||||||||||Nov 14, 2023 22:13:20.000000000 UTC||||
19||||||||||||||||||
20|plain|O||||||||||||||||Datagram too short for its kind
21|signed|S||||||||||||||||Datagram too short for its kind
WANT

status=0
if grep -q -i lua "$work/err.txt"; then
  cat "$work/err.txt"
  status=1
fi
if ! diff -u "$work/want.txt" "$work/got.txt"; then
  echo "dissector edge frames: the fields above differ (- wanted, + got)"
  status=1
fi
[ "$status" -ne 0 ] || echo "dissector edge frames: all $(wc -l <"$work/want.txt") frames as expected"
exit "$status"
