#!/usr/bin/env bash
# Builds Kelvo and runs the whole test suite: the display-free tests, the
# tests against a private X server (each starts its own Xvfb) and against
# private compositors, and the same suite again under AddressSanitizer and
# UndefinedBehaviorSanitizer. Does its own set-up: the packages, and under
# root a throwaway user for the compositors; each thing it creates is named
# in one line of its output. A run passes only when every test was built
# and ran (tools/check-test-run.sh).
#   tools/test.sh            everything
#   tools/test.sh --fast     skip the sanitizer build
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
jobs="$(nproc)"
compositor_user=kelvo-test

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# Compositors (sway, KWin, GNOME Shell) refuse to run as root: under root
# their tests run them as a throwaway system user, made here once. A normal
# user runs them as itself.
prepare_compositor_user() {
  [ "$(id -u)" -eq 0 ] || return 0
  id "$compositor_user" > /dev/null 2>&1 && return 0
  useradd --system --create-home --home-dir "/var/lib/$compositor_user" --shell /usr/sbin/nologin "$compositor_user"
  echo "tools/test.sh: created the system user $compositor_user (home /var/lib/$compositor_user), which runs the test compositors"
}

# X servers put their sockets in /tmp/.X11-unix. Made by whichever server
# comes first, it can end up belonging to one user (the compositor user's
# Xwayland, a normal user's Xvfb) and closed to the others: it must be
# root's and open to all, as a desktop session has it.
prepare_x11_socket_dir() {
  local dir=/tmp/.X11-unix
  [ "$(stat -c %U:%a "$dir" 2> /dev/null)" = root:1777 ] && return 0
  as_root install -d -o root -g root -m 1777 "$dir"
  echo "tools/test.sh: made $dir root's with mode 1777 (where X servers put their sockets)"
}

# run_suite <name> <build dir> <cmake options...>: configures (every part
# required), builds, runs every test, then checks that all of them ran.
timings=()
duration() { echo "$(($1 / 60)) min $(($1 % 60)) s"; }
run_suite() {
  local name=$1 dir=$2 start=$SECONDS; shift 2
  cmake -S . -B "$dir" -G Ninja -DKELVO_REQUIRE_ALL=ON -DKELVO_BUILD_TESTS=ON -DKELVO_BUILD_APP=ON -DKELVO_E2E=ON "$@"
  cmake --build "$dir" -j "$jobs"
  rm -f "$dir/ctest-results.xml"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300 \
    --output-junit ctest-results.xml --test-output-size-passed 1048576)
  "$root/tools/check-test-run.sh" "$dir"
  timings+=("the $name half (build and tests) took $(duration $((SECONDS - start)))")
}
print_timings() {
  local t
  for t in "${timings[@]}"; do echo "tools/test.sh: $t"; done
  echo "tools/test.sh: the whole command took $(duration $SECONDS)"
}
trap print_timings EXIT

"$root/tools/install-deps.sh"
prepare_compositor_user
prepare_x11_socket_dir
run_suite plain build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ "${1:-}" != "--fast" ]; then
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
  export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  run_suite sanitizer build-asan -DCMAKE_BUILD_TYPE=Debug -DKELVO_SANITIZE=ON -DKELVO_BUILD_BENCH=OFF
fi
echo "All tests passed."
