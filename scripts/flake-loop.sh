#!/usr/bin/env bash
# Runs every test program of a build folder many times in a row, two programs at once so that
# the machine is loaded, and stops at the first failure, showing its output.
#   scripts/flake-loop.sh [-n RUNS] [-j AT_ONCE] BUILD_FOLDER [TEST ...]
#     RUNS      runs of each test program in a row (default 20)
#     AT_ONCE   test programs run side by side (default 2)
#     TEST      only these test programs (CTest names); default every one of the folder
# Example: scripts/flake-loop.sh build && scripts/flake-loop.sh build-sanitize
# Each run goes through CTest, as the suite runs them (isolate.sh, the test's own time-out).
# Prints one summary line per test program and, last, "N passed, N failed" over the
# programs; exits non-zero when any run failed.
set -euo pipefail

runs=20
jobs=2
while getopts "n:j:h" option; do
    case "$option" in
    n) runs=$OPTARG ;;
    j) jobs=$OPTARG ;;
    *) sed -n '2,11p' "$0" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
[ $# -ge 1 ] || { sed -n '2,11p' "$0" >&2; exit 2; }
build=$(cd "$1" && pwd)
shift
[[ $runs =~ ^[1-9][0-9]*$ && $jobs =~ ^[1-9][0-9]*$ ]] || { echo "RUNS and AT_ONCE are whole numbers" >&2; exit 2; }

if [ $# -gt 0 ]; then
    tests=("$@")
else
    mapfile -t tests < <(cd "$build" && ctest -N | sed -n 's/^ *Test *#[0-9]*: *\([^ ]*\).*$/\1/p')
fi
[ ${#tests[@]} -gt 0 ] || { echo "no tests in $build (is it built?)" >&2; exit 2; }

state=$(mktemp -d "${TMPDIR:-/tmp}/flake-loop.XXXXXX")
trap 'rm -rf "$state"' EXIT
echo "flake loop: ${#tests[@]} test programs x $runs runs, $jobs at once, in $build"

# One test program, run after run, until all passed, one failed, or another program failed.
loop() {
    local name=$1 run start end log
    local total=0 longest=0
    for ((run = 1; run <= runs; run++)); do
        [ -e "$state/stop" ] && { echo "$name: stopped after $((run - 1)) of $runs runs (another test failed)" >"$state/$name.summary"; return 0; }
        log="$state/$name.log"
        start=$(date +%s%N)
        if (cd "$build" && ctest -R "^${name}\$" --output-on-failure --no-tests=error) >"$log" 2>&1; then
            end=$(date +%s%N)
            local ms=$(((end - start) / 1000000))
            total=$((total + ms))
            ((ms > longest)) && longest=$ms
        else
            end=$(date +%s%N)
            # Only the first failure is reported in full.
            if mkdir "$state/first-failure" 2>/dev/null; then
                {
                    echo "=== $name failed on run $run of $runs after $(((end - start) / 1000000)) ms; its output:"
                    cat "$log"
                    echo "=== end of $name's output"
                } >"$state/first-failure/report"
            fi
            touch "$state/stop"
            echo "$name: FAILED on run $run of $runs" >"$state/$name.summary"
            return 1
        fi
    done
    awk -v n="$name" -v r="$runs" -v t="$total" -v l="$longest" \
        'BEGIN { printf "%s: %d of %d runs passed, %.1f s a run on average, %.1f s the longest\n", n, r, r, t / r / 1000, l / 1000 }' \
        >"$state/$name.summary"
}

# A small queue: each of the `jobs` workers takes the next test program from the list.
worker() {
    local name
    while true; do
        exec 9>"$state/queue.lock"
        flock 9
        local index
        index=$(cat "$state/next" 2>/dev/null || echo 0)
        echo $((index + 1)) >"$state/next"
        flock -u 9
        [ "$index" -lt ${#tests[@]} ] || return 0
        name=${tests[$index]}
        [ -e "$state/stop" ] && { echo "$name: not run (another test failed)" >"$state/$name.summary"; continue; }
        loop "$name" || true
    done
}
echo 0 >"$state/next"
started=$(date +%s)
pids=()
for ((j = 0; j < jobs; j++)); do
    worker &
    pids+=($!)
done
for pid in "${pids[@]}"; do wait "$pid"; done

passed=0
failed=0
for name in "${tests[@]}"; do
    if [ -e "$state/$name.summary" ]; then
        cat "$state/$name.summary"
        grep -q " of $runs runs passed" "$state/$name.summary" && passed=$((passed + 1)) || true
        grep -q "FAILED" "$state/$name.summary" && failed=$((failed + 1)) || true
    fi
done
elapsed=$(($(date +%s) - started))
if [ -e "$state/first-failure/report" ]; then
    echo
    cat "$state/first-failure/report"
fi
echo "flake loop over $build took $((elapsed / 60)) min $((elapsed % 60)) s"
# Programs stopped early by another's failure count as neither.
echo "flake-loop: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -eq ${#tests[@]} ]
