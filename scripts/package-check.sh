#!/usr/bin/env bash
# Installs the two packages that scripts/package.sh built, uses the installed programs,
# and removes them again. First the gateway package alone: no desktop library among its
# dependencies (nor theirs), the program runs, the unit verifies and rates an exposure of
# 2.0 or less in systemd's security analysis, the settings are a conffile, and it installs
# again as an upgrade. Then the desktop package beside it: the tools' --help, qrt-tester
# offscreen against qrt-sim long enough to Open and Close, run as a user who cannot write
# /usr/bin, whose settings must go to the per-user configuration folder, and qrt-gateway
# with its installed settings publishing to a local broker. lintian on both; both removed,
# the gateway's settings purged. Runs as root or with sudo, with or without systemd.
set -euo pipefail
cd "$(dirname "$0")/.."
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
desktop_deb=$(ls build/package/qrt-service-tool_*.deb)
gateway_deb=$(ls build/package/qrt-gateway_*.deb)
apt_get() {  # waits for another engineer's apt rather than failing on its lock
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get -o DPkg::Lock::Timeout=600 "$@" > /dev/null
}
fail() {
    echo "package check: $*" >&2
    exit 1
}
installed() { dpkg-query -W -f='${Status}' "$1" 2> /dev/null | grep -q 'ok installed'; }

for package in qrt-service-tool qrt-gateway; do
    if dpkg-query -W "$package" > /dev/null 2>&1; then apt_get purge -y "$package"; fi
done
lintian --fail-on error "$desktop_deb" "$gateway_deb"

# The gateway alone: nothing of the desktop comes with it.
desktop_libraries='libqt6widgets6|libqt6charts6|libqt6gui6|qt6-qpa-plugins'
gateway_depends=$(dpkg-deb --field "$gateway_deb" Depends)
if grep -qwE "$desktop_libraries" <<< "$gateway_depends"; then
    fail "qrt-gateway depends on desktop libraries: $gateway_depends"
fi
apt_get install -y "./$gateway_deb"
[ ! -e /usr/bin/qrt-tester ] || fail "qrt-tester came with qrt-gateway"
closure=$(apt-cache depends --recurse --no-recommends --no-suggests --no-conflicts \
    --no-breaks --no-replaces --no-enhances qrt-gateway | grep -v '^ ')
if grep -qxE "$desktop_libraries" <<< "$closure"; then
    fail "qrt-gateway pulls in desktop libraries: $(grep -xE "$desktop_libraries" <<< "$closure" | xargs)"
fi
# The program and its manual page give the package's version; the page lists the files.
release=$(dpkg-query -W -f='${Version}' qrt-gateway)
release=${release%-*}
[ "$(/usr/bin/qrt-gateway --version)" = "$release" ] || fail "qrt-gateway --version is not $release"
zgrep -q "^\.TH QRT-GATEWAY.*qrt-gateway $release" /usr/share/man/man1/qrt-gateway.1.gz ||
    fail "the manual page does not give version $release"
zgrep -q '^\.SH FILES' /usr/share/man/man1/qrt-gateway.1.gz || fail "the manual page has no FILES"
unit=/usr/lib/systemd/system/qrt-gateway.service
systemd-analyze verify --man=no "$unit"
# The exposure is rated 0.0 (locked down) to 10.0; the threshold counts in tenths.
systemd-analyze security --offline=true --threshold=20 "$unit" > build/package/security.txt ||
    fail "$unit is exposed beyond 2.0: $(tail -1 build/package/security.txt)"
tail -1 build/package/security.txt
dpkg-query -W -f='${Conffiles}' qrt-gateway | grep -q '^ /etc/qrt-gateway.conf ' ||
    fail "/etc/qrt-gateway.conf is not a conffile"
unit_state=/var/lib/systemd/deb-systemd-helper-enabled/qrt-gateway.service.dsh-also
[ -e "$unit_state" ] || fail "the unit's state was not recorded for a purge"
[ ! -e /etc/systemd/system/multi-user.target.wants/qrt-gateway.service ] ||
    fail "installing the package enabled the unit"
apt_get install -y --reinstall "./$gateway_deb"  # the maintainer scripts of an upgrade

# The desktop package beside it.
apt_get install -y "./$desktop_deb"
/usr/bin/qrt-monitor --help > /dev/null
/usr/bin/qrt-cli --help > /dev/null
/usr/bin/qrt-sim --help > /dev/null
/usr/bin/qrt-gateway --help > /dev/null
/usr/bin/qrt-tester --version
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
(run /usr/bin/qrt-cli --settings "$settings" --record "$work/ver.pcapng" send VER \
    --module 5.1234 --wait-reply 3) |
    grep -q 'ID:5.1234 Version:' || { echo "package check: qrt-cli got no reply" >&2; exit 1; }
# The installed dissector decodes the recording, with no step of its own.
if command -v tshark > /dev/null; then
    tshark -r "$work/ver.pcapng" -T fields -e qrt.module 2> /dev/null | grep -q '^5\.1234$' ||
        { echo "package check: Wireshark's plugin did not decode the recording" >&2; exit 1; }
fi
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

apt_get remove -y qrt-service-tool
[ ! -e /usr/bin/qrt-tester ] || fail "qrt-tester still installed"
installed qrt-gateway || fail "removing the desktop package took the gateway with it"
apt_get remove -y qrt-gateway
[ -e /etc/qrt-gateway.conf ] || fail "removing qrt-gateway took its settings"
apt_get purge -y qrt-gateway
[ ! -e /etc/qrt-gateway.conf ] || fail "purging qrt-gateway left its settings"
[ ! -e "$unit_state" ] || fail "the purge left the unit's state"
echo "package check: the gateway alone without desktop libraries, its unit verified at exposure 2.0 or less, reinstalled; the desktop beside it opened and closed, settings in the per-user folder, qrt-cli answered, the gateway published; removed and purged"
