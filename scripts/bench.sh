#!/usr/bin/env bash
# Builds and runs the benchmarks (release build in build-bench/), then times
# `quillweave translate` in demo mode as a whole process, start-up included.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build-bench"
"$root/scripts/install-deps.sh"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQW_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --parallel "$(nproc)" >"$build/build.log" || { tail -30 "$build/build.log"; exit 1; }
export QT_QPA_PLATFORM=offscreen
for bench in "$build"/bench/*/bench_*; do
    [ -f "$bench" ] && [ -x "$bench" ] || continue
    echo "== $(basename "$bench")"
    "$bench" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
done

echo "== quillweave translate 你好 (demo mode, whole process, start-up included)"
export XDG_CONFIG_HOME="$(mktemp -d)"
runs=20
times=()
for _ in $(seq 1 $runs); do
    start=$(date +%s%N)
    "$build/app/quillweave" translate 你好 >/dev/null
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000000 )))
done
printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "median %d ms, min %d ms, max %d ms over %d runs\n", a[int((NR+1)/2)], a[1], a[NR], NR}'
rm -rf "$XDG_CONFIG_HOME"
