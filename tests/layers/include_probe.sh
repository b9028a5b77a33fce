#!/usr/bin/env bash
# include_probe.sh CXX ROOTS HEADER: compiles a file that includes HEADER, seeing only ROOTS
# (a ;-separated list, as CMake gives a target's include directories).
set -u
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
IFS=';' read -ra roots <<<"$2"
args=()
for r in "${roots[@]}"; do args+=("-I$r"); done
printf '#include "%s"\n' "$3" >"$tmp/probe.cpp"
"$1" -std=c++20 -fsyntax-only "${args[@]}" "$tmp/probe.cpp"
