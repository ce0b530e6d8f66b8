#!/usr/bin/env bash
# bench/enrol/compare.sh: Quillbeck beside the plain loop (refpipe, from the shared peer folder),
# one after the other on the same image folders on disk and pinned alike with taskset (one
# processor for 1 worker, two for 2, eight for 8), REPEATS runs each; prints Markdown tables of the
# medians: images/s, their ratios, minor page faults per image, system time, peak memory
# (/usr/bin/time -v) and the tool's start-up with 1 and 8 workers; for the folders where what
# workers keep meets the pixel budget (progmix, towering), the tool's peak above a run over one
# photo beside the budget.
# Usage: bench/enrol/compare.sh [BUILD] [REPEATS] [SETS]
#   BUILD    a release build of this tree (default build/release): Quillbeck, the benchmark
#            (it writes the large photos), the model files and the Alpha test plug-in
#   REPEATS  runs per configuration (default 3); SETS default
#            "big unequal p1600 p4000 hostile progmix towering"
# Environment: ZR_PEER the peer folder (default: shared/peer beside the main clone);
#   ZR_IMAGES where the peer's make-image-sets.sh puts big/ (default /tmp/qb-images; reused when it
#   holds its 1100 photos); ZR_COMPARE_DIR the folders made here and the runs (default
#   /tmp/qb-compare); ZR_TOOL another Quillbeck binary to run (default BUILD/enrol/Quillbeck).
# refpipe is built into build/refpipe with -O3 when missing.
set -euo pipefail
export LC_ALL=C
top=$(cd "$(dirname "$0")/../.." && pwd)
cd "$top"
build=${1:-build/release}
repeats=${2:-3}
sets=${3:-big unequal p1600 p4000 hostile progmix towering}
# The peer folder lies beside the main clone (a worktree's common git folder is the main clone's).
common=$(cd "$(git rev-parse --git-common-dir 2>/dev/null || echo .)" && pwd)
peer=${ZR_PEER:-$(dirname "$(dirname "$common")")/shared/peer}
[ -d "$peer" ] || peer=$top/../shared/peer
images=${ZR_IMAGES:-/tmp/qb-images}
work=${ZR_COMPARE_DIR:-/tmp/qb-compare}
tool=${ZR_TOOL:-$build/enrol/Quillbeck}
bench=$build/bench/enrol/enrol_throughput_bench
models=$build/models/full
plugin=$build/tests/enrol/plugins/Alpha.so
refpipe=build/refpipe

for f in "$tool" "$bench" "$models/Landmarks.data" "$plugin" "$peer/make-image-sets.sh"; do
  [ -e "$f" ] || { echo "compare.sh: missing $f (a release build? the peer folder in ZR_PEER?)" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "compare.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }
if [ "$(nproc)" -lt 8 ]; then
  echo "compare.sh: needs 8 processors, this process may use $(nproc)" >&2
  exit 1
fi
if [ ! -x "$refpipe" ]; then
  echo "building $refpipe (-O3)" >&2
  mkdir -p "$(dirname "$refpipe")"
  CXXFLAGS=-O3 "$peer/build.sh" "$refpipe"
fi

# The image folders: big/ from the peer's script, the others made here.
if [ "$(find "$images/big" -name '*.jpg' 2>/dev/null | wc -l)" -ne 1100 ]; then
  "$peer/make-image-sets.sh" "$images" >&2
fi
mkdir -p "$work"
if [ "$(find "$work/unequal" -name '*.jpg' 2>/dev/null | wc -l)" -ne 290 ]; then
  # Every tenth person of big/ keeps all 11 photos, the others their first 2 (by name).
  rm -rf "$work/unequal"
  mkdir -p "$work/unequal"
  find "$images/big" -name '*.jpg' -printf '%f\n' | sort | awk -F_ '
    { p = $1 + 0; n[p]++; if (p % 10 == 0 || n[p] <= 2) print }' |
    while read -r f; do cp "$images/big/$f" "$work/unequal/"; done
fi
written="hostile p1600 p4000 progmix towering"
if ! (for d in $written; do [ -d "$work/$d" ] || exit 1; done); then
  for d in $written; do rm -rf "${work:?}/$d"; done
  "$bench" --write_photos="$work"
fi
rm -rf "$work/one"
mkdir -p "$work/one"
cp "$(find "$images/big" -name '*.jpg' | sort | head -n 1)" "$work/one/"
dir_of() { case $1 in big) echo "$images/big" ;; *) echo "$work/$1" ;; esac; }

# The processors for n workers: the last n this process may use (the test suites pin the first).
cpus_for() {
  taskset -cp $$ | sed 's/.*: //' | tr ',' '\n' |
    awk -F- '{ for (c = $1; c <= ($2 == "" ? $1 : $2); c++) print c }' | tail -n "$1" | paste -sd,
}

# One value of /usr/bin/time -v's report.
time_field() { awk -F': ' -v k="$2" 'index($0, k) { print $NF }' "$1"; }
# Its wall time in seconds.
wall_s() {
  time_field "$1" "Elapsed (wall clock)" | awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }'
}

# run_tool DIR WORKERS OUT: a fresh data folder (models linked, the plug-in copied), then the run.
run_tool() {
  local data=$work/data
  rm -rf "$data"
  mkdir -p "$data/FR"
  for f in Landmarks.data Detectors.data IsFace.data; do ln -s "$(realpath "$models/$f")" "$data/$f"; done
  cp "$plugin" "$data/FR/Alpha.so"
  taskset -c "$(cpus_for "$2")" /usr/bin/time -v -o "$3.time" "$tool" "$data" "$1" Compare jpg >"$3.out" 2>&1
  awk -F'= ' '/^Enrollments per second/ { print $2 }' "$3.out" >"$3.rate"
}
run_loop() {
  taskset -c "$(cpus_for "$2")" /usr/bin/time -v -o "$3.time" "$refpipe" "$1" "$work/loop.sqlite" "$2" \
    --stages=lbp+hog >"$3.out" 2>"$3.err" || true
  awk '$1 == "images_per_s" { print $2 }' "$3.out" >"$3.rate"
}

median() { sort -g | awk '{ v[NR] = $1 } END { if (NR == 0) print "-"; else print v[int((NR + 1) / 2)] }'; }
# The median over the runs of one measure: rate, faults, sys, peak (MiB) or wall.
measure() {
  local what=$1 prefix=$2 r
  for r in $(seq "$repeats"); do
    case $what in
      rate) cat "$prefix.$r.rate" ;;
      faults) time_field "$prefix.$r.time" "Minor (reclaiming a frame) page faults" ;;
      sys) time_field "$prefix.$r.time" "System time (seconds)" ;;
      peak) time_field "$prefix.$r.time" "Maximum resident set size" | awk '{ print $1 / 1024 }' ;;
      wall) wall_s "$prefix.$r.time" ;;
    esac
  done | median
}
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a + 0 > 0 && b + 0 > 0) printf "%.2f", a / b; else print "-" }'; }
per() { awk -v a="$1" -v b="$2" -v c="${3:-0}" 'BEGIN { if (a == "-" || b + 0 <= 0) print "-"; else printf "%.0f", (a - c) / b }'; }
fmt() { awk -v a="$1" -v f="$2" 'BEGIN { if (a == "-" || a == "") print "-"; else printf f, a }'; }
# A rate: whole numbers from 10 on.
rate() { awk -v a="$1" 'BEGIN { if (a == "-" || a == "") print "-"; else printf (a < 10 ? "%.2f" : "%.0f"), a }'; }

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
runs=$work/runs
rm -rf "$runs"
mkdir -p "$runs"
# The tool's start-up: a run over one photo with 1 and with 8 workers.
for n in 1 8; do
  for r in $(seq "$repeats"); do run_tool "$work/one" "$n" "$runs/one.$n.tool.$r"; done
done
startup_faults1=$(measure faults "$runs/one.1.tool")

configs=""
for s in $sets; do
  case $s in
    big | unequal) configs="$configs $s:1 $s:8" ;;
    p1600) configs="$configs p1600:1" ;;
    p4000 | progmix | towering) configs="$configs $s:8" ;;
    hostile) configs="$configs hostile:2" ;;
    *) echo "compare.sh: unknown set $s" >&2; exit 1 ;;
  esac
done
for c in $configs; do
  s=${c%:*} n=${c#*:} dir=$(dir_of "${c%:*}")
  cat "$dir"/* >/dev/null  # page cache warm for both
  echo "running $s with $n workers" >&2
  for r in $(seq "$repeats"); do
    run_tool "$dir" "$n" "$runs/$s.$n.tool.$r"
    run_loop "$dir" "$n" "$runs/$s.$n.loop.$r"
  done
done

echo "Load average (1, 5, 15 min) before the runs: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg);"
echo "$(nproc) processors ($(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo));"
echo "medians of $repeats runs; the tool's OpenCV threads as built; the loop with --stages=lbp+hog."
echo
echo "| folder | photos | workers | tool images/s | loop images/s | tool / loop | tool faults / image | loop faults / image | tool sys s | loop sys s | tool peak MiB | loop peak MiB |"
echo "|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|"
for c in $configs; do
  s=${c%:*} n=${c#*:}
  photos=$(find "$(dir_of "$s")" -name '*.jpg' | wc -l)
  t=$runs/$s.$n.tool l=$runs/$s.$n.loop
  tr=$(measure rate "$t") lr=$(measure rate "$l")
  printf '| %s | %d | %d | %s | %s | %s | %s | %s | %s | %s | %s | %s |\n' "$s" "$photos" "$n" \
    "$(rate "$tr")" "$(rate "$lr")" "$(ratio "$tr" "$lr")" \
    "$(per "$(measure faults "$t")" "$photos")" "$(per "$(measure faults "$l")" "$photos")" \
    "$(fmt "$(measure sys "$t")" %.2f)" "$(fmt "$(measure sys "$l")" %.2f)" \
    "$(fmt "$(measure peak "$t")" %.0f)" "$(fmt "$(measure peak "$l")" %.0f)"
done
echo
echo "| measure | value |"
echo "|---|---:|"
rate_of() { if [ -e "$runs/$1.$2.$3.1.rate" ]; then measure rate "$runs/$1.$2.$3"; else echo -; fi; }
echo "| big/, 1 worker: tool / loop | $(ratio "$(rate_of big 1 tool)" "$(rate_of big 1 loop)") |"
echo "| big/, 8 workers: tool / loop | $(ratio "$(rate_of big 8 tool)" "$(rate_of big 8 loop)") |"
echo "| unequal, 8 workers: tool / loop | $(ratio "$(rate_of unequal 8 tool)" "$(rate_of unequal 8 loop)") |"
echo "| unequal: tool, 8 workers / 1 | $(ratio "$(rate_of unequal 8 tool)" "$(rate_of unequal 1 tool)") |"
echo "| unequal: loop, 8 workers / 1 | $(ratio "$(rate_of unequal 8 loop)" "$(rate_of unequal 1 loop)") |"
if [ -e "$runs/big.1.tool.1.time" ]; then
  echo "| big/, 1 worker: tool faults / image beyond a one-photo run's | $(per "$(measure faults "$runs/big.1.tool")" 1099 "$startup_faults1") |"
fi
if [ -e "$runs/p1600.1.tool.1.time" ]; then
  echo "| p1600, 1 worker: tool faults / image beyond a one-photo run's | $(per "$(measure faults "$runs/p1600.1.tool")" 54 "$startup_faults1") |"
fi
# The pixel budget as the tool makes it: an eighth of the memory, from 256 MiB to 1 GiB.
budget_mib=$(awk '/^MemTotal:/ { b = $2 / 1024 / 8; if (b < 256) b = 256; if (b > 1024) b = 1024; print b }' /proc/meminfo)
one8=$(measure peak "$runs/one.8.tool")
for s in progmix towering; do
  if [ -e "$runs/$s.8.tool.1.time" ]; then
    above=$(awk -v a="$(measure peak "$runs/$s.8.tool")" -v b="$one8" 'BEGIN { print a - b }')
    echo "| $s, 8 workers: tool peak above a one-photo run / pixel budget ($(fmt "$budget_mib" %.0f) MiB) | $(fmt "$above" %.0f) MiB, $(ratio "$above" "$budget_mib") |"
  fi
done
echo "| tool start-up (a run over one photo), 1 worker | $(fmt "$(measure wall "$runs/one.1.tool")" %.2f) s |"
echo "| tool start-up (a run over one photo), 8 workers | $(fmt "$(measure wall "$runs/one.8.tool")" %.2f) s |"
