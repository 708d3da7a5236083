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
icons=""
for size in 16 22 24 32 48 64 128 256; do
  icons="$icons share/icons/hicolor/${size}x${size}/apps/ostrel.png"
done
for f in bin/ostrel bin/ostrel-chargesim \
         share/ostrel/locale/ru/LC_MESSAGES/default.mo share/ostrel/locale/ru/LC_MESSAGES/cport.mo \
         share/doc/ostrel/help.txt share/doc/ostrel/README.md share/doc/ostrel/copyright \
         share/doc/ostrel/changelog.gz \
         share/man/man1/ostrel.1.gz share/man/man1/ostrel-chargesim.1.gz share/man/ru/man1/ostrel.1.gz \
         share/applications/ostrel.desktop share/icons/hicolor/scalable/apps/ostrel.svg $icons \
         share/metainfo/io.github.ostrel.Ostrel.metainfo.xml; do
  if [[ ! -f $prefix/$f ]]; then
    echo "not installed: $f"
    status=1
  fi
done
# Every picture the installed README shows is installed with it.
for picture in $(grep -o '(docs/[^)]*)' "$prefix/share/doc/ostrel/README.md" | tr -d '()'); do
  if [[ ! -f $prefix/share/doc/ostrel/$picture ]]; then
    echo "the README shows $picture, which is not installed"
    status=1
  fi
done
# Each PNG is the size its folder says (width and height, big-endian, at
# bytes 16 to 23 of the file).
for size in 16 22 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/ostrel.png
  [[ -f $png ]] || continue # said above
  read -r -a b < <(od -An -tu1 -j16 -N8 "$png")
  w=$(( (b[2] << 8) | b[3] )) h=$(( (b[6] << 8) | b[7] ))
  [[ $w -eq $size && $h -eq $size ]] || { echo "the ${size}x${size} icon is ${w}x${h}"; status=1; }
done
[[ $status -eq 0 ]] || exit 1

version=$("$prefix/bin/ostrel" --version)
[[ $version =~ ^Ostrel\ [0-9]+\.[0-9]+ ]] || { echo "--version said: $version"; exit 1; }
# The options of both programs: help and version need no display, a
# mistyped value is refused with the usage.
help=$("$prefix/bin/ostrel" --help)
[[ $help == *--start* ]] || { echo "ostrel --help said: $help"; exit 1; }
help=$("$prefix/bin/ostrel-chargesim" --help)
[[ $help == *"--fault NAME"* ]] || { echo "ostrel-chargesim --help said: $help"; exit 1; }
for wrong in "--interval-ms 10x" "--speed nan" "--fault nonsense" "--rate" "stray" "--nonsense" \
             "--fade 100" "--fade -1" "--charges -1" "--charges x"; do
  set +e
  # shellcheck disable=SC2086
  "$prefix/bin/ostrel-chargesim" $wrong > /dev/null 2>&1
  code=$?
  set -e
  [[ $code -eq 2 ]] || { echo "ostrel-chargesim $wrong: exit $code, not 2"; exit 1; }
done
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
