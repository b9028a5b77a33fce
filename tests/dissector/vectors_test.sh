#!/usr/bin/env bash
# Runs vectors.lua against the dissector inside tshark (its Lua and bit32 are the ones that
# matter). Exit 77 (skipped) without tshark.
#   vectors_test.sh DISSECTOR VECTORS
set -euo pipefail
. "$(dirname "$0")/tshark_env.sh"
use_dissector "$1"
work=$(mktemp -d /tmp/zav-vectors.XXXXXX)
trap 'rm -rf "$work"' EXIT
# A private HOME keeps personal plugins out.
HOME=$work tshark -G fields -X "lua_script:$2" -X "lua_script1:$1" >/dev/null
