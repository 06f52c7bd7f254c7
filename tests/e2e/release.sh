#!/usr/bin/env bash
# scripts/release, run twice on the commit checked out: the same bytes both times; the
# files it names; a package lintian finds no error in; a zip whose runwarden.exe prints its
# version under Wine and carries it in its version resource and manifest; an MSI of the
# zip's files (tests/e2e/windows_installer.sh installs one under Wine).
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
source tests/e2e/lib/wine.sh
require_built build/linux/runwarden
for tool in zip unzip lintian dpkg-shlibdeps man x86_64-w64-mingw32-windres \
  x86_64-w64-mingw32-objdump wixl wixl-heat msibuild msiextract faketime uuidgen; do
  require_tool "$tool"
done
version=$(project_version build/linux)
name=runwarden-$version

work=$(mktemp -d /tmp/runwarden-release-test.XXXXXX)
trap 'rm -rf "$work"' EXIT
for run in first second; do
  scripts/release "$work/$run" >"$work/$run.log" 2>&1
  expect_status "scripts/release ($run run)" 0 $?
done
expect_file "the same bytes twice (SHA256SUMS)" "$work/first/SHA256SUMS" "$work/second/SHA256SUMS"
dist=$work/first
(cd "$dist" && sha256sum --quiet -c SHA256SUMS)
expect_status "SHA256SUMS holds the files' checksums" 0 $?
awk '{ print $2 }' "$dist/SHA256SUMS" >"$work/names"
expect_bytes "file names" \
  "$name-windows-x64.zip\n$name-x64.msi\nrunwarden_${version}_amd64.deb\n$name.tar.gz\n" \
  "$work/names"

# The sources: the commit's files, no more, no fewer.
tar -tzf "$dist/$name.tar.gz" | grep -v '/$' | sort >"$work/sources"
git ls-tree -r --name-only HEAD | sed "s|^|$name/|" | sort >"$work/sources.expected"
expect_file "sources of the commit" "$work/sources.expected" "$work/sources"

# lintian: errors fail the test, warnings are shown.
lintian "$dist/runwarden_${version}_amd64.deb" >"$work/lintian" 2>&1
grep -v '^running with root privileges' "$work/lintian"
grep '^E:' "$work/lintian" >"$work/lintian.errors"
expect_bytes "lintian errors" "" "$work/lintian.errors"

unzip -Z1 "$dist/$name-windows-x64.zip" >"$work/zip"
windows_download_files | sed "s|^|$name/|" | sort >"$work/zip.expected"
expect_file "files of the zip" "$work/zip.expected" "$work/zip"
# The MSI installs the same files into the folder runwarden.
msiextract -l "$dist/$name-x64.msi" | sort >"$work/msi"
windows_download_files | sed 's|^|runwarden/|' | sort >"$work/msi.expected"
expect_file "files of the MSI" "$work/msi.expected" "$work/msi"
unzip -q "$dist/$name-windows-x64.zip" -d "$work/zip-tree"
exe=$work/zip-tree/$name/runwarden.exe
grep -q '^ *-version' "$work/zip-tree/$name/docs/runwarden.txt"
expect_status "manual page as text" 0 $?

# The version resource and the manifest, read back from the executable; no link time.
x86_64-w64-mingw32-windres -i "$exe" -O rc >"$work/resources.rc" 2>&1
for value in "FileVersion\", \"$version\"" "ProductVersion\", \"$version\"" \
  'ProductName", "runwarden"' 'OriginalFilename", "runwarden.exe"' \
  'FileDescription", "runwarden ' 'LegalCopyright", "Copyright (c) ' \
  "FILEVERSION ${version//./, }, 0" 'level=""asInvoker""' 'supportedOS Id=""{8e0f7a12-'; do
  grep -qF "$value" "$work/resources.rc"
  expect_status "resource: $value" 0 $?
done
grep -q activeCodePage "$work/resources.rc"
expect_status "manifest leaves the code page alone" 1 $?
x86_64-w64-mingw32-objdump -p "$exe" | grep -E '^Time/Date|Time: ' >"$work/times"
grep -v -E '^Time/Date[[:space:]]+Thu Jan  1 00:00:00 1970$|Time: 00000000,' "$work/times" \
  >"$work/times.set"
expect_bytes "no time in the header or the resources" "" "$work/times.set"

wine_start  # sets its own trap
trap 'rm -rf "$work"; wine_stop' EXIT
wine_run "$work/version.out" "$exe" -version
expect_status "runwarden.exe -version under Wine" 0 $?
expect_bytes "runwarden.exe -version under Wine" "runwarden $version\r\n" "$work/version.out"
finish
