#!/usr/bin/env bash
# Builds the Debian package build/package/qrt-service-tool_VERSION_ARCH.deb: a Release
# build of the programs, their manual pages, desktop entry and documents, with the
# runtime dependencies found by dpkg-shlibdeps; then checks it with lintian. Extra
# arguments go to CMake (CI adds -DQRT_WERROR=ON: the programs at -O3 with warnings as
# errors).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build/package -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr "$@"
cmake --build build/package
rm -f build/package/*.deb
(cd build/package && cpack -G DEB)
lintian --fail-on error build/package/*.deb
ls build/package/*.deb
