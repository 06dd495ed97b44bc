#!/usr/bin/env bash
# Takes the README's screenshot of the main window: the demo installation under Xvfb,
# the link opened, a few commands sent. Needs xvfb, xdotool and imagemagick.
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/main-window.png}
build=build/default
demo=$(mktemp -d /tmp/qrt-shot.XXXXXX)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$demo"' EXIT
"$build/tools/qrt-sim" --scenario tools/sim/demo.ini --link-a "$demo/a" --link-b "$demo/b" \
    > "$demo/sim.log" 2>&1 &
sleep 0.5
cp "$build/src/qrt-tester" "$demo/qrt-tester"
printf '[Config]\nInterfaceA=%s/a\nInterfaceB=%s/b\nbinprot=1\n[Settings]\nID=16\nIDh=6\n' \
    "$demo" "$demo" > "$demo/qrt-tester.ini"
cat > "$demo/run.sh" <<RUN
#!/usr/bin/env bash
"$demo/qrt-tester" &
sleep 2
window=\$(xdotool search --name "QRT-Tester" | head -1)
click() { xdotool mousemove --window "\$window" "\$1" "\$2" click 1; sleep 0.3; }
click 480 14     # Open
sleep 4          # start-up polls, then telegrams arrive
click 25 40      # VER on the inductive head
click 48 405     # Funk: INF by radio
sleep 6
xwd -root -silent | /usr/bin/convert xwd:- -crop 571x713+0+0 "$PWD/$out"
RUN
chmod +x "$demo/run.sh"
xvfb-run -s "-screen 0 640x760x24" "$demo/run.sh"
echo "written: $out"
