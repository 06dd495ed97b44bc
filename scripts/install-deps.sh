#!/usr/bin/env bash
# Installs the Debian 12 packages the tool, its tests and benchmarks need.
set -euo pipefail
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-serialport-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
    libsimpleini-dev libcli11-dev libmosquitto-dev libsqlite3-dev libsystemd-dev
    mosquitto mosquitto-clients openssl
    libgtest-dev libgmock-dev libbenchmark-dev
    clang libclang-rt-14-dev clang-format
    help2man lintian dpkg-dev file fakeroot tzdata systemd
    libpcap-dev tshark
)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing+=("$package")
done
if [ "${#missing[@]}" -gt 0 ]; then
    # tshark asks whether users outside root may capture: no, without asking.
    echo "wireshark-common wireshark-common/install-setuid boolean false" |
        "${sudo_cmd[@]}" debconf-set-selections
    "${sudo_cmd[@]}" apt-get update
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
fi
