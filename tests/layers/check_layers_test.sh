#!/usr/bin/env bash
# Plants includes in a scratch tree and checks which ones scripts/check-layers refuses.
set -uo pipefail
check=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail=0

# expect WANT_RC FILE LINE: a tree holding only FILE with LINE gives WANT_RC.
expect() {
  rm -rf "${tmp:?}"/*
  mkdir -p "$tmp/$(dirname "$2")"
  printf '%s\n' "$3" >"$tmp/$2"
  "$check" "$tmp" 2>/dev/null
  local rc=$?
  if [ "$rc" -ne "$1" ]; then
    echo "$2 with '$3': exit $rc, wanted $1" >&2
    fail=1
  fi
}

expect 1 core/a.cpp '#include "ui/wmain.h"'
expect 1 config/a.h '#include "core/core_state.h"'
expect 1 link/a.cpp '#include <config/io_ref.h>'
expect 1 link/a.cpp '  #  include "core/x.h"'
expect 1 sim/a.cpp '#include "config/cp1250.h"'
expect 1 sim/a.cpp '#include "core/x.h"'
expect 0 ui/a.cpp '#include "core/controller_core.h"'
expect 0 core/a.cpp '#include "config/io_ref.h"'
expect 0 config/a.cpp '#include "link/wire.h"'
expect 0 sim/a.cpp '#include "link/wire.h"'
expect 0 core/a.cpp '// #include "ui/wmain.h" is not an include'
exit $fail
