#!/usr/bin/env bash
# scripts/windows-installer: the same bytes twice, stamped with the commit's time; then,
# under Wine's msiexec in a fresh prefix, the package installs the program and documents
# into "Program Files\runwarden" and the folder on PATH, a higher version replaces it, a
# lower one is refused (1603), and removal leaves no file, folder or PATH entry.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/wine.sh
require_built build/windows/runwarden.exe
for tool in wixl wixl-heat msibuild msiinfo faketime uuidgen man; do
  require_tool "$tool"
done
version=$(project_version build/windows)
higher=9.1.0 lower=0.9.0
unset SOURCE_DATE_EPOCH  # the script's own: the time of the commit checked out

work=$(mktemp -d /tmp/runwarden-installer-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
# A build of another version: that version configured, and the program with the version
# appended (data after the image, which the loader ignores) so that the installed bytes
# tell the versions apart.
for other in "$higher" "$lower"; do
  mkdir "$work/build-$other"
  echo "CMAKE_PROJECT_VERSION:STATIC=$other" >"$work/build-$other/CMakeCache.txt"
  { cat build/windows/runwarden.exe; printf 'runwarden %s' "$other"; } \
    >"$work/build-$other/runwarden.exe"
done
# msi NAME VERSION: the package that scripts/windows-installer wrote to $work/NAME.
msi() { echo "$work/$1/runwarden-$2-x64.msi"; }
for run in "first build/windows $version" "second build/windows $version" \
  "$higher $work/build-$higher $higher" "$lower $work/build-$lower $lower"; do
  read -r name build package_version <<<"$run"
  scripts/windows-installer "$build" "$work/$name" >"$work/$name.out"
  expect_status "scripts/windows-installer ($name)" 0 $?
  expect_bytes "scripts/windows-installer ($name) prints the package" \
    "$(msi "$name" "$package_version")\n" "$work/$name.out"
done
expect_file "the same bytes twice" "$(msi first "$version")" "$(msi second "$version")"
commit_time=$(date -u -d "@$(git log -1 --format=%ct)" '+%a %b %e %H:%M:%S %Y')
TZ=UTC msiinfo suminfo "$(msi first "$version")" |
  grep -E '^(Template|Created|Last saved):' >"$work/suminfo"
expect_bytes "summary: x64, the commit's time" \
  "Template: x64;1033\nCreated: $commit_time\nLast saved: $commit_time\n" "$work/suminfo"

wine_start  # sets its own trap
trap 'rm -rf "$work"; wine_stop' EXIT
installed="$WINEPREFIX/drive_c/Program Files/runwarden"
# run_msiexec ARGS...: prints msiexec's whole exit code, as cmd gives it (Wine hands only
# its low 8 bits to Linux; Wine's cmd expands %ERRORLEVEL% when the command after & runs).
run_msiexec() {
  wine_run "$work/msiexec.out" cmd /c "msiexec $* & echo %ERRORLEVEL%"
  tr -d '\r' <"$work/msiexec.out"
}
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# From the registry as the server saved it: the versions of runwarden in the list of
# installed programs, and the elements of the system PATH, one a line. Empty elements are
# left out: Wine's msiexec takes an appended element off PATH but leaves its separator.
installed_versions() {
  awk -F'"' 'function flush() { if (name == "runwarden") print version; name = version = "" }
    /^\[/ { flush(); listed = index($0, "\\\\CurrentVersion\\\\Uninstall\\\\{") > 0 }
    listed && $2 == "DisplayName" { name = $4 }
    listed && $2 == "DisplayVersion" { version = $4 }
    END { flush() }' "$WINEPREFIX/system.reg"
}
path_entries() {
  awk -F'"' '/^\[/ { environment = index($0, "\\\\Session Manager\\\\Environment]") > 0 }
    environment && $2 == "PATH" { n = split($4, entries, ";")
      for (i = 1; i <= n; i++) if (entries[i] != "") print entries[i] }' "$WINEPREFIX/system.reg"
}
path_entries >"$work/path.before"

run_msiexec /i "$(windows_path "$(msi first "$version")")" /qn >"$work/code"
expect_bytes "install $version" "0\n" "$work/code"
(cd "$installed" && find . -type f | sed 's|^\./||' | sort) >"$work/files"
windows_download_files | sort >"$work/files.expected"
expect_file "installed files" "$work/files.expected" "$work/files"
for file in runwarden.exe README.md LICENSE CHANGELOG.md docs/*.md docs/monitoring/*; do
  source_file=$file
  [[ $file == runwarden.exe ]] && source_file=build/windows/runwarden.exe
  cmp -s "$source_file" "$installed/$file" || echo "$file"
done >"$work/differing"
expect_bytes "installed files' bytes" "" "$work/differing"
wine_restart
installed_versions >"$work/versions"
expect_bytes "installed products" "$version\n" "$work/versions"
{ cat "$work/path.before"; echo 'C:\\Program Files\\runwarden\\'; } >"$work/path.expected"
path_entries >"$work/path"
expect_file "PATH with the program folder last" "$work/path.expected" "$work/path"
wine_run "$work/version.out" cmd /c runwarden -version
expect_status "runwarden -version from PATH" 0 $?
expect_bytes "runwarden -version from PATH" "runwarden $version\r\n" "$work/version.out"

run_msiexec /i "$(windows_path "$(msi "$higher" "$higher")")" /qn >"$work/code"
expect_bytes "upgrade to $higher" "0\n" "$work/code"
expect_file "upgrade: the program of $higher" "$work/build-$higher/runwarden.exe" \
  "$installed/runwarden.exe"
wine_restart
installed_versions >"$work/versions"
expect_bytes "upgrade: one product, $higher" "$higher\n" "$work/versions"
path_entries >"$work/path"
expect_file "upgrade: the program folder once on PATH" "$work/path.expected" "$work/path"

run_msiexec /i "$(windows_path "$(msi "$lower" "$lower")")" /qn >"$work/code"
expect_bytes "downgrade to $lower refused" "1603\n" "$work/code"
expect_file "downgrade: the program of $higher kept" "$work/build-$higher/runwarden.exe" \
  "$installed/runwarden.exe"

run_msiexec /x "$(windows_path "$(msi "$higher" "$higher")")" /qn >"$work/code"
expect_bytes "removal" "0\n" "$work/code"
[[ ! -e $installed ]]
expect_status "removal: no program folder" 0 $?
wine_restart
installed_versions >"$work/versions"
expect_bytes "removal: no product" "" "$work/versions"
path_entries >"$work/path"
expect_file "removal: PATH as before" "$work/path.before" "$work/path"
wine_run "$work/version.out" cmd /c runwarden -version
grep -q '^runwarden ' "$work/version.out"
expect_status "removal: runwarden no longer runs from PATH" 1 $?
finish
