#!/usr/bin/env bash
# Builds the fuzz targets with clang (ASan + UBSan + libFuzzer) and runs each one briefly on its seed
# corpus. New inputs go to a scratch folder, never into the committed corpus.
#   fuzz/run-ci.sh [seconds per target, default 25]
# Environment: FLINTOR_FUZZ_BUILD_DIR (default build-fuzz), FLINTOR_FUZZ_JOBS (default 2).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
seconds="${1:-25}"
build="${FLINTOR_FUZZ_BUILD_DIR:-$here/build-fuzz}"
jobs="${FLINTOR_FUZZ_JOBS:-2}"

# A build folder configured with FLINTOR_FUZZ already (CI's sanitizer build) is used as it is.
if ! grep -qs '^FLINTOR_FUZZ:BOOL=ON$' "$build/CMakeCache.txt"; then
  CC=clang-14 CXX=clang++-14 cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DFLINTOR_FUZZ=ON -DFLINTOR_WITH_TESTS=OFF -DFLINTOR_WITH_BENCH=OFF >/dev/null
fi
# Only the targets and what they link: the programs and tests of this tree are built elsewhere.
targets=()
for corpus in "$here"/fuzz/corpus/*/; do
  targets+=("fuzz_$(basename "$corpus")")
done
cmake --build "$build" -j "$jobs" --target "${targets[@]}"

export QT_QPA_PLATFORM=offscreen
# The targets talk to nothing, and the router code refuses every address but loopback ones while this is set.
export FLINTOR_LOOPBACK_ONLY=1
export XDG_RUNTIME_DIR="${XDG_RUNTIME_DIR:-$(mktemp -d /tmp/flintor-runtime.XXXXXX)}"
chmod 700 "$XDG_RUNTIME_DIR"
# Leaks are not sought here: Qt's process-wide caches outlive the input loop.
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

scratch="$(mktemp -d /tmp/flintor-fuzz-ci.XXXXXX)"
trap 'rm -rf "$scratch"' EXIT
# Each target runs in one process of its own, as many at once as there are jobs.
fuzz_one() {
  local name="$1" corpus="$2" binary="$build/fuzz/fuzz_$1"
  local dict=()
  if [ -f "$here/fuzz/$name.dict" ]; then
    dict=("-dict=$here/fuzz/$name.dict")
  fi
  mkdir -p "$scratch/$name"
  if ! (cd "$scratch" && "$binary" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$scratch/$name-" "${dict[@]}" \
        "$scratch/$name" "$corpus" >"$scratch/$name.log" 2>&1); then
    touch "$scratch/$name.failed"
  fi
}
names=()
for corpus in "$here"/fuzz/corpus/*/; do
  name="$(basename "$corpus")"
  if [ ! -x "$build/fuzz/fuzz_$name" ]; then
    echo "fuzz: $name was not built, skipped"
    continue
  fi
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do
    wait -n || true
  done
  echo "fuzz: $name for ${seconds}s"
  names+=("$name")
  fuzz_one "$name" "$corpus" &
done
wait

failed=()
for name in "${names[@]}"; do
  if [ -e "$scratch/$name.failed" ]; then
    failed+=("$name")
    tail -n 60 "$scratch/$name.log"
    for artifact in "$scratch/$name"-*; do
      [ -e "$artifact" ] && echo "fuzz: $name finding $(basename "$artifact"): $(base64 -w0 "$artifact")"
    done
  fi
  echo "fuzz: $name: $(grep -E '^stat::number_of_executed_units' "$scratch/$name.log" || echo 'no statistics')"
done
if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi
echo "fuzz: every target ran without a finding"
