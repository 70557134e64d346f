#!/usr/bin/env bash
# Measures the suite's fault-finding power: puts each fault of faults.txt into the code
# in turn, builds, runs the whole suite and writes which tests fail on it. Run by hand
# (it takes a build and a suite run per fault), never by CI:
#   bash tools/fault-power/run.sh [build-dir] > fault-power.txt
# The tree is restored after each fault (git checkout of the one file); a fault the
# suite does not catch is marked "NOT CAUGHT" and the exit status is 1.
set -uo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
export QT_QPA_PLATFORM=offscreen LANG=C.UTF-8
missed=0
while IFS= read -r line; do
  [[ -z "$line" || "$line" == \#* ]] && continue
  name=$(awk -F' @@ ' '{print $1}' <<<"$line")
  file=$(awk -F' @@ ' '{print $2}' <<<"$line")
  find=$(awk -F' @@ ' '{print $3}' <<<"$line")
  put=$(awk -F' @@ ' '{print $4}' <<<"$line")
  if ! git diff --quiet -- "$file"; then echo "$file has changes of its own: not touched" >&2; exit 2; fi
  if ! FIND="$find" PUT="$put" python3 - "$file" <<'PY'; then
import os, sys
path = sys.argv[1]
text = open(path, encoding="utf-8").read()
find, put = os.environ["FIND"], os.environ["PUT"]
if find not in text:
    sys.exit(1)
open(path, "w", encoding="utf-8").write(text.replace(find, put, 1))
PY
    echo "== $name: text not found in $file (the fault list is out of date)"
    missed=1
    continue
  fi
  if ! cmake --build "$build" -j "$(nproc)" >/dev/null 2>&1; then
    echo "== $name: caught by the build"
  else
    failed=$(ctest --test-dir "$build" -j "$(nproc)" --timeout 120 2>/dev/null |
      sed -n 's/^[[:space:]]*[0-9]* - \(.*\) (\(Failed\|Timeout\|SEGFAULT\|Subprocess aborted\|Exception\).*/\1/p')
    if [[ -z "$failed" ]]; then
      echo "== $name: NOT CAUGHT"
      missed=1
    else
      echo "== $name: $(wc -l <<<"$failed") failing"
      sed 's/^/   /' <<<"$failed"
    fi
  fi
  git checkout -q -- "$file"
done < tools/fault-power/faults.txt
cmake --build "$build" -j "$(nproc)" >/dev/null 2>&1
exit $missed
