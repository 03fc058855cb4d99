#!/usr/bin/env bash
# The Windows build under Wine, headless: the core tests (the cross-built
# GoogleTest programs, through ctest with Wine as the emulator), then a table
# of v36ctl.exe runs compared with the same runs of the native v36ctl: the
# same exit code, the same output and the same bytes in every file written.
#
#   tests/windows/run_wine_tests.sh WINDOWS_BUILD_DIR NATIVE_V36CTL
#
# Wine gets a fresh prefix in a temporary folder and no display. Its own
# noise on standard error (debug channels, prefix set-up) is dropped before
# the comparison; every other line counts.
set -uo pipefail

if [ $# -ne 2 ]; then
  echo "usage: $0 WINDOWS_BUILD_DIR NATIVE_V36CTL" >&2
  exit 2
fi
build=$(cd "$1" && pwd)
native=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
exe=$build/src/cli/v36ctl.exe
for f in "$exe" "$native"; do
  if [ ! -x "$f" ]; then
    echo "run_wine_tests: $f is missing: build it first" >&2
    exit 2
  fi
done

wine=$(command -v wine64 || true)
[ -n "$wine" ] || [ ! -x /usr/lib/wine/wine64 ] || wine=/usr/lib/wine/wine64
[ -n "$wine" ] || wine=$(command -v wine || true)
if [ -z "$wine" ]; then
  echo "run_wine_tests: Wine is not installed (Debian's wine64)" >&2
  exit 2
fi

work=$(mktemp -d)
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all
# No Mono or Gecko installer at prefix creation (nothing here needs them).
export WINEDLLOVERRIDES="mscoree=;mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineserver=$(dirname "$wine")/wineserver
[ -x "$wineserver" ] || wineserver=$(command -v wineserver || true)
cleanup() {
  # Only this prefix's server: other Wine users of the machine go on.
  [ -n "$wineserver" ] && "$wineserver" -k 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

failures=0
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

echo "--- Wine prefix"
start=$SECONDS
# Without 32-bit Wine, wineboot complains about syswow64 and exits non-zero
# while the 64-bit prefix is made all the same: the registry decides.
"$wine" wineboot --init >"$work/wineboot.log" 2>&1
# The registry reaches the disk when the prefix's server has ended.
[ -n "$wineserver" ] && "$wineserver" -w
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  cat "$work/wineboot.log"
  echo "run_wine_tests: the Wine prefix could not be made" >&2
  exit 1
fi
echo "made in $((SECONDS - start)) s"

echo "--- core tests under Wine"
start=$SECONDS
ctest --test-dir "$build" --output-on-failure -j2 || fail "core tests under Wine"
echo "core tests took $((SECONDS - start)) s"

# Standard error without Wine's own lines (and without the carriage returns
# of Windows line ends, as standard output).
strip_noise() {
  sed -E -e 's/\r$//' \
    -e '/^[0-9a-f]{4}:(err|fixme|warn|trace):/d' \
    -e '/^wine: /d' \
    -e '/^Could not find Wine (Gecko|Mono)/d' "$1"
}

# Fixtures, made by the native v36ctl: a preset that is not all defaults,
# the same under a name in other scripts, one EQ of it as text, a key table.
fixtures=$work/fixtures
mkdir -p "$fixtures"
(
  cd "$fixtures" &&
    "$native" --simulate pull -o preset.ev36 &&
    "$native" set micVolume 44 --file preset.ev36 >/dev/null &&
    "$native" eq set 5 2 --gain -4.5 --file preset.ev36 >/dev/null &&
    cp preset.ev36 "模式 ü.ev36" &&
    cp preset.ev36 "KTV 现场.ev36" &&
    "$native" eq export 5 --file preset.ev36 -o "均衡 ü.txt" &&
    "$native" --simulate remote save keys &&
    cp preset.ev36 locked.ev36 && chmod a-w locked.ev36
) || { echo "run_wine_tests: the fixtures could not be made" >&2; exit 1; }

# name | exit code | arguments (each between bars). Both programs run in a
# folder of their own holding the fixtures; files are named relative to it.
cases=(
  "version|0|--version"
  "info without a unit|1|info"
  "info|0|--simulate|info"
  "info as JSON|0|--simulate|info|--json"
  "pull|0|--simulate|pull|-o|unit.ev36"
  "pull to a name in other scripts|0|--simulate|pull|-o|拉取 ü.ev36"
  "pull over an existing file|0|--simulate|pull|-o|preset.ev36"
  "pull onto a write-protected file|1|--simulate|pull|-o|locked.ev36"
  "pull into a missing folder|1|--simulate|pull|-o|gone/x.ev36"
  "push|0|--simulate|--trace|push|preset.ev36"
  "push a default-mode file in other scripts|0|--simulate|--trace|push|KTV 现场.ev36"
  "push without storing the mode|0|--simulate|push|--no-store|KTV 现场.ev36"
  "set on the unit|0|--simulate|--trace|set|outMain.level[0]|42"
  "get on the unit|0|--simulate|get|echoATime[2]"
  "set in a mode file|0|set|micVolume|33|--file|模式 ü.ev36"
  "get from a mode file|0|get|micVolume|--file|模式 ü.ev36"
  "set a value out of range|2|set|micVolume|1000|--file|preset.ev36"
  "set a name that is none|2|--simulate|set|noSuchWord|1"
  "eq export to a file|0|eq|export|5|--file|preset.ev36|-o|导出 ü.txt"
  "eq export from the unit|0|--simulate|eq|export|5"
  "eq import into a mode file|0|eq|import|3|均衡 ü.txt|--file|模式 ü.ev36"
  "eq import dry run|0|eq|import|3|均衡 ü.txt|--file|preset.ev36|--dry-run"
  "eq import to the unit|0|--simulate|--trace|eq|import|5|均衡 ü.txt"
  "eq set in a mode file|0|eq|set|4|1|--freq|250|--gain|3|--q|2|--file|模式 ü.ev36"
  "eq copy in a mode file|0|eq|copy|3|4|--file|模式 ü.ev36"
  "eq get|0|eq|get|5|--json|--file|preset.ev36"
  "remote save|0|--simulate|remote|save|遥控 ü"
  "remote load|0|--simulate|--trace|remote|load|keys.remo"
  "mode recall|0|--simulate|mode|recall|2"
  "mode store|0|--simulate|--trace|mode|store|3"
  "dump|0|dump|模式 ü.ev36"
  "dump as JSON|0|dump|--json|preset.ev36"
  "diff|0|diff|preset.ev36|模式 ü.ev36"
  "dump of a missing file|1|dump|没有 ü.ev36"
  "design|0|design|--type|6|--freq|1000|--q|0.707|--gain|0|--bank|5|--index|3|--json"
  "a silent unit|1|--simulate|--sim-fault|silent|info"
  "a unit unplugged mid-pull|1|--simulate|--sim-fault|unplug-after=100|pull|-o|preset.ev36"
  "no command|2"
)

echo "--- v36ctl.exe against the native v36ctl (${#cases[@]} cases)"
start=$SECONDS
n=0
for entry in "${cases[@]}"; do
  IFS='|' read -r -a fields <<<"$entry"
  name=${fields[0]}
  want=${fields[1]}
  args=("${fields[@]:2}")
  n=$((n + 1))
  lin=$work/case$n/linux
  win=$work/case$n/windows
  mkdir -p "$lin" "$win"
  cp -p "$fixtures"/* "$lin"/
  cp -p "$fixtures"/* "$win"/
  (cd "$lin" && "$native" "${args[@]}" >"../linux.out" 2>"../linux.err" </dev/null)
  lcode=$?
  (cd "$win" && "$wine" "$exe" "${args[@]}" >"../windows.out" 2>"../windows.err" </dev/null)
  wcode=$?
  bad=()
  [ "$lcode" -eq "$want" ] || bad+=("linux exit $lcode, not $want")
  [ "$wcode" -eq "$want" ] || bad+=("windows exit $wcode, not $want")
  if ! diff <(sed 's/\r$//' "$work/case$n/linux.out") <(sed 's/\r$//' "$work/case$n/windows.out") \
    >"$work/case$n/out.diff"; then
    bad+=("standard output differs")
  fi
  # A trace interleaves the writers' reports with the read thread's in an
  # order that timing decides, and a query whose answer came late is asked
  # again: the same reports in both, in any order and number.
  order=(cat)
  case " ${args[*]} " in *" --trace "*) order=(sort -u) ;; esac
  if ! diff <(strip_noise "$work/case$n/linux.err" | "${order[@]}") \
    <(strip_noise "$work/case$n/windows.err" | "${order[@]}") >"$work/case$n/err.diff"; then
    bad+=("standard error differs")
  fi
  # Every file of the folder, byte for byte (names included).
  if ! diff -r "$lin" "$win" >"$work/case$n/files.diff"; then
    bad+=("the files written differ")
  fi
  if [ ${#bad[@]} -eq 0 ]; then
    echo "ok   $name"
  else
    fail "$name: $(IFS=';'; echo "${bad[*]}")"
    for d in out err files; do
      [ -s "$work/case$n/$d.diff" ] && sed 's/^/     /' "$work/case$n/$d.diff" | head -20
    done
  fi
done

# serve needs Qt: the Windows build says so and exits 2 (usage).
n=$((n + 1))
mkdir -p "$work/case$n"
(cd "$work/case$n" && "$wine" "$exe" --simulate serve --port 8036 >out 2>err </dev/null)
code=$?
if [ "$code" -eq 2 ] && strip_noise "$work/case$n/err" | grep -q "serve is not available in this build"; then
  echo "ok   serve says it is not available"
else
  fail "serve: exit $code: $(strip_noise "$work/case$n/err")"
fi
echo "v36ctl runs took $((SECONDS - start)) s"

echo
if [ "$failures" -gt 0 ]; then
  echo "run_wine_tests: $failures failed"
  exit 1
fi
echo "run_wine_tests: all passed"
