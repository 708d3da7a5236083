#!/usr/bin/env bash
# Fails on an include that crosses the program's layers. Each file belongs to
# a part by its folder; a part may include only the parts below it:
#   platform (core)     nothing but itself
#   platformgui         platform
#   serial (core)       platform
#   serialwidgets       serial, platformgui
#   engine              platform, platformgui
#   charts              engine, platform, platformgui
#   link                platform
#   chargesim           nothing of the program
#   iconpngs            platformgui (the build's icon drawer)
#   app, tests, bench   anything
# The parts that must run without a window system (platform, serial, link)
# also include no Qt GUI or widget header.
set -u
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root" || exit 2

part() {
  case $1 in
    platform/dialogs.*|platform/errorreport.*|platform/wmfpaint.*|platform/named.h|platform/programicon.*) echo platformgui ;;
    platform/*) echo platform ;;
    serial/CPortCtl.*|serial/CPortSetup.*) echo serialwidgets ;;
    serial/*) echo serial ;;
    charts/engine/*) echo engine ;;
    charts/*) echo charts ;;
    link/*) echo link ;;
    tools/chargesim/*) echo chargesim ;;
    tools/iconpngs/*) echo iconpngs ;;
    app/*) echo app ;;
    *) echo "${1%%/*}" ;; # tests, bench

  esac
}

allowed() {
  local from=$1 to=$2
  [[ $from == "$to" || $from == app || $from == tests || $from == bench ]] && return 0
  case $from in
    platformgui) [[ $to == platform ]] ;;
    serial) [[ $to == platform ]] ;;
    serialwidgets) [[ $to == serial || $to == platform || $to == platformgui ]] ;;
    engine) [[ $to == platform || $to == platformgui ]] ;;
    charts) [[ $to == engine || $to == platform || $to == platformgui ]] ;;
    link) [[ $to == platform ]] ;;
    iconpngs) [[ $to == platformgui ]] ;;
    *) return 1 ;;
  esac
}

gui='<(QtGui/|QtWidgets/)?Q(Widget|Dialog|MainWindow|Application|GuiApplication|Color|Pixmap|Image|Painter|PaintDevice|PaintEngine|Font|Palette|Label|PushButton|ToolButton|ComboBox|LineEdit|SpinBox|PlainTextEdit|TextEdit|MessageBox|FileDialog|Menu|Action|Clipboard)>'

status=0
while IFS= read -r file; do
  from=$(part "$file")
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
      to=$(part "$target")
      if ! allowed "$from" "$to"; then
        echo "$file: $from may not include $to: $line"
        status=1
      fi
    elif [[ $from == platform || $from == serial || $from == link ]] && grep -Eq "^#include $gui" <<<"$line"; then
      echo "$file: $from must run without a window system: $line"
      status=1
    fi
  done < <(grep -E '^#include' "$file")
done < <(find app link charts serial platform tools tests bench -name '*.h' -o -name '*.cpp' | sort)

if [[ $status -eq 0 ]]; then
  echo "layers: every include keeps to its layer"
fi
exit $status
