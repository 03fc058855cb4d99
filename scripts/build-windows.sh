#!/usr/bin/env bash
# Cross-builds v36ctl.exe for 64-bit Windows with Debian's MinGW-w64 into
# ./build-windows and packs it for users:
#   build-windows/dsp-v36-v36ctl-VERSION-windows-x86_64.zip
# (v36ctl.exe and a short README.txt). With --tests it also builds the core
# tests for Windows (tests/windows/run_wine_tests.sh runs them under Wine).
# scripts/setup.sh installs the packages it needs.
set -euo pipefail
cd "$(dirname "$0")/.."

targets=(v36ctl)
if [ "${1:-}" = "--tests" ]; then
  targets=(all)
elif [ $# -gt 0 ]; then
  echo "usage: $0 [--tests]" >&2
  exit 2
fi

BUILD_DIR=${V36_WINDOWS_BUILD_DIR:-build-windows}
launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
cmake -S . -B "$BUILD_DIR" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DV36_WERROR=ON \
  -DV36_BUILD_GUI=OFF -DV36_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$BUILD_DIR" -j2 --target "${targets[@]}"

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$BUILD_DIR/CMakeCache.txt")
name=dsp-v36-v36ctl-$version-windows-x86_64
stage=$BUILD_DIR/$name
rm -rf "$stage" "$BUILD_DIR/$name.zip"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/v36ctl.exe" "$BUILD_DIR/src/cli/v36ctl.exe"
# Windows line ends, for every editor there.
sed -e "s/@VERSION@/$version/" -e 's/$/\r/' resources/windows/README.txt.in >"$stage/README.txt"
(cd "$BUILD_DIR" && zip -q -X -r "$name.zip" "$name")
rm -rf "$stage"
echo "build-windows: $BUILD_DIR/$name.zip"
