# Sourced by the dissector tests: checks for tshark, and for an installed copy of the dissector
# in a global plugin folder. Wireshark loads that copy first and the one under test then leaves
# the protocol to it, so a different installed copy makes the tests skip (exit 77).
#   use_dissector DISSECTOR
use_dissector() {
  local dissector=$1 installed
  if ! command -v tshark >/dev/null 2>&1; then
    echo "dissector test: tshark is missing (scripts/deps installs it); skipped"
    exit 77
  fi
  for installed in /usr/lib/*/wireshark/plugins/zavconfig.lua /usr/lib/wireshark/plugins/zavconfig.lua \
                   /usr/local/lib/wireshark/plugins/zavconfig.lua; do
    [ -e "$installed" ] || continue
    if ! cmp -s "$installed" "$dissector"; then
      echo "dissector test: $installed (an installed package) differs from $dissector and would be" \
           "loaded instead of it; skipped"
      exit 77
    fi
  done
}
