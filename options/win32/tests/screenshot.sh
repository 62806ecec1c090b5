#!/bin/bash
# Photographs the options dialog under Wine and Xvfb:
#   screenshot.sh <options_dialog_preview.exe> <out.png>
set -eu
here=$(dirname "$(readlink -f "$0")")
. "$here/../../../tests/wine/wine-env.sh"
exe=$(readlink -f "$1") out=$2
trap hc_wine_teardown EXIT
hc_wine_setup
rect=$(mktemp)
wine "$exe" 4000 </dev/null >"$rect" &
runner=$!
for _ in $(seq 60); do [ -s "$rect" ] && break; sleep 0.1; done
sleep 1.5  # let the controls paint
read -r left top width height <"$rect"
xwd -root -silent -display "$DISPLAY" | convert xwd:- -crop "${width}x${height}+${left}+${top}" +repage "png:$out"
wait $runner
rm -f "$rect"
echo "saved $out (${width}x${height} at $left,$top)"
