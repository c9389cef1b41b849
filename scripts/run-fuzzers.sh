#!/usr/bin/env bash
# Builds the fuzz preset and runs every fuzz target: first over the inputs
# kept in fuzz/<target>/regressions, then fuzzing for FUZZ_SECONDS seconds
# from the seeds, the regressions and the corpus grown by earlier runs in
# build/fuzz/corpus. A crash, a sanitizer report, a leak, a timeout or an
# out-of-memory fails the run and names the reproducer; copy it into the
# target's regressions folder once fixed, so it stays fixed.
#   FUZZ_SECONDS  seconds of fuzzing per target (default 180)
#   FUZZ_TARGETS  the targets to run (default all)
#   FUZZ_SEED     the fuzzers' random seed (default a fresh one each run)
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-180}
jobs=${JOBS:-$(nproc)}
all_targets="resource_unpacker pack config code_resource interpreter world_load zasm texture_resource content_manifest shader_library launcher_config save_file profile wave_bank sound_bank sound_description animation_resource gltf_import area_data network_packet script_tables image_atlas decal_geometry mesh_resource area_description fake_shadow_settings"
targets=${FUZZ_TARGETS:-$all_targets}
build=build/fuzz

cmake --preset fuzz >/dev/null
build_targets=(fuzz_seeds)
for target in $targets; do
  build_targets+=("fuzz_$target")
done
cmake --build --preset fuzz -j "$jobs" --target "${build_targets[@]}"

# Prints the reproducer and the end of the log, and fails.
fail_target() {
  local target=$1 log=$2 input=${3:-}
  local reproducer
  reproducer=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -n 1)
  echo "fuzz target $target failed; reproducer: ${reproducer:-$input}" >&2
  echo "log: $log" >&2
  tail -n 40 "$log" >&2
  exit 1
}

for target in $targets; do
  binary=$build/bin/fuzz_$target
  corpus=$build/corpus/$target
  artifacts=$build/artifacts/$target
  logs=$build/logs
  regressions=fuzz/$target/regressions
  seeds=$build/seeds/$target
  mkdir -p "$corpus" "$artifacts" "$logs" "$seeds"
  options=(-timeout=10 -rss_limit_mb=2048 -artifact_prefix="$artifacts/")
  [ -n "${FUZZ_SEED:-}" ] && options+=(-seed="$FUZZ_SEED")
  for dictionary in "fuzz/$target/$target.dict" "$build/seeds/dictionaries/$target.dict"; do
    [ -f "$dictionary" ] && options+=(-dict="$dictionary")
  done

  if [ -d "$regressions" ] && [ -n "$(ls -A "$regressions")" ]; then
    log=$logs/$target-regressions.log
    for input in "$regressions"/*; do
      "$binary" "${options[@]}" "$input" >"$log" 2>&1 || fail_target "$target" "$log" "$input"
    done
  fi

  log=$logs/$target.log
  echo "fuzzing $target for ${seconds}s"
  corpora=("$corpus" "$seeds")
  [ -d "$regressions" ] && corpora+=("$regressions")
  # The engine's fatal reports go to the standard error stream, one an input;
  # the fuzzer and the sanitizers keep theirs.
  "$binary" "${options[@]}" -max_total_time="$seconds" -close_fd_mask=2 "${corpora[@]}" >"$log" 2>&1 ||
    fail_target "$target" "$log"
  sed -n 's/^Done \([0-9]*\) runs.*/  \1 runs/p' "$log"
done
echo "every fuzz target ran clean"
