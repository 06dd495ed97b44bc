#!/usr/bin/env bash
# Builds the two Debian packages in build/package: qrt-service-tool_VERSION_ARCH.deb (the
# desktop tool, qrt-cli, qrt-monitor, qrt-sim) and qrt-gateway_VERSION_ARCH.deb (the
# gateway and its service, without desktop libraries). A Release build with Debian's
# hardening flags (dpkg-buildflags: fortify, stack protector, relro, bind now), the
# runtime dependencies found by dpkg-shlibdeps; then lintian, which must find no error
# and no hardening tag. Extra arguments go to CMake (CI adds -DQRT_WERROR=ON: the
# programs at -O3 with warnings as errors).
#
# QRT_JOBS=N sets how many compilers run at once: by default one per core, but no more
# than the available memory holds at 1 GB each (a compiler of these sources at -O3
# peaks below 0.5 GB). On a small board beside the receiver:
#   QRT_JOBS=1 bash scripts/package.sh
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh

jobs_for_this_machine() {
    local cores available_kb by_memory
    cores=$(nproc)
    available_kb=$(awk '/^MemAvailable:/ { print $2 }' /proc/meminfo)
    by_memory=$((available_kb / (1024 * 1024)))
    if [ "$by_memory" -lt 1 ]; then by_memory=1; fi
    echo $((cores < by_memory ? cores : by_memory))
}
jobs=${QRT_JOBS:-$(jobs_for_this_machine)}
if ! [[ "$jobs" =~ ^[1-9][0-9]*$ ]]; then
    echo "package: QRT_JOBS must be a whole number of jobs, 1 or more, not '$jobs'" >&2
    exit 2
fi
echo "package: $jobs compile jobs at once (QRT_JOBS=N bash scripts/package.sh sets them)"

# The optimisation is the Release build's, and the packages carry no debugging symbols.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CXXFLAGS_MAINT_STRIP="-g -O2"
cxx_flags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
linker_flags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr -DCMAKE_CXX_FLAGS="$cxx_flags" \
    -DCMAKE_EXE_LINKER_FLAGS="$linker_flags" "$@"
cmake --build build/package --parallel "$jobs"
rm -f build/package/*.deb
(cd build/package && cpack -G DEB)

report=build/package/lintian.txt
lintian --fail-on error --display-info build/package/*.deb | tee "$report"
if grep -q 'hardening-' "$report"; then
    echo "package: lintian finds programs built without the hardening flags" >&2
    exit 1
fi
ls build/package/*.deb
