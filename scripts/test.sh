#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under Wine: on the
# 64-bit test build always (64-bit Wine runs everywhere), and on the 32-bit
# product build too where this machine can execute 32-bit code.
#   scripts/test.sh                 all tests
#   scripts/test.sh -L core         one label (any ctest arguments)
#   scripts/test.sh -R files_pack   tests by name
# VELMORA_BUILDS="x64" limits the run to the 64-bit build.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"

read -r -a builds <<<"${VELMORA_BUILDS:-x64 default}"
# The first build is built now and its tests run while the others build in the
# background when the processor is idle (the tests mostly wait on Wine and
# servers).
bash scripts/build.sh "${builds[0]}"
bash scripts/preflight.sh || { echo "test: the machine is not ready for the tests (see above)" >&2; exit 1; }
source scripts/wine-env.sh
later_log="$root/build-later.log"
later_pid=""
if [ ${#builds[@]} -gt 1 ]; then
  # One compiler at a time, in the idle scheduling class: the window tests
  # keep their timing.
  VELMORA_SKIP_BOOTSTRAP=1 VELMORA_BUILD_JOBS=1 chrt --idle 0 nice -n 19 \
    bash scripts/build.sh "${builds[@]:1}" >"$later_log" 2>&1 &
  later_pid=$!
fi
later_status=""
wait_later_builds() {
  [ -n "$later_pid" ] && [ -z "$later_status" ] || return 0
  later_status=0
  wait "$later_pid" || later_status=$?
  if [ "$later_status" != 0 ]; then
    echo "test: the build of ${builds[*]:1} failed:" >&2
    tail -n 30 "$later_log" >&2
  fi
}

tested=() why=""
for preset in "${builds[@]}"; do
  if [ "$preset" = default ] && ! velmora_can_run_32; then
    why="; 32-bit build built but not tested: $(velmora_why_not_32)"
    continue
  fi
  tested+=("$preset")
done
if [[ " ${builds[*]} " != *" default "* ]]; then why="; 32-bit build not tested: VELMORA_BUILDS=${builds[*]}"; fi
echo "test: running the tests of: ${tested[*]/default/default (32-bit)}${why}"

status=0
for preset in "${tested[@]}"; do
  if [ "$preset" != "${builds[0]}" ]; then
    wait_later_builds
    [ "$later_status" = 0 ] || { status=1; continue; }
  fi
  arch=64; [ "$preset" = default ] && arch=32
  # Each build runs in a Wine session of its own architecture (a subshell, so
  # the session's traps and environment end with it).
  (
    source scripts/wine-session.sh
    wine_session_start "$arch" || exit 125
    echo "test: $preset build ($arch-bit Wine, display $DISPLAY)"
    # A test that fails runs once more, and the run names every test that
    # needed it.  Under parallel load Wine now and then fails a test program
    # that owes nothing to the code under test: one passed every case and
    # then did not end, one ended at once without printing a line, and a
    # program start failed with no process made (each seen about once in ten
    # full runs, never twice in a row).  A fault that shows every
    # time fails both runs; one that shows now and then is named here too.
    log="build-$preset/ctest-run.log"
    [ "$preset" = default ] && log=build/ctest-run.log
    set +e
    ctest --preset "$preset" -j2 --output-on-failure --repeat until-pass:2 "$@" 2>&1 | tee "$log"
    result=${PIPESTATUS[0]}
    set -e
    second="$(sed -n -E 's/^ *([0-9]+\/[0-9]+ )?Test +#[0-9]+: ([^ ]+) \.*\*\*\*.*/\2/p' "$log" | sort -u | tr '\n' ' ')"
    [ -z "$second" ] || echo "test: run a second time after a failure: $second(the first runs' output is above)"
    exit "$result"
  ) || status=$?
done
wait_later_builds
[ "${later_status:-0}" = 0 ] || status=1
echo "test: tested builds: ${tested[*]}${why}; exit $status"
exit $status
