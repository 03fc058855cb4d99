#!/usr/bin/env bash
# Checks what the main build installs and packages, without building again:
# an installation into a staging folder (its layout, the desktop entry, the
# AppStream metadata, the MIME types, the manual pages, the bash completion
# and both programs), then the Debian package, which it installs on this
# machine, runs from the installed paths and removes again (as root or
# through sudo). Exits non-zero on any failure.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

BUILD_DIR=${V36_BUILD_DIR:-build}
errors=0
fail() { echo "check_package: $*" >&2; errors=$((errors + 1)); }
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

# The version and the desktop id of this build.
build_info() { sed -n "s/.*$1\\[\\] = \"\\(.*\\)\";/\\1/p" "$BUILD_DIR/generated/build_info.h"; }
version=$(build_info kVersion)
id=$(build_info kAppId)
if [ -z "$version" ] || [ -z "$id" ]; then
  echo "check_package: build first" >&2
  exit 1
fi

# Runs dsp-v36 where no display can be opened: the xcb platform and no
# DISPLAY would abort any start that opens a window.
without_display() { env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb "$@"; }

# check_tree ROOT: the installed files under ROOT/usr and what they say.
check_tree() {
  local usr="$1/usr" share="$1/usr/share" f
  local desktop="$share/applications/$id.desktop"
  local metainfo="$share/metainfo/$id.metainfo.xml"
  for f in "$usr/bin/dsp-v36" "$usr/bin/v36ctl"; do
    [ -x "$f" ] || fail "$f is missing or not executable"
  done
  for f in "$desktop" "$share/icons/hicolor/scalable/apps/$id.svg" "$metainfo" \
           "$share/mime/packages/$id.xml" "$usr/lib/udev/rules.d/70-dsp-v36.rules" \
           "$share/man/man1/dsp-v36.1.gz" "$share/man/man1/v36ctl.1.gz" \
           "$share/bash-completion/completions/v36ctl" "$share/doc/dsp-v36/copyright" \
           "$share/doc/dsp-v36/changelog.gz"; do
    [ -f "$f" ] || fail "$f is missing"
  done

  # The desktop entry: valid, opens one file (%f, handed to the running
  # program), names the icon and the mode file type.
  desktop-file-validate "$desktop" || fail "desktop-file-validate rejects $desktop"
  grep -qx 'Exec=dsp-v36 %f' "$desktop" || fail "the desktop entry does not run 'dsp-v36 %f'"
  grep -qx "Icon=$id" "$desktop" || fail "the desktop entry does not name the icon $id"
  grep -q '^MimeType=.*application/x-dsp-v36-mode;' "$desktop" ||
    fail "the desktop entry does not open mode files"

  # The AppStream metadata: valid, the same id, this version.
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects $metainfo"
  grep -q "<id>$id</id>" "$metainfo" || fail "the metadata's id is not $id"
  grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" ||
    fail "the metadata does not launch $id.desktop"
  grep -q "<release version=\"$version\"" "$metainfo" || fail "the metadata lacks release $version"

  # The MIME package compiles without a complaint and maps both extensions.
  local data mime
  data=$(mktemp -d)
  mime="$data/mime"
  mkdir -p "$mime/packages"
  cp "$share/mime/packages/$id.xml" "$mime/packages/"
  xmllint --noout "$mime/packages/$id.xml" || fail "$id.xml is not well-formed"
  if XDG_DATA_HOME="$data" update-mime-database "$mime" 2>"$data/log" && [ ! -s "$data/log" ]; then
    grep -q '^50:application/x-dsp-v36-mode:\*\.ev36$' "$mime/globs2" || fail "*.ev36 is not a mode file"
    grep -q '^50:application/x-dsp-v36-remote:\*\.remo$' "$mime/globs2" ||
      fail "*.remo is not a remote data file"
  else
    cat "$data/log" >&2
    fail "update-mime-database rejects $id.xml"
  fi
  rm -rf "$data"
  xmllint --noout "$share/icons/hicolor/scalable/apps/$id.svg" || fail "the icon is not well-formed SVG"

  # The manual pages format without a warning.
  for f in "$share"/man/man1/{dsp-v36,v36ctl}.1.gz; do
    local warnings
    warnings=$(zcat "$f" | groff -k -man -Tutf8 -ww -z 2>&1)
    [ -z "$warnings" ] || fail "$f: $warnings"
  done

  # The bash completion completes commands, options and mode files from the
  # installed program.
  local completion="$share/bash-completion/completions/v36ctl"
  local files
  files=$(mktemp -d)
  touch "$files/live.ev36" "$files/keys.remo" "$files/notes.txt"
  local got
  # shellcheck disable=SC2016
  got=$(bash -c '
    source "$1"
    complete_words() { COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _v36ctl; echo "${COMPREPLY[*]}"; }
    complete_words "$2" --simulate e
    complete_words "$2" eq s
    complete_words "$2" dump --j
    complete_words "$2" --simulate push "$3/"
    complete_words "$2" remote load "$3/"
    complete_words "$2" --simulate se
    complete_words "$2" serve --p
    complete_words "$2" eq import 3 "$3/no"
    complete_words "$2" eq export 3 -o "$3/no"
  ' _ "$completion" "$usr/bin/v36ctl" "$files")
  local want
  want=$(printf '%s\n' "eq" "set" "--json" "$files/live.ev36" "$files/keys.remo" "set serve" \
    "--port --pair-code" "$files/notes.txt" "$files/notes.txt")
  [ "$got" = "$want" ] || fail "the bash completion answers"$'\n'"$got"$'\n'"instead of"$'\n'"$want"
  rm -rf "$files"

  # Both programs run and tell this version; dsp-v36 without a display.
  [ "$("$usr/bin/v36ctl" --version)" = "v36ctl $version" ] || fail "v36ctl --version"
  [ "$(without_display "$usr/bin/dsp-v36" --version)" = "dsp-v36 $version" ] ||
    fail "dsp-v36 --version without a display"
  local out
  out=$(without_display "$usr/bin/dsp-v36" --help) || fail "dsp-v36 --help without a display"
  [[ $out == "Usage: "* ]] || fail "dsp-v36 --help prints no usage"
  out=$("$usr/bin/v36ctl" --simulate info) || fail "v36ctl --simulate info"
  grep -q '^model: *V36$' <<<"$out" || fail "v36ctl --simulate info names no V36"
}

echo "--- staged installation"
stage=$(mktemp -d)
if DESTDIR="$stage" cmake --install "$BUILD_DIR" --prefix /usr >/dev/null; then
  check_tree "$stage"
else
  fail "cmake --install failed"
fi
rm -rf "$stage"

echo "--- Debian package"
package_dir="$BUILD_DIR/package"
rm -rf "$package_dir"
if ! cpack --config "$BUILD_DIR/CPackConfig.cmake" -G DEB -B "$package_dir" >/dev/null; then
  fail "cpack failed"
  exit 1
fi
deb=$(realpath "$package_dir"/dsp-v36_"$version"_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 libqt6widgets6 libhidapi qt6-qpa-plugins; do
  [[ $depends == *"$lib"* ]] || fail "the package does not depend on $lib: $depends"
done
control=$(dpkg-deb --ctrl-tarfile "$deb" | tar -t)
for script in postinst postrm; do
  grep -qx "./$script" <<<"$control" || fail "the package has no $script"
done

if [ "$(dpkg-query -W -f='${Status}' dsp-v36 2>/dev/null)" = "install ok installed" ]; then
  fail "dsp-v36 is already installed here; remove it to let this check install and remove its package"
  exit 1
fi
apt_get() { $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -y -qq -o DPkg::Lock::Timeout=300 "$@"; }
if apt_get install --no-install-recommends "$deb" >/dev/null; then
  check_tree ""
  [ "$(command -v v36ctl)" = /usr/bin/v36ctl ] || fail "v36ctl is not on the PATH"
  apt_get purge dsp-v36 >/dev/null || fail "removing the package failed"
  for f in /usr/bin/dsp-v36 /usr/bin/v36ctl /usr/lib/udev/rules.d/70-dsp-v36.rules; do
    [ ! -e "$f" ] || fail "$f is left after the package was removed"
  done
else
  fail "installing $deb failed"
fi

if [ "$errors" -gt 0 ]; then
  echo "check_package: $errors failure(s)"
  exit 1
fi
echo "check_package: the installation and the package are sound"
