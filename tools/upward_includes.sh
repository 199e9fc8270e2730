#!/usr/bin/env bash
# Lists every include in NegativeCore/ that reaches a folder of a higher floor than its own, and
# fails when there is one. The floors, lowest first (ARCHITECTURE.md explains them):
floors=(Support Color Resources Record Conversion Print Tone Finishing Dust MeasuringAids Export Driver)
set -euo pipefail
cd "$(dirname "$0")/../NegativeCore"
rank() {
  local i
  for i in "${!floors[@]}"; do [ "${floors[$i]}" = "$1" ] && { echo "$i"; return; }; done
  echo -1
}
status=0
while IFS=: read -r file _ line; do
  from=${file%%/*}
  to=$(sed -E 's/.*#include "([A-Za-z]+)\/.*/\1/' <<<"$line")
  [ "$to" = "$line" ] && continue
  from_rank=$(rank "$from"); to_rank=$(rank "$to")
  if [ "$from_rank" -lt 0 ] || [ "$to_rank" -lt 0 ]; then
    echo "unranked folder: $file includes $to/"; status=1; continue
  fi
  if [ "$to_rank" -gt "$from_rank" ]; then
    echo "upward: $file includes ${line#*#include }"
    status=1
  fi
done < <(grep -rn '#include "[A-Za-z]*/' --include='*.h' --include='*.cpp' .  | sed 's|^\./||')
exit $status
