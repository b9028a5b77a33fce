#!/usr/bin/env bash
# Runs vectors.lua against the dissector inside tshark (its Lua and bit32 are the ones that
# matter). Exit 77 (skipped) without tshark.
#   vectors_test.sh DISSECTOR VECTORS
set -euo pipefail
command -v tshark >/dev/null 2>&1 || { echo "dissector vectors: tshark is missing (scripts/deps installs it); skipped"; exit 77; }
work=$(mktemp -d /tmp/zav-vectors.XXXXXX)
trap 'rm -rf "$work"' EXIT
# Only the dissector under test: no installed copy, no personal plugins.
HOME=$work WIRESHARK_PLUGIN_DIR=$work/no-plugins \
  tshark -G fields -X "lua_script:$2" -X "lua_script1:$1" >/dev/null
