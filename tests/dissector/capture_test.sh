#!/usr/bin/env bash
# A capture of the tool's traffic with zavsim, read back with the dissector.
#   capture_test.sh NETNS_SCRIPT NET ZAVSIM TRAFFIC DISSECTOR
# NET is a scripts/netns network that is up. zavsim runs in NET-ctl, tcpdump and the traffic
# (zav_dissector_traffic) in NET-tool1; nothing is sent from this namespace. The capture is read
# with tshark -X lua_script:DISSECTOR and checked: every frame named, the tool's commands in
# their order, every checksum and signature good, requests paired with their replies; then one
# byte of a signed and of a plain frame is altered and both must be flagged; a capture cut after
# the session was opened must carry no signature verdict. Exit 77 (skipped) without tshark or
# tcpdump, without root or without the network.
set -euo pipefail

netns=$1 net=$2 zavsim=$3 traffic=$4 dissector=$5
readonly DOOR=K108_00202 LIFT=K140_00505 PASSAGE_NAME="Wejście główne"
readonly UDP_PAYLOAD=42  # Ethernet 14 + IPv4 20 + UDP 8

. "$(dirname "$0")/tshark_env.sh"
use_dissector "$dissector"
if ! command -v tcpdump >/dev/null 2>&1; then
  echo "dissector test: tcpdump is missing (scripts/deps installs it); skipped"
  exit 77
fi
"$netns" check || { echo "dissector test: needs root and network namespaces; skipped"; exit 77; }

work=$(mktemp -d /tmp/zav-dissector.XXXXXX)
sim_pid= dump_pid=
cleanup() {
  [ -z "$dump_pid" ] || kill "$dump_pid" 2>/dev/null || true
  if [ -n "$sim_pid" ]; then
    "$zavsim" --ask "$work/sim" quit >/dev/null 2>&1 || kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap "exit 1" INT TERM HUP

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# --- the capture -----------------------------------------------------------------------------

"$netns" exec "$net" ctl "$zavsim" --no-stdin --run-dir "$work/sim" --seed 7 \
  </dev/null >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 50); do
  "$zavsim" --ask "$work/sim" ping >/dev/null 2>&1 && break
  sleep 0.1
done
"$zavsim" --ask "$work/sim" ping >/dev/null 2>&1 || { cat "$work/sim.out"; exit 1; }

# Immediate mode hands every datagram to tcpdump at once; -Z root keeps the file writable in
# the private work folder; a small snapshot length and a large buffer leave room for a burst.
capture_once() {
  rm -f "$work/site.pcap" "$work/tcpdump.err"
  "$netns" exec "$net" tool1 tcpdump -i eth0 -n -Z root --immediate-mode -U -s 2048 -B 16384 \
    -w "$work/site.pcap" udp port 45389 2>"$work/tcpdump.err" &
  dump_pid=$!
  for _ in $(seq 50); do
    grep -q listening "$work/tcpdump.err" && break
    sleep 0.1
  done
  grep -q listening "$work/tcpdump.err" || { cat "$work/tcpdump.err"; exit 1; }

  "$netns" exec "$net" tool1 "$traffic" "$DOOR" "$LIFT" "$PASSAGE_NAME" >"$work/traffic.out"
  # tcpdump writes every packet as it takes it (-U); on a busy machine it may still be behind,
  # and what it has not taken when stopped is lost. Stop it once the file has not grown for a
  # second.
  local last=-1 still=0 size
  for _ in $(seq 150); do
    size=$(stat -c %s "$work/site.pcap" 2>/dev/null || echo 0)
    if [ "$size" = "$last" ]; then still=$((still + 1)); else still=0; last=$size; fi
    [ "$still" -ge 10 ] && break
    sleep 0.1
  done
  kill -INT "$dump_pid"
  wait "$dump_pid" || true
  dump_pid=
  echo "capture: $(tr '\n' ' ' <"$work/tcpdump.err" | sed 's/.*snapshot length [0-9]* bytes //')"
}

# A capture that tcpdump itself says is incomplete (frames dropped by the kernel on a loaded
# machine) says nothing about the dissector: it is taken again, at most three times in all.
for attempt in 1 2 3; do
  capture_once
  grep -q '^0 packets dropped by kernel' "$work/tcpdump.err" && break
  [ "$attempt" -lt 3 ] && echo "capture: tcpdump lost frames; captured again"
done
passages=$(awk '/^passages/ { print $2 }' "$work/traffic.out")

# --- reading it back -------------------------------------------------------------------------

fields=(frame.number frame.time_epoch zav.kind zav.letter zav.reply zav.crc_ok zav.seq
        zav.sig_ok zav.devname zav.mode zav.session zav.block_kind zav.block_index zav.time
        zav.request_in zav.response_in zav.rtt zav.name zav.bus_device _ws.expert.message)
# Column numbers by field name, for the awk checks.
col_vars=()
for i in "${!fields[@]}"; do
  name=${fields[$i]##*.}
  col_vars+=(-v "c_$name=$((i + 1))")
done

# A private HOME keeps personal plugins and preferences out.
read_capture() {
  local args=()
  for f in "${fields[@]}"; do args+=(-e "$f"); done
  HOME=$work tshark -2 -n -r "$1" -X "lua_script:$dissector" -T fields -E separator=/t \
    -E occurrence=a -E aggregator=, "${args[@]}" 2>"$work/tshark.err"
}

# awk over a capture read back, with c_<field> holding each field's column.
on_fields() {
  awk -F'\t' "${col_vars[@]}" "$@"
}

read_capture "$work/site.pcap" >"$work/site.txt"
if grep -q -i 'lua' "$work/tshark.err"; then
  cat "$work/tshark.err"
  fail "tshark reported a Lua error"
fi
frames=$(wc -l <"$work/site.txt")
echo "frames: $frames, passages of $DOOR: $passages"
[ "$frames" -ge 40 ] || fail "only $frames frames captured"

# Every frame is named, and every checksum and signature holds.
on_fields '
  $c_kind == "" { print "frame " $c_number ": not dissected"; bad++ }
  $c_kind == "signed" && $c_sig_ok != "1" {
    print "frame " $c_number ": signature " ($c_sig_ok == "" ? "not checked" : "bad"); bad++ }
  $c_kind != "signed" && $c_crc_ok != "1" { print "frame " $c_number ": checksum bad"; bad++ }
  $c_message != "" { print "frame " $c_number ": expert info " $c_message; bad++ }
  END { exit bad > 0 }' "$work/site.txt" || fail "a frame of the clean capture is not good"

# The tool's signed commands, in order, with their controller and block: the selection reads
# the device table, the controller block and every passage; the write sends them back; the lift
# is read; both sessions are closed.
expected="D:$DOOR C:$DOOR:16/0"
for ((p = 0; p < passages; p++)); do expected+=" C:$DOOR:1/$p"; done
expected+=" c:$DOOR:16/0"
for ((p = 0; p < passages; p++)); do expected+=" c:$DOOR:1/$p"; done
expected+=" D:$LIFT C:$LIFT:2/0 s:$DOOR s:$LIFT"
actual=$(on_fields '
  $c_kind == "signed" && $c_reply == "0" {
    s = $c_letter ":" $c_devname
    if ($c_block_kind != "") s = s ":" $c_block_kind "/" $c_block_index
    printf "%s%s", sep, s; sep = " " }' "$work/site.txt")
[ "$passages" = 8 ] || fail "$DOOR reported $passages passages, the scenario has 8"
[ "$actual" = "$expected" ] || fail "signed requests
  expected: $expected
  got:      $actual"

# Plain traffic: one discovery answered by every simulated controller (the simulated network
# may deliver an answer twice), a time stamp for each
# controller found (close to the capture's own clock), a session opened with each controller.
on_fields -v door="$DOOR" -v lift="$LIFT" '
  $c_kind == "discovery" && $c_reply == "0" { requests++ }
  $c_kind == "discovery" && $c_reply == "1" {
    if (!($c_devname in answered)) answers++
    answered[$c_devname] = 1
    if ($c_request_in == "" || $c_rtt == "") { print "discovery reply " $c_number " unpaired"; bad++ }
    if ($c_devname == door && $c_mode != "2") { print door " not in mode 2"; bad++ }
  }
  $c_kind == "time" { stamps++ }
  $c_letter == "K" && $c_reply == "1" { keys[$c_devname]++ }
  END {
    if (requests != 1) { print "discovery requests: " requests; bad++ }
    if (answers != 9) { print "discovery replies: " answers " (9 simulated)"; bad++ }
    if (stamps != 8) { print "time stamps: " stamps " (8 controllers of class 3)"; bad++ }
    if (keys[door] != 1 || keys[lift] != 1) { print "sessions opened: " door " " keys[door] ", " lift " " keys[lift]; bad++ }
    exit bad > 0
  }' "$work/site.txt" || fail "plain traffic"

while IFS=$'\t' read -r number epoch stamp; do
  secs=$(date -u -d "$stamp" +%s 2>/dev/null || echo 0)
  diff=$((secs - ${epoch%.*}))
  [ "${diff#-}" -le 5 ] || fail "time stamp of frame $number is $stamp, the frame was sent at $epoch"
done < <(on_fields '$c_kind == "time" { print $c_number "\t" $c_time_epoch "\t" $c_time }' \
  "$work/site.txt")

# Pairing: every request but the discovery and the time stamps has its reply, every reply its
# request and round trip; after the session is opened the status replies show it held.
on_fields -v door="$DOOR" '
  $c_reply == "0" && $c_kind != "discovery" && $c_kind != "time" && $c_response_in == "" {
    print "request " $c_number " (" $c_letter ") has no reply"; bad++ }
  $c_reply == "1" && $c_kind != "discovery" {
    if ($c_request_in == "" || $c_rtt == "") { print "reply " $c_number " unpaired"; bad++ }
    else if (letter[$c_request_in] != $c_letter) { print "reply " $c_number " paired with " letter[$c_request_in]; bad++ }
  }
  { letter[$c_number] = $c_letter }
  $c_letter == "K" && $c_reply == "1" && $c_devname == door { opened = 1 }
  $c_kind == "status" && $c_reply == "1" && $c_devname == door && opened && $c_session != "1" {
    print "status reply " $c_number " after the session was opened shows none"; bad++ }
  END { exit bad > 0 }' "$work/site.txt" || fail "pairing"

# Device table and the written name.
on_fields -v door="$DOOR" -v name="$PASSAGE_NAME" '
  $c_letter == "D" && $c_reply == "1" && $c_devname == door {
    n = split($c_bus_device, dev, ",")
    if (n < 2 || dev[1] != door) { print "device table of " door ": " $c_bus_device; bad++ }
  }
  $c_letter == "c" && $c_reply == "0" && $c_block_kind == "1" && $c_block_index == "0" {
    if ($c_name != name) { print "written passage name: \"" $c_name "\""; bad++ }
    named = 1
  }
  END { if (!named) { print "no write of passage 0"; bad++ }; exit bad > 0 }' "$work/site.txt" ||
  fail "device table or written name"

# --- altered frames --------------------------------------------------------------------------

# Offset in the file of byte `at` of the UDP payload of frame `want` (classic pcap as tcpdump
# writes it: 24-byte file header, then a 16-byte header before every frame).
payload_offset() {
  od -An -v -tu1 -w1 "$1" | awk -v want="$2" -v at="$3" -v udp="$UDP_PAYLOAD" '
    { b[NR - 1] = $1 }
    END {
      off = 24
      for (n = 1; n < want; n++) off += 16 + b[off + 8] + 256 * (b[off + 9] + 256 * b[off + 10])
      print off + 16 + udp + at
    }'
}

flip_byte() {
  local file=$1 pos=$2 old
  old=$(od -An -tu1 -j "$pos" -N1 "$file" | tr -d ' ')
  printf "$(printf '\\%03o' $((old ^ 0x01)))" | dd of="$file" bs=1 seek="$pos" conv=notrunc status=none
}

signed_frame=$(on_fields '$c_letter == "c" && $c_reply == "0" && $c_block_kind == "1" {
  print $c_number; exit }' "$work/site.txt")
plain_frame=$(on_fields '$c_kind == "status" && $c_reply == "1" { n = $c_number } END { print n }' \
  "$work/site.txt")
cp "$work/site.pcap" "$work/altered.pcap"
magic=$(dd if="$work/altered.pcap" bs=1 count=3 status=none \
  skip="$(payload_offset "$work/altered.pcap" "$signed_frame" 0)")
[ "$magic" = MMD ] || fail "frame $signed_frame does not start with MMD at the expected offset"
flip_byte "$work/altered.pcap" "$(payload_offset "$work/altered.pcap" "$signed_frame" 20)"
flip_byte "$work/altered.pcap" "$(payload_offset "$work/altered.pcap" "$plain_frame" 10)"
echo "altered: one byte of signed frame $signed_frame and of plain frame $plain_frame"

read_capture "$work/altered.pcap" >"$work/altered.txt"
on_fields -v s="$signed_frame" -v p="$plain_frame" '
  $c_number == s {
    if ($c_sig_ok != "0") { print "altered signed frame: sig_ok " $c_sig_ok; bad++ }
    if ($c_message !~ /Bad signature/) {
      print "altered signed frame: expert info " $c_message; bad++ }
  }
  $c_number == p {
    if ($c_crc_ok != "0") { print "altered plain frame: crc_ok " $c_crc_ok; bad++ }
    if ($c_message !~ /Bad checksum/) {
      print "altered plain frame: expert info " $c_message; bad++ }
  }
  $c_number != s && $c_number != p && ($c_sig_ok == "0" || $c_crc_ok == "0") {
    print "frame " $c_number " flagged although unchanged"; bad++ }
  END { exit bad > 0 }' "$work/altered.txt" || fail "altered frames"

# --- a capture that starts after the session was opened --------------------------------------
# (and ends before the next session request is answered)

first_key=$(on_fields '$c_letter == "K" && $c_reply == "1" { print $c_number; exit }' \
  "$work/site.txt")
last_key=$(on_fields '$c_letter == "K" && $c_reply == "1" { n = $c_number } END { print n }' \
  "$work/site.txt")
editcap -r "$work/site.pcap" "$work/late.pcap" "$((first_key + 1))-$((last_key - 1))"
read_capture "$work/late.pcap" >"$work/late.txt"
on_fields '
  $c_kind == "signed" {
    signed++
    if ($c_sig_ok != "") {
      print "frame " $c_number " has a signature verdict without its session"; bad++ }
    if ($c_message !~ /Session opening not in the capture/) {
      print "frame " $c_number ": expert info " $c_message; bad++ }
  }
  $c_letter == "K" { last_k = $c_number; last_k_message = $c_message }
  END {
    if (signed < 10) { print "only " signed " signed frames"; bad++ }
    # The cut ends with the lift'"'"'s session request, whose reply was cut off.
    if (last_k_message !~ /No reply in the capture/) {
      print "frame " last_k ": expert info " last_k_message; bad++ }
    exit bad > 0
  }' "$work/late.txt" || fail "capture without the session opening"

if [ "$failures" -gt 0 ]; then
  echo "dissector test: $failures check(s) failed; the clean capture read back:"
  cat "$work/site.txt"
  exit 1
fi
echo "dissector test: all checks passed"
