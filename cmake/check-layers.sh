#!/usr/bin/env bash
# The folders under src/ include each other in one direction only, and no folder includes the
# entry layer (src/capi), which sits alone at the top. The exports' process-wide settings
# (frame/settings.h) are included only by the entry layer and the windows (src/ui): nothing
# below them reads a process-wide setting.
#   check-layers.sh [SRC_DIR]     prints the folders bottom to top; exits 1 on a wrong include
set -u
src=${1:-src}
entry=capi

# "from to" for every #include "to/..." in a file of src/from/, once per pair of folders.
edges=$(grep -rHE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"[A-Za-z0-9_]+/' "$src" |
  sed -E 's|^'"$src"'/([A-Za-z0-9_]+)/[^:]*:[[:space:]]*#[[:space:]]*include[[:space:]]+"([A-Za-z0-9_]+)/.*|\1 \2|' |
  awk 'NF == 2 && $1 != $2' | sort -u)

status=0
into_entry=$(printf '%s\n' "$edges" | awk -v e="$entry" 'NF == 2 && $2 == e { print $1 }')
if [ -n "$into_entry" ]; then
  echo "the entry layer src/$entry is included from: $(echo $into_entry)"
  grep -rnE '#[[:space:]]*include[[:space:]]+"'"$entry"'/' "$src" | grep -v "^$src/$entry/"
  status=1
fi

settings=$(grep -rlE '^[[:space:]]*#[[:space:]]*include[[:space:]]+"frame/settings\.h"' "$src" |
  grep -vE "^$src/($entry|ui|frame)/" || true)
if [ -n "$settings" ]; then
  echo "frame/settings.h is included below the entry layer and the windows: $(echo $settings)"
  status=1
fi

# tsort orders "lower higher" pairs and reports any loop among them.
if ! order=$(printf '%s\n' "$edges" | awk 'NF == 2 { print $2, $1 }' | tsort 2>/tmp/check-layers.$$); then
  echo "folders that include each other in a loop:"
  sed 's/^/  /' /tmp/check-layers.$$
  for pair in $(printf '%s\n' "$edges" | tr ' ' ':'); do
    from=${pair%%:*}
    to=${pair##*:}
    if printf '%s\n' "$edges" | grep -qx "$to $from"; then
      grep -rnE '#[[:space:]]*include[[:space:]]+"'"$to"'/' "$src/$from" | sed 's/^/  /'
    fi
  done
  status=1
fi
rm -f /tmp/check-layers.$$
[ $status -eq 0 ] && echo "layers, bottom to top: $(echo $order)"
exit $status
