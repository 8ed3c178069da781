#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (QW_FUZZ=ON, build-fuzz/ or $QW_FUZZ_BUILD_DIR) and runs
# each for QW_FUZZ_SECONDS seconds (default 30), starting from its checked-in seeds
# (tests/fuzz/<target>/corpus) and from what earlier runs found (<build>/corpus/<target>).
# Arguments name targets to run (default: all). A failure leaves the input in <build>/artifacts/
# and prints the command that reproduces it.
# The mutations start from QW_FUZZ_SEED (default 1), so a run on a fresh clone repeats what an
# earlier run of the same length already explored: the test command stays repeatable, and
# QW_FUZZ_SEED=0 (a new seed each run) is for looking further.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QW_FUZZ_BUILD_DIR:-$root/build-fuzz}"
seconds="${QW_FUZZ_SECONDS:-30}"
seed="${QW_FUZZ_SEED:-1}"
werror="${QW_WERROR:-OFF}"
if [ "${CI:-}" = "true" ]; then werror=ON; fi

all=(chat_reply settings_file desktop_entry endpoint text_policy l10n_format update_feed)
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then targets=("${all[@]}"); fi

CXX="${QW_FUZZ_CXX:-clang++}" cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQW_FUZZ=ON -DQW_WERROR="$werror" >/dev/null
cmake --build "$build" --parallel "$(nproc)" --target "${targets[@]/#/fuzz_}"

# Failing inputs stop the run at once; UBSan's findings are failures too.
export ASAN_OPTIONS="detect_leaks=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export QT_QPA_PLATFORM=offscreen
# Qt's hash tables take a random seed per process; a fixed one keeps the coverage, and with it the
# mutations that follow from QW_FUZZ_SEED, the same from run to run.
export QT_HASH_SEED=0
mkdir -p "$build/artifacts"
status=0
printf '%-16s %12s %10s %8s\n' target executions "exec/s" corpus
for target in "${targets[@]}"; do
    seeds="$root/tests/fuzz/$target/corpus"
    found="$build/corpus/$target"
    mkdir -p "$found"
    log="$build/artifacts/$target.log"
    # -timeout: one input taking longer than this is a hang; -rss_limit_mb bounds a 10 MB text's copies.
    if ! "$build/tests/fuzz/fuzz_$target" -max_total_time="$seconds" -seed="$seed" -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "$found" "$seeds" >"$log" 2>&1; then
        status=1
        echo "fuzz_$target failed; its output is in $log. Reproduce with:" >&2
        grep -o "Test unit written to .*" "$log" | sed "s|Test unit written to |    $build/tests/fuzz/fuzz_$target |" >&2 || true
        tail -n 40 "$log" >&2
        continue
    fi
    runs="$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)"
    rate="$(grep -o 'stat::average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo 0)"
    printf '%-16s %12s %10s %8s\n' "$target" "$runs" "$rate" "$(ls "$found" | wc -l)"
done
exit "$status"
