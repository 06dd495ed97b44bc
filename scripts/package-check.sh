#!/usr/bin/env bash
# Installs the package that scripts/package.sh built, uses the installed programs, and
# removes it again: the tools' --help, the gateway's service unit, qrt-tester offscreen
# against qrt-sim long enough to Open and Close, run as a user who cannot write /usr/bin,
# whose settings must go to the per-user configuration folder, and qrt-gateway with its
# installed settings publishing to a local broker.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
deb=$(ls build/package/qrt-service-tool_*.deb)
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y "./$deb" > /dev/null

/usr/bin/qrt-monitor --help > /dev/null
/usr/bin/qrt-cli --help > /dev/null
/usr/bin/qrt-sim --help > /dev/null
/usr/bin/qrt-gateway --help > /dev/null
/usr/bin/qrt-tester --version
systemd-analyze verify --man=no /usr/lib/systemd/system/qrt-gateway.service
grep -q '^broker = ' /etc/qrt-gateway.conf

work=$(mktemp -d)
chmod 755 "$work"
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    chown nobody "$work"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)  # execs: signals reach the program
fi
run() {
    exec "${as_user[@]}" env HOME="$work" XDG_CONFIG_HOME="$work/config" QT_QPA_PLATFORM=offscreen "$@"
}
wait_for() {  # FILE TEXT COUNT
    for _ in $(seq 100); do
        [ "$(grep -c -- "$2" "$1" 2> /dev/null || true)" -ge "$3" ] && return 0
        sleep 0.1
    done
    echo "package check: no '$2' in $1:" >&2
    cat "$1" >&2
    return 1
}

(run /usr/bin/qrt-sim --link-a "$work/a" --link-b "$work/b" --module 5.1234 > "$work/sim.log" 2>&1) &
sim=$!
wait_for "$work/sim.log" "module 5.1234" 1
settings="$work/config/qrt-tester/qrt-tester.ini"
(run mkdir -p "$work/config/qrt-tester")
printf '[Config]\nInterfaceA=%s\nInterfaceB=%s\n' "$work/a" "$work/b" | (run tee "$settings") > /dev/null

(run /usr/bin/qrt-tester --open > "$work/tester.log" 2>&1) &
tester=$!
wait_for "$work/tester.log" " opened" 2
sleep 1
kill -TERM "$tester"
wait "$tester"
# The installed command line on the same simulator, with the window's settings file.
(run /usr/bin/qrt-cli --settings "$settings" send VER --module 5.1234 --wait-reply 3) |
    grep -q 'ID:5.1234 Version:' || { echo "package check: qrt-cli got no reply" >&2; exit 1; }
# The installed gateway on the same simulator, its installed settings but for the port,
# the broker and the queue.
port=$((20000 + RANDOM % 20000))
printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$port" > "$work/broker.conf"
(run /usr/sbin/mosquitto -c "$work/broker.conf" > "$work/broker.log" 2>&1) &
broker=$!
(run /usr/bin/qrt-gateway --config /etc/qrt-gateway.conf --port-a "$work/a" \
    --broker "mqtt://127.0.0.1:$port" --queue "$work/queue" > "$work/gateway.log" 2>&1) &
gateway=$!
wait_for "$work/gateway.log" "connected to" 1
kill -TERM "$gateway"
wait "$gateway"
kill -TERM "$broker"
wait "$broker" || true
kill -TERM "$sim"
wait "$sim" || true

grep -q '^MXL=0$' "$settings" || { echo "package check: settings not saved in $settings" >&2; exit 1; }
[ ! -e /usr/bin/qrt-tester.ini ] || { echo "package check: settings went to /usr/bin" >&2; exit 1; }
rm -rf "$work"

DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get remove -y qrt-service-tool > /dev/null
[ ! -e /usr/bin/qrt-tester ] || { echo "package check: qrt-tester still installed" >&2; exit 1; }
echo "package check: installed, opened and closed, settings in the per-user folder, qrt-cli answered, the gateway published, removed"
