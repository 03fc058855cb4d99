#!/usr/bin/env bash
# Sets up, builds and runs the whole suite: the main build (warnings are
# errors), a formatting check, the tests, the installation and the Debian
# package of the main build, the core tests under AddressSanitizer with
# UndefinedBehaviorSanitizer and under ThreadSanitizer, the GUI's dialog
# lifetime tests under AddressSanitizer, the Windows build with its tests
# under Wine, and the fuzz targets for a bounded time. Exits non-zero on any
# failure.
set -uo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS=${V36_FUZZ_SECONDS:-20}
failures=()
step() { echo; echo "=== $* ==="; }

step "setup and main build"
if ! V36_CMAKE_ARGS="-DV36_WERROR=ON ${V36_CMAKE_ARGS:-}" scripts/setup.sh; then
  echo "test: the main build failed"
  exit 1
fi

step "formatting"
mapfile -t sources < <(git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
  'bench/*.cpp' 'fuzz/*.cpp' 2>/dev/null)
if [ ${#sources[@]} -gt 0 ] && ! clang-format --dry-run --Werror "${sources[@]}"; then
  failures+=("formatting")
fi

step "tests"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 || failures+=("tests")

step "installation and Debian package"
scripts/check_package.sh || failures+=("installation and package")

for san in address thread; do
  step "core tests under the $san sanitizer"
  dir="build-$san"
  if cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DV36_CORE_ONLY=ON \
       -DV36_WERROR=ON -DV36_SANITIZE="$san" >/dev/null &&
     cmake --build "$dir"; then
    ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 TSAN_OPTIONS=halt_on_error=1 \
      ctest --test-dir "$dir" -L core --output-on-failure -j2 || failures+=("$san sanitizer")
  else
    failures+=("$san build")
  fi
done

step "Windows build and tests under Wine"
if scripts/build-windows.sh --tests; then
  tests/windows/run_wine_tests.sh build-windows build/src/cli/v36ctl ||
    failures+=("Windows tests under Wine")
else
  failures+=("Windows build")
fi

# The dialogs while the unit leaves, arrives and resets under them, with
# AddressSanitizer and UndefinedBehaviorSanitizer: a dialog freed under its
# own loop shows here. Only the tests labelled gui_asan are built and run
# (their one program and the libraries it needs; with a warm compiler cache a
# couple of minutes).
step "dialog lifetimes under the address sanitizer"
dir="build-gui-asan"
started=$SECONDS
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
if cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DV36_WERROR=ON \
     -DV36_SANITIZE=address -DV36_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null &&
   cmake --build "$dir" -j2 --target dialog_lifetime_tests; then
  # Qt and the font libraries keep caches until exit: leaks are not looked for.
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
    ctest --test-dir "$dir" -L gui_asan --output-on-failure -j2 ||
    failures+=("dialog lifetimes under the address sanitizer")
else
  failures+=("address sanitizer GUI build")
fi
echo "dialog lifetimes under the address sanitizer: $((SECONDS - started)) s"

if [ -f fuzz/CMakeLists.txt ]; then
  step "fuzzing (${FUZZ_SECONDS} s per target)"
  scripts/fuzz.sh "$FUZZ_SECONDS" || failures+=("fuzzing")
fi

echo
if [ ${#failures[@]} -gt 0 ]; then
  echo "test: FAILED: ${failures[*]}"
  exit 1
fi
echo "test: all steps passed"
