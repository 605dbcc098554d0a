#!/usr/bin/env bash
# Builds the Windows installer from the WiX source that CMake configured
# (build-windows/packaging/windows/quarnel.wxs), for 64-bit Windows:
#
#   make-msi.sh WXS OUTPUT.msi [-D Name=Value]...
#
# wixl (msitools) builds the package; what wixl cannot express is then put
# into its tables with msibuild, as WiX itself would write them:
#  - Environment.idt, the system PATH entry (WiX's <Environment>): the folder
#    is appended to PATH ("[~];") in the system's environment ("*") when the
#    component SystemPath is installed ("="), and taken out again when it is
#    removed ("-");
#  - the upgrade row of <MajorUpgrade> also takes in the same version and
#    keeps the installed features (WiX's AllowSameVersionUpgrades): a rebuild
#    of a version replaces it instead of being installed beside it, and a
#    PATH entry left out stays out.
set -euo pipefail
[ $# -ge 2 ] || { echo "usage: $0 WXS OUTPUT.msi [-D Name=Value]..." >&2; exit 2; }
here=$(cd "$(dirname "$0")" && pwd)
wxs=$1 output=$2
shift 2
mkdir -p "$(dirname "$output")"
output=$(cd "$(dirname "$output")" && pwd)/$(basename "$output")
tables=$(mktemp -d)
trap 'rm -rf "$tables"' EXIT

fail() {
  echo "make-msi.sh: $*" >&2
  rm -f "$output"
  exit 1
}

# wixl finds the files the source names relative to the folder it runs in.
rm -f "$output"
(cd "$(dirname "$wxs")" && wixl --arch x64 "$@" --output "$output" "$(basename "$wxs")")

# Upgrade attributes: 1 migrate the features, 512 up to this version inclusive.
msiinfo export "$output" Upgrade |
  awk 'BEGIN { FS = OFS = "\t" } { sub(/\r$/, "") }
       NR > 3 && $7 == "WIX_UPGRADE_DETECTED" { $5 = 513 } { printf "%s\r\n", $0 }' \
    >"$tables/Upgrade.idt"
cp "$here/Environment.idt" "$tables/"
# msibuild imports a table by its file name, from the current folder.
(cd "$tables" && msibuild "$output" -i Environment.idt -i Upgrade.idt)

# msibuild does not always report a failure: check what it wrote.
environment=$(msiinfo export "$output" Environment) || fail "no Environment table in $output"
grep -q "^SystemPath	" <<<"$environment" || fail "no PATH entry in $output"
upgrade=$(msiinfo export "$output" Upgrade)
grep -q "	513		WIX_UPGRADE_DETECTED" <<<"$upgrade" || fail "no upgrade of the same version in $output"
