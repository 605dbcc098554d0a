#!/usr/bin/env bash
# Builds the Debian package of Quarnel: a release build in its own build
# folder, then CPack. Prints the package's path on the last line.
#
#   scripts/package.sh [CMAKE-OPTION...]
#   scripts/package.sh --configure DIR [CMAKE-OPTION...]
#   scripts/package.sh --from DIR
#
# Options are passed to CMake, e.g.
#   scripts/package.sh -DQUARNEL_PACKAGE_MAINTAINER="Line Team <line@example.com>"
# --configure sets up DIR with the package's compiler flags and nothing more
# (tests and benchmarks as the options say), so that one build serves the
# tests and the package; --from packages such a tree once it is built: it is
# brought up to date, installed and packed, not compiled again. A tree set up
# otherwise is refused.
# Environment: QUARNEL_PACKAGE_BUILD_DIR (default build-package in the source
# tree), QUARNEL_JOBS (parallel build jobs, default nproc).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${QUARNEL_PACKAGE_BUILD_DIR:-$root/build-package}"
jobs="${QUARNEL_JOBS:-$(nproc 2>/dev/null || echo 2)}"
mode=package
case "${1:-}" in
  --configure | --from)
    [ $# -ge 2 ] || { echo "usage: $0 $1 DIR" >&2; exit 2; }
    mode=${1#--} build=$2
    shift 2
    ;;
esac
[ "$mode" != from ] || [ $# -eq 0 ] || { echo "usage: $0 --from DIR" >&2; exit 2; }
# Named from where it was called; the package's path is printed whole, as
# apt-get takes it.
build=$(realpath -m "$build")

# dpkg-shlibdeps computes the package's dependencies; file finds the binaries for it.
for tool in dpkg-shlibdeps file gzip; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing; run scripts/install-deps.sh" >&2
    exit 2
  fi
done

# Debian's own compiler and linker flags (optimisation, hardening, paths in
# the binaries relative to the source tree) in place of CMake's release
# defaults, less the debug information: the binaries are stripped when they
# are packaged, and it would cost a third of the build only to be thrown away.
cd "$root"
cxxflags=$(dpkg-buildflags --get CXXFLAGS | sed -E 's/(^| )-g( |$)/ /; s/^ +//')
settings=(
  CMAKE_BUILD_TYPE=Release
  "CMAKE_CXX_FLAGS=$cxxflags $(dpkg-buildflags --get CPPFLAGS)"
  CMAKE_CXX_FLAGS_RELEASE=-DNDEBUG
  "CMAKE_EXE_LINKER_FLAGS=$(dpkg-buildflags --get LDFLAGS)"
  CMAKE_INSTALL_PREFIX=/usr
  QUARNEL_FUZZ=OFF
  QUARNEL_SANITIZE=
)

if [ "$mode" = from ]; then
  cache="$build/CMakeCache.txt"
  [ -f "$cache" ] || { echo "$0: $build is no build tree" >&2; exit 2; }
  for setting in "${settings[@]}"; do
    name=${setting%%=*}
    value=$(sed -n "s/^$name:[A-Z]*=//p" "$cache")
    if [ "$value" != "${setting#*=}" ]; then
      echo "$0: $build has $name '$value', the package needs '${setting#*=}'" >&2
      echo "(set it up with: $0 --configure $build)" >&2
      exit 2
    fi
  done
else
  generator=()
  # The generator can only be chosen when the directory is new.
  if [ ! -f "$build/CMakeCache.txt" ] && command -v ninja >/dev/null; then generator=(-G Ninja); fi
  options=("${settings[@]/#/-D}")
  [ "$mode" = configure ] || options+=(-DQUARNEL_WITH_TESTS=OFF -DQUARNEL_WITH_BENCH=OFF)
  cmake -S "$root" -B "$build" "${generator[@]}" "${options[@]}" "$@"
  [ "$mode" = package ] || exit 0
fi
cmake --build "$build" -j "$jobs"

rm -f "$build"/quarnel_*.deb
(cd "$build" && cpack -G DEB)
package=$(ls "$build"/quarnel_*.deb)
echo "Package: $package"
