#!/usr/bin/env bash
# Installs the build into a temporary prefix as a package would, checks the
# layout a desktop and the program itself rely on, and starts the installed
# program.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" > /dev/null

status=0
for f in bin/ostrel \
         share/ostrel/locale/ru/LC_MESSAGES/default.mo share/ostrel/locale/ru/LC_MESSAGES/cport.mo \
         share/doc/ostrel/help.txt share/doc/ostrel/README.md \
         share/applications/ostrel.desktop share/icons/hicolor/scalable/apps/ostrel.svg \
         share/metainfo/io.github.ostrel.Ostrel.metainfo.xml; do
  if [[ ! -f $prefix/$f ]]; then
    echo "not installed: $f"
    status=1
  fi
done
[[ $status -eq 0 ]] || exit 1

version=$("$prefix/bin/ostrel" --version)
[[ $version =~ ^Ostrel\ [0-9]+\.[0-9]+ ]] || { echo "--version said: $version"; exit 1; }
desktop-file-validate "$prefix/share/applications/ostrel.desktop"
appstreamcli validate --no-net "$prefix/share/metainfo/io.github.ostrel.Ostrel.metainfo.xml" > /dev/null

# The installed program starts from a read-only folder, its settings and
# journal in the user's folders, and is still running after two seconds.
chmod -R a-w "$prefix/bin"
home=$(mktemp -d)
trap 'chmod -R u+w "$prefix"; rm -rf "$prefix" "$home"' EXIT
set +e
HOME=$home XDG_CONFIG_HOME=$home/.config XDG_STATE_HOME=$home/.local/state QT_QPA_PLATFORM=offscreen \
  timeout 2 "$prefix/bin/ostrel" > "$home/out.txt" 2>&1
code=$?
set -e
if [[ $code -ne 124 ]]; then
  echo "the installed program ended with $code:"
  cat "$home/out.txt"
  exit 1
fi
[[ -d $home/.local/state/ostrel ]] || { echo "no journal folder in the user's state folder"; exit 1; }
echo "install: layout, desktop entry, metainfo and a start of the installed program are fine"
