#!/usr/bin/env bash
# Sets up, builds and runs the whole suite: the main build (warnings are
# errors), a formatting check, the tests, the installation and the Debian
# package of the main build, the core tests and the GUI's dialog lifetime
# tests under AddressSanitizer with UndefinedBehaviorSanitizer, the core
# tests under ThreadSanitizer, the Windows build with its tests
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

# One AddressSanitizer build holds the core tests and the GUI's dialog
# lifetime tests (the dialogs while the unit leaves, arrives and resets under
# them: a dialog freed under its own loop shows here); only their programs
# and the libraries they need are built.
step "core tests and dialog lifetimes under the address sanitizer"
started=$SECONDS
dir="build-address"
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
# -O1 with line tables only: the sanitizer's own advice, and the build takes a
# third of the time of -O2 -g.
if cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DV36_WERROR=ON \
     -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g1 -DNDEBUG" \
     -DV36_SANITIZE=address -DV36_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null &&
   cmake --build "$dir" -j2 --target protocol_tests link_tests dsp_tests sim_tests \
     remote_tests context_tests phone_core_tests dialog_lifetime_tests; then
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir "$dir" -L core --output-on-failure -j2 || failures+=("address sanitizer")
  # Qt and the font libraries keep caches until exit: leaks are not looked for.
  ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 QT_QPA_PLATFORM=offscreen \
    ctest --test-dir "$dir" -L gui_asan --output-on-failure -j2 ||
    failures+=("dialog lifetimes under the address sanitizer")
else
  failures+=("address sanitizer build")
fi
echo "address sanitizer: $((SECONDS - started)) s"

step "core tests under the thread sanitizer"
dir="build-thread"
if cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DV36_CORE_ONLY=ON \
     -DV36_WERROR=ON -DV36_SANITIZE=thread "${launcher[@]}" >/dev/null &&
   cmake --build "$dir"; then
  TSAN_OPTIONS=halt_on_error=1 ctest --test-dir "$dir" -L core --output-on-failure -j2 ||
    failures+=("thread sanitizer")
else
  failures+=("thread build")
fi

step "Windows build and tests under Wine"
if scripts/build-windows.sh --tests; then
  tests/windows/run_wine_tests.sh build-windows build/src/cli/v36ctl ||
    failures+=("Windows tests under Wine")
else
  failures+=("Windows build")
fi

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
