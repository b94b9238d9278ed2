#!/usr/bin/env bash
# Sets up the machine and runs every test of dravix:
#   1. the normal build (build/) with tests and benchmarks, all tests;
#   2. an ASan+UBSan build (build-asan/), all tests;
#   3. a TSan build (build-tsan/), the tests labelled "threaded";
#   4. the libFuzzer targets (build-fuzz/, clang), each for a short bounded time;
#   5. a short smoke run of every benchmark of build/.
# Ends with the line "tests: N passed, M failed" and a non-zero status when anything failed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

usage() {
    cat <<USAGE
usage: scripts/test.sh [--quick] [--no-setup] [--fuzz-seconds N]
  --quick           only the normal build, its tests and the benchmark smoke run
                    (no sanitizer builds, no fuzzing)
  --no-setup        do not check or install the Debian packages
  --fuzz-seconds N  how long each fuzz target runs (default 20)
Environment: DRAVIX_JOBS (parallel build and test jobs, default: number of CPUs).
USAGE
}

QUICK=0
SETUP=1
FUZZ_SECONDS=20
while [[ $# -gt 0 ]]; do
    case "$1" in
        --quick) QUICK=1 ;;
        --no-setup) SETUP=0 ;;
        --fuzz-seconds)
            FUZZ_SECONDS="${2:?--fuzz-seconds needs a number}"
            shift
            ;;
        -h | --help)
            usage
            exit 0
            ;;
        *)
            usage >&2
            exit 2
            ;;
    esac
    shift
done

BUILD="$DRAVIX_ROOT/build"
BUILD_ASAN="$DRAVIX_ROOT/build-asan"
BUILD_TSAN="$DRAVIX_ROOT/build-tsan"
BUILD_FUZZ="$DRAVIX_ROOT/build-fuzz"
TEST_TIMEOUT=600

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:check_initialization_order=1}"
# LeakSanitizer (gcc 12) crashes while scanning the thread-local storage that libraries unloaded
# with dlclose leave behind (libdravix.so.2 takes libudev with it). Not treating TLS as a root
# can only add leak reports, never hide one.
export LSAN_OPTIONS="${LSAN_OPTIONS:-use_tls=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-second_deadlock_stack=1}"

PASSED=0
FAILED=0
STAGE_LINES=()
PROBE_DIR="$(mktemp -d)"
ORIGINAL_RND_BITS=""

cleanup() {
    if [[ -n "$ORIGINAL_RND_BITS" ]]; then
        as_root sysctl -q -w "vm.mmap_rnd_bits=$ORIGINAL_RND_BITS" || true
    fi
    rm -rf "$PROBE_DIR"
}
trap cleanup EXIT

# Counts one check that is not a CTest test (a build, a fuzz run, a benchmark run).
count_result() {
    if [[ "$1" -eq 0 ]]; then
        PASSED=$((PASSED + 1))
    else
        FAILED=$((FAILED + 1))
    fi
}

# run_stage NAME FUNCTION: runs a stage, times it and records its outcome. A stage that fails
# without a failed test of its own (a set-up or build failure) counts as one failed test.
run_stage() {
    local name="$1" function="$2" start=$SECONDS result=ok failed_before=$FAILED
    say "stage: $name"
    if ! "$function"; then
        result=FAILED
        [[ $FAILED -eq $failed_before ]] && FAILED=$((FAILED + 1))
    fi
    STAGE_LINES+=("$(printf '%-10s %5ds  %s' "$name" $((SECONDS - start)) "$result")")
}

# build_tree DIR PREFIX_ARRAY [cmake options...] [-- build options...]: configures and builds a
# tree; the build runs under the prefix because test discovery runs the test executables.
build_tree() {
    local dir="$1"
    local -n prefix="$2"
    shift 2
    local configure=() build=()
    while [[ $# -gt 0 && "$1" != "--" ]]; do
        configure+=("$1")
        shift
    done
    [[ $# -gt 0 ]] && shift
    build=("$@")
    if configure_tree "$dir" "${configure[@]}" &&
        "${prefix[@]}" cmake --build "$dir" --parallel "$DRAVIX_JOBS" "${build[@]}"; then
        return 0
    fi
    say "build of $dir failed"
    return 1
}

# run_ctest DIR PREFIX_ARRAY [ctest options...]: runs CTest and adds its counts to the totals.
run_ctest() {
    local dir="$1"
    local -n prefix="$2"
    shift 2
    local log="$dir/ctest.log" status=0 summary
    "${prefix[@]}" ctest --test-dir "$dir" --output-on-failure -j "$DRAVIX_JOBS" \
        --timeout "$TEST_TIMEOUT" "$@" 2>&1 | tee "$log" || status=$?
    summary="$(grep -Eo '[0-9]+ tests failed out of [0-9]+' "$log" | tail -n 1 || true)"
    if [[ -n "$summary" ]]; then
        local failed total
        read -r failed _ _ _ _ total <<<"$summary"
        PASSED=$((PASSED + total - failed))
        FAILED=$((FAILED + failed))
    elif grep -q 'No tests were found' "$log"; then
        say "no tests in $dir for: $*"
    else
        say "ctest in $dir gave no result"
        status=1
    fi
    return "$status"
}

# probe_sanitizer PREFIX_ARRAY COMPILER FLAGS...: finds out how programs built with FLAGS run on
# this kernel and sets the array to the command prefix they need. Sanitizer runtimes abort with
# "unexpected memory mapping" (TSan) or can hang (ASan) when mmap randomisation uses more bits
# than their shadow layout allows (vm.mmap_rnd_bits above 28). Running without address
# randomisation (setarch -R) avoids that; failing that, root lowers vm.mmap_rnd_bits to 28 for
# the rest of this script.
probe_sanitizer() {
    local -n result="$1"
    local compiler="$2"
    shift 2
    local probe="$PROBE_DIR/probe-$RANDOM"
    cat >"$probe.cpp" <<'PROBE'
#include <cstddef>
#include <cstdint>
#include <thread>
extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }
#ifndef PROBE_FUZZER
int main() {
    int value = 0;
    std::thread worker([&value] { value = 1; });
    worker.join();
    return value - 1;
}
#endif
PROBE
    local defines=()
    [[ " $* " == *fuzzer* ]] && defines=(-DPROBE_FUZZER)
    if ! "$compiler" "$@" "${defines[@]}" -g -pthread "$probe.cpp" -o "$probe" 2>"$probe.log"; then
        say "cannot build a program with $compiler $*:"
        cat "$probe.log" >&2
        return 1
    fi
    local run=(timeout 120 "$probe")
    [[ ${#defines[@]} -gt 0 ]] && run+=(-runs=1)
    local no_aslr=(setarch "$(uname -m)" -R)
    local bits=/proc/sys/vm/mmap_rnd_bits rnd_bits=0
    [[ -r "$bits" ]] && rnd_bits="$(cat "$bits")"

    if [[ "$rnd_bits" -le 28 ]] && "${run[@]}" >"$probe.log" 2>&1; then
        result=()
        return 0
    fi
    if [[ "$rnd_bits" -gt 28 ]]; then
        say "vm.mmap_rnd_bits is $rnd_bits: more than sanitizer runtimes handle"
    else
        say "a program built with '$*' fails here:"
        tail -n 5 "$probe.log" >&2
    fi
    if "${no_aslr[@]}" "${run[@]}" >"$probe.log" 2>&1; then
        say "'$*' builds run without address randomisation (setarch -R)"
        result=("${no_aslr[@]}")
        return 0
    fi
    if [[ "$rnd_bits" -gt 28 && -z "$ORIGINAL_RND_BITS" ]] &&
        as_root sysctl -q -w vm.mmap_rnd_bits=28 2>/dev/null; then
        ORIGINAL_RND_BITS="$rnd_bits"
        say "lowered vm.mmap_rnd_bits to 28 until the end of this script"
        if "${run[@]}" >"$probe.log" 2>&1; then
            result=()
            return 0
        fi
    fi
    say "no way found to run programs built with '$*' on this machine:"
    tail -n 5 "$probe.log" >&2
    return 1
}

stage_setup() {
    bash "$DRAVIX_ROOT/scripts/setup.sh"
}

NO_PREFIX=()

stage_normal() {
    build_tree "$BUILD" NO_PREFIX -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDRAVIX_SANITIZER= \
        -DDRAVIX_BUILD_TESTS=ON -DDRAVIX_BUILD_BENCH=ON -DDRAVIX_BUILD_FUZZ=OFF || return 1
    run_ctest "$BUILD" NO_PREFIX
}

ASAN_PREFIX=()
stage_asan() {
    if ! probe_sanitizer ASAN_PREFIX c++ -fsanitize=address,undefined; then
        return 1
    fi
    build_tree "$BUILD_ASAN" ASAN_PREFIX -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DDRAVIX_SANITIZER=address -DDRAVIX_BUILD_TESTS=ON -DDRAVIX_BUILD_BENCH=OFF || return 1
    run_ctest "$BUILD_ASAN" ASAN_PREFIX
}

TSAN_PREFIX=()
stage_tsan() {
    if ! probe_sanitizer TSAN_PREFIX c++ -fsanitize=thread; then
        return 1
    fi
    build_tree "$BUILD_TSAN" TSAN_PREFIX -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DDRAVIX_SANITIZER=thread -DDRAVIX_BUILD_TESTS=ON -DDRAVIX_BUILD_BENCH=OFF || return 1
    run_ctest "$BUILD_TSAN" TSAN_PREFIX -L threaded
}

# The fuzz tree lists its targets in fuzz-targets.txt: name, libFuzzer binary, seed corpus.
FUZZ_PREFIX=()
stage_fuzz() {
    if ! probe_sanitizer FUZZ_PREFIX clang++ -fsanitize=fuzzer,address,undefined; then
        return 1
    fi
    CC=clang CXX=clang++ build_tree "$BUILD_FUZZ" FUZZ_PREFIX -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DDRAVIX_SANITIZER= -DDRAVIX_BUILD_TESTS=ON -DDRAVIX_BUILD_BENCH=OFF \
        -DDRAVIX_BUILD_FUZZ=ON -- --target dravix_fuzzers || return 1
    local manifest="$BUILD_FUZZ/fuzz-targets.txt" status=0 name binary corpus
    if [[ ! -s "$manifest" ]]; then
        say "the fuzz tree lists no fuzz targets"
        return 1
    fi
    while IFS=$'\t' read -r name binary corpus; do
        local work="$BUILD_FUZZ/fuzz-runs/$name"
        rm -rf "$work"
        mkdir -p "$work/corpus" "$work/artifacts"
        cp -R "$corpus/." "$work/corpus/"
        say "fuzzing $name for ${FUZZ_SECONDS}s"
        local rc=0 dictionary="${corpus%/corpus/*}/$name.dict" options=()
        [[ -f "$dictionary" ]] && options+=(-dict="$dictionary")
        "${FUZZ_PREFIX[@]}" "$binary" -max_total_time="$FUZZ_SECONDS" -timeout=25 \
            -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
            "${options[@]}" "$work/corpus" >"$work/fuzz.log" 2>&1 </dev/null || rc=$?
        if [[ $rc -eq 0 ]]; then
            grep -E '^(stat::number_of_executed_units|Done )' "$work/fuzz.log" || true
        else
            say "fuzz target $name failed (status $rc); inputs kept in $work/artifacts:"
            tail -n 60 "$work/fuzz.log"
            status=1
        fi
        count_result "$rc"
    done <"$manifest"
    return "$status"
}

# Benchmark executables are the executables of build/tests/bench outside CMakeFiles.
stage_bench() {
    local dir="$BUILD/tests/bench" status=0 found=0 bench
    if [[ -d "$dir" ]]; then
        while IFS= read -r bench; do
            found=1
            say "benchmark smoke run: ${bench#"$BUILD"/}"
            local rc=0
            DRAVIX_BENCH_SECONDS=1 timeout 600 "$bench" --benchmark_min_time=0.01 || rc=$?
            [[ $rc -ne 0 ]] && status=1
            count_result "$rc"
        done < <(find "$dir" -path '*/CMakeFiles' -prune -o -type f -perm -u+x -print | sort)
    fi
    [[ $found -eq 0 ]] && say "no benchmark executables in $dir"
    return "$status"
}

[[ $SETUP -eq 1 ]] && run_stage setup stage_setup
run_stage normal stage_normal
if [[ $QUICK -eq 0 ]]; then
    run_stage asan stage_asan
    run_stage tsan stage_tsan
    run_stage fuzz stage_fuzz
fi
run_stage bench stage_bench

say "stages (name, duration, result):"
printf '%s\n' "${STAGE_LINES[@]}"
echo "tests: $PASSED passed, $FAILED failed"
[[ $FAILED -eq 0 ]]
