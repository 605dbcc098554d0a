#!/usr/bin/env bash
# Builds the Debian package of Quarnel: a release build in its own build
# folder, then CPack. Prints the package's path on the last line.
#
#   scripts/package.sh [CMAKE-OPTION...]
#
# Options are passed to CMake, e.g.
#   scripts/package.sh -DQUARNEL_PACKAGE_MAINTAINER="Line Team <line@example.com>"
# Environment: QUARNEL_PACKAGE_BUILD_DIR (default build-package in the source
# tree), QUARNEL_JOBS (parallel build jobs, default nproc).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUARNEL_PACKAGE_BUILD_DIR:-$root/build-package}"
jobs="${QUARNEL_JOBS:-$(nproc 2>/dev/null || echo 2)}"

# dpkg-shlibdeps computes the package's dependencies; file finds the binaries for it.
for tool in dpkg-shlibdeps file gzip; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing; run scripts/install-deps.sh" >&2
    exit 2
  fi
done

# Debian's own compiler and linker flags (optimisation, hardening, paths in
# the binaries relative to the source tree) in place of CMake's release
# defaults; the binaries are stripped when they are packaged.
cd "$root"
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

generator=()
# The generator can only be chosen when the directory is new.
if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
cmake -S "$root" -B "$build" "${generator[@]}" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_CXX_FLAGS_RELEASE=-DNDEBUG -DCMAKE_EXE_LINKER_FLAGS="$ldflags" \
  -DCMAKE_INSTALL_PREFIX=/usr -DQUARNEL_WITH_TESTS=OFF -DQUARNEL_WITH_BENCH=OFF \
  -DQUARNEL_FUZZ=OFF -DQUARNEL_SANITIZE= "$@"
cmake --build "$build" -j "$jobs"

rm -f "$build"/quarnel_*.deb
(cd "$build" && cpack -G DEB)
package=$(ls "$build"/quarnel_*.deb)
echo "Package: $package"
