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

# A circle inside ui/; the same files without it.
cycle() {
  rm -rf "${tmp:?}"/*
  mkdir -p "$tmp/ui"
  printf '#include "ui/b.h"\n' >"$tmp/ui/a.h"
  printf '#include "ui/c.h"\n' >"$tmp/ui/b.h"
  printf '%s\n' "$1" >"$tmp/ui/c.h"
  printf '#include "ui/a.h"\n#include "ui/c.h"\n' >"$tmp/ui/a.cpp"
  "$check" "$tmp" 2>/dev/null
}
cycle '#include "ui/a.h"'
[ $? -eq 1 ] || { echo "a circle a.h -> b.h -> c.h -> a.h passed" >&2; fail=1; }
cycle '#include <QWidget>'
[ $? -eq 0 ] || { echo "a chain without a circle was refused" >&2; fail=1; }
exit $fail
