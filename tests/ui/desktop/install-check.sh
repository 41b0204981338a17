#!/usr/bin/env bash
# Installs the build into a temporary prefix as `cmake --install` does for a user, checks that every
# file lands in its standard place and passes the desktop's validators, then builds the .deb and
# checks its contents and dependencies.
#   install-check.sh CMAKE CPACK BUILD_DIR
set -u
cmake="$1"
cpack="$2"
build="$3"

for tool in desktop-file-validate appstreamcli dpkg-deb; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "SKIPPED: $tool is not installed (apt-get install desktop-file-utils appstream dpkg); the installed files were not checked."
    exit 77
  fi
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL: $*"; status=1; }

prefix="$work/prefix"
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "cmake --install failed"; exit 1; }

id=org.flintor.Flintor
desktop="$prefix/share/applications/$id.desktop"
metainfo="$prefix/share/metainfo/$id.metainfo.xml"
for file in bin/flintor bin/flintor-calc; do
  [ -x "$prefix/$file" ] || fail "$file is not installed as a program"
done
for file in "$desktop" "$metainfo"; do
  [ -f "$file" ] || fail "${file#$prefix/} is not installed"
done

# An icon of the size its folder promises, under the name the desktop entry asks for.
png_size() { od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%dx%d", $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8 }'; }
icon_name="$(sed -n 's/^Icon=//p' "$desktop")"
[ "$icon_name" = "$id" ] || fail "the desktop entry asks for the icon '$icon_name'"
for size in 48 128; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/$icon_name.png"
  if [ -f "$icon" ]; then
    [ "$(png_size "$icon")" = "${size}x${size}" ] || fail "$icon is $(png_size "$icon"), not ${size}x${size}"
  else
    fail "no ${size}x${size} icon named $icon_name in the hicolor theme"
  fi
done

echo "== desktop-file-validate $id.desktop"
out="$(desktop-file-validate "$desktop" 2>&1)" || fail "desktop-file-validate: $out"
[ -z "$out" ] || { echo "$out"; fail "desktop-file-validate has remarks"; }
[ "$(sed -n 's/^Exec=//p' "$desktop")" = "flintor %f" ] || fail "the desktop entry does not start 'flintor %f'"

echo "== appstreamcli validate --no-net $id.metainfo.xml"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli validate"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" || fail "the metainfo does not launch $id.desktop"

# The installed programs run from their new place.
version="$("$prefix/bin/flintor-calc" --version 2>&1)"
[ "$version" = "flintor-calc 1.0.1" ] || fail "installed flintor-calc says: $version"

echo "== cpack -G DEB"
"$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; exit 1; }
deb="$(ls "$work"/package/*.deb 2>/dev/null | head -n1)"
[ -n "$deb" ] || { fail "cpack made no .deb"; exit 1; }
echo "$(basename "$deb"):"
dpkg-deb -c "$deb" | awk '{ print $6 }' | grep -v '/$' | sort | tee "$work/contents"
cat >"$work/expected" <<LIST
./usr/bin/flintor
./usr/bin/flintor-calc
./usr/share/applications/$id.desktop
./usr/share/bash-completion/completions/flintor-calc
./usr/share/doc/flintor/README.md
./usr/share/doc/flintor/changelog.gz
./usr/share/doc/flintor/copyright
./usr/share/icons/hicolor/128x128/apps/$id.png
./usr/share/icons/hicolor/48x48/apps/$id.png
./usr/share/man/man1/flintor-calc.1.gz
./usr/share/man/man1/flintor.1.gz
./usr/share/metainfo/$id.metainfo.xml
LIST
diff -u "$work/expected" "$work/contents" || fail "the package holds other files than expected"
depends="$(dpkg-deb -f "$deb" Depends)"
echo "Depends: $depends"
for need in libqt6widgets6 libqt6gui6 libqt6core6 libc6 qt6-qpa-plugins; do
  case ", $depends," in *", $need "*|*", $need,"*) ;; *) fail "the package does not depend on $need" ;; esac
done
[ "$(dpkg-deb -f "$deb" Package)" = flintor ] || fail "the package is not named flintor"
[ "$(dpkg-deb -f "$deb" Version)" = 1.0.1 ] || fail "the package version is not 1.0.1"

# The manual page of flintor-calc is its --help: every option of the one is in the other.
man_options="$(zcat "$prefix/share/man/man1/flintor-calc.1.gz" | sed 's/\\-/-/g' | grep -o '\\fB--[a-z0-9-]*' | sed 's/\\fB//' | sort -u)"
help_options="$("$prefix/bin/flintor-calc" --help | grep -o -- '^  --[a-z0-9-]*' | sed 's/^  //' | sort -u)"
[ -n "$help_options" ] && [ "$man_options" = "$help_options" ] || fail "the manual page names other options than --help: $man_options"

# Completion offers each option and each value of --output.
completions="$(bash -c "source '$prefix/share/bash-completion/completions/flintor-calc'
  COMP_WORDS=(flintor-calc --); COMP_CWORD=1; _flintor_calc; printf '%s\\n' \"\${COMPREPLY[@]}\" | sort | xargs
  COMP_WORDS=(flintor-calc --output ''); COMP_CWORD=2; _flintor_calc; echo \${COMPREPLY[*]}")"
[ "$completions" = "$(echo $help_options)
standard pctool ftp telnet" ] || fail "bash completion offers: $completions"

if command -v lintian >/dev/null 2>&1; then
  echo "== lintian $(basename "$deb")"
  # Informational tags may stay; errors and warnings may not.
  lintian --display-info "$deb" 2>/dev/null | tee "$work/lintian"
  if grep -E '^[EW]: ' "$work/lintian" >/dev/null; then
    fail "lintian reports errors or warnings"
  fi
elif [ $status -eq 0 ]; then
  echo "SKIPPED: lintian is not installed (apt-get install lintian); everything else is as expected."
  exit 77
fi

[ $status -eq 0 ] && echo "installed files and package are as expected"
exit $status
