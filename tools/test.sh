#!/usr/bin/env bash
# Builds Kelvo and runs the whole test suite: the display-free tests, the
# tests against a private X server (each starts its own Xvfb), and the same
# suite again under AddressSanitizer and UndefinedBehaviorSanitizer.
#   tools/test.sh            everything
#   tools/test.sh --fast     skip the sanitizer build
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
"$root/tools/install-deps.sh"
# Compositors (sway, KWin, GNOME Shell) refuse to run as root: under root
# their tests run them as a throwaway system user, made here once.
if [ "$(id -u)" -eq 0 ] && ! id kelvo-test > /dev/null 2>&1; then
  useradd --system --create-home --home-dir /var/lib/kelvo-test --shell /usr/sbin/nologin kelvo-test
  echo "tools/test.sh: created the system user kelvo-test (home /var/lib/kelvo-test), which runs the test compositors"
fi

# Xwayland, which GNOME Shell's tests start, wants /tmp/.X11-unix root's
# with mode 1777.
if [ "$(id -u)" -eq 0 ] && [ "$(stat -c '%u %a' /tmp/.X11-unix 2> /dev/null)" != "0 1777" ]; then
  mkdir -p /tmp/.X11-unix && chown root:root /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix
  echo "tools/test.sh: made /tmp/.X11-unix root's with mode 1777, as Xwayland needs it for the GNOME Shell tests"
fi

jobs="$(nproc)"
run_suite() {
  local dir="$1"; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300)
}

run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo
if [ "${1:-}" != "--fast" ]; then
  export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
  export LSAN_OPTIONS="suppressions=$root/tools/lsan.supp"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DKELVO_SANITIZE=ON -DKELVO_BUILD_BENCH=OFF
fi
echo "All tests passed."
