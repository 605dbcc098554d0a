#!/usr/bin/env bash
# Checks the Windows installer under Wine, in the Wine prefix and server that
# scripts/test-windows.sh has running: builds it (the target msi), reads its
# tables, installs it silently, runs the installed quarnel-cli.exe (by its
# path and through the system PATH) against the simulated target, upgrades
# it in place with the same package built as the next version, and removes
# it again; last, it is installed into another folder without the PATH entry
# (INSTALLDIR, ADDLOCAL) and upgraded there.
#
#   msi-checks.sh WINDOWS_BUILD_DIR QUARNEL_TARGET_SIM
#
# Environment: WINEPREFIX (the prefix of the Windows build). Exits non-zero
# at the first check that fails, with what it found.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 2 ] || { echo "usage: $0 WINDOWS_BUILD_DIR QUARNEL_TARGET_SIM" >&2; exit 2; }
build=$(cd "$1" && pwd)
target_sim=$(realpath "$2")
[ -x "$target_sim" ] || { echo "$0: no simulator at $2" >&2; exit 2; }
: "${WINEPREFIX:?WINEPREFIX names the Wine prefix of the Windows build}"
export WINEDEBUG=-all
started=$(date +%s.%N)

work="$build/msi-checks"
rm -rf "$work"
mkdir -p "$work"

fail() {
  echo "FAILED (installer): $*" >&2
  exit 1
}

# Runs a Wine program; its output without the CR of Windows line ends.
win() { wine "$@" </dev/null 2>/dev/null | tr -d '\r'; }
# A Linux path as Windows programs name it (Wine's drive Z: is /).
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

with_simulated_port=$PWD/tests/windows_e2e/with_simulated_port.sh
install_dir="$WINEPREFIX/drive_c/Program Files/Quarnel"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
environment_key='HKLM\System\CurrentControlSet\Control\Session Manager\Environment'

# The product codes of the installed Quarnel packages, one a line.
installed_products() { win uninstaller --list | sed -n 's/^\({[0-9A-F-]*}\)|||Quarnel$/\1/p'; }
# The entry of an installed product under installed programs, and a value of
# an entry that reg query printed.
product_entry() { win reg query "$uninstall_key\\$1"; }
value_of() { sed -n "s/^ *$1 *REG_[A-Z_]* *//p" <<<"$2"; }
system_path() { value_of PATH "$(win reg query "$environment_key" /v PATH)"; }
set_system_path() {
  wine reg add "$environment_key" /v PATH /t REG_EXPAND_SZ /d "$1" /f </dev/null >/dev/null 2>&1
}
# PATH without empty entries. Wine's msiexec leaves the separator of an entry
# it removes, and Wine's cmd stops looking at an empty entry; Windows removes
# both and skips empty entries.
path_entries() { tr ';' '\n' <<<"$1" | sed '/^$/d'; }

msi_install() { wine msiexec /i "$(windows_path "$1")" /qn "${@:2}" </dev/null >"$work/msiexec.out" 2>&1; }
msi_remove() { wine msiexec /x "$1" /qn </dev/null >"$work/msiexec.out" 2>&1; }

# Installed programs must not reach this machine's own menus: Wine would
# mirror each Start-menu entry there.
wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d '' /f >/dev/null 2>&1
# A run that stopped half-way left its package installed: remove it.
for product in $(installed_products); do
  msi_remove "$product" || fail "could not remove $product, left by an earlier run"
done
path_before=$(system_path)
[ -n "$path_before" ] || fail "the system PATH cannot be read"
if [ "$(path_entries "$path_before" | paste -s -d ';')" != "$path_before" ]; then
  path_before=$(path_entries "$path_before" | paste -s -d ';')
  set_system_path "$path_before"
fi

# --- The package and its tables ------------------------------------------------------------------
cmake --build "$build" --target msi >"$work/build.log" 2>&1 || { cat "$work/build.log" >&2; fail "the target msi failed"; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
msi="$build/package/quarnel-$version-x64.msi"
[ -f "$msi" ] || fail "no $msi"

tables=$(msiinfo tables "$msi" | tr -d '\r')
for table in Property Directory Component File Feature FeatureComponents Shortcut Icon Registry \
  Upgrade LaunchCondition Environment InstallExecuteSequence Media; do
  grep -qx "$table" <<<"$tables" || fail "the package has no $table table"
done
properties=$(msiinfo export "$msi" Property | tr -d '\r')
property() { sed -n "s/^$1\t//p" <<<"$properties"; }
upgrade_code=$(sed -n 's/^<?define UpgradeCode = "\(.*\)"?>$/{\1}/p' packaging/windows/quarnel.wxs.in)
for expected in "ProductName=Quarnel" "ProductVersion=$version" \
  "Manufacturer=The Quarnel developers" "UpgradeCode=$upgrade_code" "ALLUSERS=1" \
  "ARPPRODUCTICON=quarnel.ico"; do
  [ "$(property "${expected%%=*}")" = "${expected#*=}" ] ||
    fail "property ${expected%%=*} is '$(property "${expected%%=*}")', not '${expected#*=}'"
done
grep -q "x64;1033" <(msiinfo suminfo "$msi") || fail "the package is not for 64-bit Windows"
# Component, ComponentId, Directory_, Attributes: 256 is a 64-bit component
# (files under Program Files, registry values outside Wow6432Node).
msiinfo export "$msi" Component | tr -d '\r' | awk -F '\t' 'NR > 3 && int($4 / 256) % 2 == 0 { bad = 1 }
  END { exit bad }' || fail "a component is not a 64-bit one"
# Feature, Feature_Parent, Title, Description, Display, Level: level 1 is on.
msiinfo export "$msi" Feature | tr -d '\r' | awk -F '\t' '$1 == "Path" && $2 == "Programs" && $6 == 1 { found = 1 }
  END { exit !found }' || fail "no PATH feature, on by default, under Programs"

# --- The icon in the programs: every size of the Linux package's icon ----------------------------
expected_sizes=$(find packaging/icons/hicolor -mindepth 1 -maxdepth 1 -printf '%f\n' | sed 's/x.*//' |
  sort -n | paste -s -d ' ')
[[ "$expected_sizes" == "16 "*" 256" ]] || fail "the icon's sizes are not 16 to 256 px: $expected_sizes"
icon_sizes() {
  rm -f "$work/icon.ico"
  wrestool --extract --type=14 --output="$work/icon.ico" "$1" && icotool --list "$work/icon.ico" |
    sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | paste -s -d ' '
}
archive=$(ls "$build"/package/quarnel-*-win64.zip 2>/dev/null) || fail "no Windows archive (cpack -G ZIP)"
unzip -q -o -j "$archive" '*.exe' -d "$work/zip"
# The programs the installer holds, and those of the archive.
for exe in "$build"/packaging/windows/files/*.exe "$work"/zip/*.exe; do
  sizes=$(icon_sizes "$exe") || fail "no icon in $exe"
  [ "$sizes" = "$expected_sizes" ] || fail "the icon of $exe has the sizes $sizes, not $expected_sizes"
done

# --- Installed silently --------------------------------------------------------------------------
msi_install "$msi" || fail "msiexec /i failed: $(cat "$work/msiexec.out")"
for file in "$build"/packaging/windows/files/*; do
  cmp -s "$file" "$install_dir/$(basename "$file")" ||
    fail "$(basename "$file") is not installed in Program Files\\Quarnel"
done
# The Start-menu entries and the programs they start: the Shortcut table
# (Shortcut, Directory_, Name, Component_) joined with the File table (File,
# Component_, FileName). Wine puts an all-users shortcut in the user's Start
# menu, Windows in its shared one.
start_menu_entry() { find "$WINEPREFIX/drive_c" -path "*/Start Menu/Programs/$1.lnk"; }
shortcuts=$(awk -F '\t' 'FNR <= 3 { next } NR == FNR { file[$2] = $3; next }
  { print $3 "\t" file[$4] }' <(msiinfo export "$msi" File | tr -d '\r') \
  <(msiinfo export "$msi" Shortcut | tr -d '\r'))
grep -qx "Quarnel	quarnel.exe" <<<"$shortcuts" || fail "the package has no Start-menu entry Quarnel"
grep -qx "Quarnel Station	quarnel-station.exe" <<<"$shortcuts" ||
  fail "the package has no Start-menu entry Quarnel Station"
while IFS=$'\t' read -r name program; do
  link=$(start_menu_entry "$name")
  [ -n "$link" ] || fail "no Start-menu entry $name"
  grep -q "$program" <(strings -e l "$link") || fail "the Start-menu entry $name does not start $program"
done <<<"$shortcuts"

products=$(installed_products)
[ "$(wc -l <<<"$products")" -eq 1 ] || fail "installed programs list Quarnel $(wc -l <<<"$products") times"
entry=$(product_entry "$products")
[ "$(value_of DisplayName "$entry")" = "Quarnel" ] || fail "installed programs show another name"
[ "$(value_of DisplayVersion "$entry")" = "$version" ] || fail "installed programs show another version"
[ "$(value_of Publisher "$entry")" = "The Quarnel developers" ] || fail "installed programs show no publisher"
grep -q "quarnel.ico" <(win reg query 'HKLM\Software\Classes\Installer\Products' /s) ||
  fail "installed programs show no icon"

cli="C:\\Program Files\\Quarnel\\quarnel-cli.exe"
[ "$(win "$cli" --version)" = "quarnel-cli $version" ] || fail "the installed quarnel-cli.exe --version"
path_entries "$(system_path)" | grep -qx 'C:\\Program Files\\Quarnel\\' || fail "Quarnel is not on the system PATH"
# A new command prompt finds it through the PATH of the registry; from a
# folder of its own, so it is not found in the current one.
[ "$(cd "$work" && win cmd /c quarnel-cli --version)" = "quarnel-cli $version" ] ||
  fail "cmd does not find quarnel-cli through the PATH"

# A whole programming run of the installed program, found through the PATH.
image="$work/firmware.cry"
head -c 240 /dev/urandom >"$image"  # 10 blocks: the target keeps exactly the image
status=0
(cd "$work" && "$with_simulated_port" "$target_sim" COM8 "$work/sim" --erase-ms 5 \
  -- wine cmd /c quarnel-cli --port COM8 "$image" >"$work/cli.out" 2>"$work/cli.err" </dev/null) ||
  status=$?
[ "$status" -eq 0 ] || { tail -n 20 "$work/cli.err" >&2; fail "the installed quarnel-cli exited with $status"; }
cmp -s "$image" "$work/sim/received.bin" || fail "the target did not receive the image byte for byte"

# --- Upgraded in place by the next version -------------------------------------------------------
IFS=. read -r major minor patch <<<"$version"
next="$major.$minor.$((patch + 1))"
next_msi="$work/quarnel-$next-x64.msi"
packaging/windows/make-msi.sh "$build/packaging/windows/quarnel.wxs" "$next_msi" -D "Version=$next" \
  >"$work/next.log" 2>&1 || { cat "$work/next.log" >&2; fail "the package of $next could not be built"; }
next_code=$(msiinfo export "$next_msi" Property | tr -d '\r' | sed -n 's/^UpgradeCode\t//p')
[ "$next_code" = "$upgrade_code" ] || fail "the upgrade code changed with the version"
msi_install "$next_msi" || fail "the upgrade to $next failed: $(cat "$work/msiexec.out")"
products=$(installed_products)
[ "$(wc -l <<<"$products")" -eq 1 ] || fail "after the upgrade, installed programs list Quarnel $(wc -l <<<"$products") times"
[ "$(value_of DisplayVersion "$(product_entry "$products")")" = "$next" ] ||
  fail "the upgrade did not replace $version by $next"
[ -f "$install_dir/quarnel-cli.exe" ] || fail "the upgrade lost quarnel-cli.exe"
[ "$(path_entries "$(system_path)" | grep -cx 'C:\\Program Files\\Quarnel\\')" -eq 1 ] ||
  fail "after the upgrade, Quarnel is not on the PATH once"
# The older package refuses to replace the newer one.
if msi_install "$msi"; then fail "$version was installed over $next"; fi
[ "$(installed_products)" = "$products" ] || fail "the refused downgrade changed what is installed"

# --- Removed: every file, the shortcut, the PATH entry -------------------------------------------
msi_remove "$products" || fail "msiexec /x failed: $(cat "$work/msiexec.out")"
[ -z "$(installed_products)" ] || fail "Quarnel is still under installed programs"
[ ! -e "$install_dir" ] || fail "Program Files\\Quarnel is left: $(ls "$install_dir")"
while IFS=$'\t' read -r name program; do
  [ -z "$(start_menu_entry "$name")" ] || fail "the Start-menu entry $name is left"
done <<<"$shortcuts"
path_after=$(system_path)
[ "$(path_entries "$path_after")" = "$(path_entries "$path_before")" ] ||
  fail "the system PATH is not as before: $path_after"

# --- Elsewhere and without the PATH entry; the upgrade follows -----------------------------------
# ADDLOCAL names the features to install; INSTALLDIR the folder.
other_dir="$WINEPREFIX/drive_c/Quarnel Tools"
msi_install "$msi" ADDLOCAL=Programs "INSTALLDIR=C:\Quarnel Tools" ||
  fail "msiexec /i ADDLOCAL=Programs INSTALLDIR=... failed: $(cat "$work/msiexec.out")"
[ -f "$other_dir/quarnel-cli.exe" ] || fail "INSTALLDIR did not choose the folder"
[ "$(path_entries "$(system_path)")" = "$(path_entries "$path_before")" ] ||
  fail "ADDLOCAL=Programs changed the system PATH"
msi_install "$next_msi" || fail "the upgrade to $next failed: $(cat "$work/msiexec.out")"
{ [ -f "$other_dir/quarnel-cli.exe" ] && [ ! -e "$install_dir" ]; } ||
  fail "the upgrade did not stay in the folder of the installed version"
msi_remove "$(installed_products)" || fail "msiexec /x failed: $(cat "$work/msiexec.out")"
[ ! -e "$other_dir" ] || fail "C:\\Quarnel Tools is left"
[ -z "$(installed_products)" ] || fail "Quarnel is still under installed programs"
path_after=$(system_path)
[ "$(path_entries "$path_after")" = "$(path_entries "$path_before")" ] ||
  fail "the system PATH is not as before: $path_after"

# The prefix keeps its PATH, without the separators Wine leaves.
[ "$path_after" = "$path_before" ] || set_system_path "$path_before"

echo "Windows installer: $msi" \
  "($(awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f s", b - a }') of checks)"
