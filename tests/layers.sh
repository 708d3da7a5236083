#!/usr/bin/env bash
# Fails on an include that crosses the program's layers, as the build
# draws them: a file belongs to the target whose add_library or
# add_executable lists it, and may include only the files of that target and
# of the targets it links, directly or through them (target_link_libraries).
# Targets that link no Qt GUI module (Gui, Widgets, Svg) must run without a
# window system: their files include no Qt GUI or widget header. Tests and
# benchmarks may include anything; every other file must belong to a target.
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

declare -A owner   # file -> target
declare -A links   # target -> its direct links, blank-separated
declare -A targets # every target of the program

# "src TARGET FILE" and "link TARGET DEP" for every listing of the build.
parse() {
  local list=$1 dir
  dir=$(dirname "$list")
  awk -v dir="$dir" '
    { sub(/#.*/, ""); text = text " " $0 }
    END {
      while (match(text, /(add_library|add_executable|target_link_libraries)\([^)]*\)/)) {
        call = substr(text, RSTART, RLENGTH)
        text = substr(text, RSTART + RLENGTH)
        kind = substr(call, 1, index(call, "(") - 1)
        args = substr(call, index(call, "(") + 1)
        sub(/\)$/, "", args)
        n = split(args, word, /[ \t]+/)
        name = ""
        for (i = 1; i <= n; ++i) {
          if (word[i] == "") continue
          if (name == "") { name = word[i]; continue }
          if (name ~ /\$/) break
          if (kind == "target_link_libraries") {
            if (word[i] !~ /^(PUBLIC|PRIVATE|INTERFACE)$/) print "link", name, word[i]
          } else if (word[i] ~ /\.(cpp|h)$/) {
            print "src", name, dir "/" word[i]
          }
        }
      }
    }' "$list"
}

while read -r kind name what; do
  targets[$name]=1
  if [[ $kind == src ]]; then
    owner[$what]=$name
  else
    links[$name]="${links[$name]:-} $what"
  fi
done < <(find platform serial link charts history app tools -name CMakeLists.txt | sort | while read -r f; do parse "$f"; done)

# Everything a target reaches through its links, itself included.
declare -A reach
reachOf() {
  local t=$1
  [[ -n ${reach[$t]:-} ]] && return
  local seen=" $t " stack=("$t") next dep
  while ((${#stack[@]})); do
    next=${stack[-1]}
    unset 'stack[-1]'
    for dep in ${links[$next]:-}; do
      [[ $seen == *" $dep "* ]] && continue
      seen+="$dep "
      stack+=("$dep")
    done
  done
  reach[$t]=$seen
}

gui='<(QtGui/|QtWidgets/)?Q(Widget|Dialog|MainWindow|Application|GuiApplication|Color|Pixmap|Image|Painter|PaintDevice|PaintEngine|Font|Palette|Label|PushButton|ToolButton|ComboBox|LineEdit|SpinBox|PlainTextEdit|TextEdit|MessageBox|FileDialog|Menu|Action|Clipboard)>'

status=0
while IFS= read -r file; do
  case $file in
    tests/* | bench/*) from=any ;;
    *)
      from=${owner[$file]:-}
      if [[ -z $from ]]; then
        echo "$file: belongs to no target of the build"
        status=1
        continue
      fi
      reachOf "$from"
      ;;
  esac
  windowless=0
  if [[ $from != any && ${reach[$from]} != *" Qt6::Gui "* && ${reach[$from]} != *" Qt6::Widgets "* \
        && ${reach[$from]} != *" Qt6::Svg "* ]]; then
    windowless=1
  fi
  while IFS= read -r line; do
    target=$(sed -n 's/^#include "\([^"]*\)".*/\1/p' <<<"$line")
    if [[ -n $target ]]; then
      if [[ $target != */* ]]; then
        # Generated files (moc, ui) sit beside their source.
        [[ $target == *.moc || $target == ui_* ]] && continue
        echo "$file: include without its folder: $line"
        status=1
        continue
      fi
      [[ $from == any ]] && continue
      to=${owner[$target]:-}
      if [[ -z $to ]]; then
        echo "$file: includes a file of no target of the build: $line"
        status=1
      elif [[ ${reach[$from]} != *" $to "* ]]; then
        echo "$file: $from does not link $to: $line"
        status=1
      fi
    elif ((windowless)) && grep -Eq "^#include $gui" <<<"$line"; then
      echo "$file: $from must run without a window system: $line"
      status=1
    fi
  done < <(grep -E '^#include' "$file")
done < <(find app link charts history serial platform tools tests bench -name '*.h' -o -name '*.cpp' | sort)

if [[ $status -eq 0 ]]; then
  echo "layers: every include keeps to the targets its file links (${#targets[@]} targets)"
fi
exit $status
