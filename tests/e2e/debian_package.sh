#!/usr/bin/env bash
# The Debian package of the Linux build: made by scripts/debian-package, it holds the
# program, its manual page, its documentation and its license, names its library
# dependencies and the build's version, and the program it installs runs. As root, and when
# no runwarden package is installed yet, it is really installed with dpkg -i and purged
# again afterwards.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
require_built build/linux/runwarden
require_tool dpkg-deb
require_tool dpkg-shlibdeps

work=$(mktemp -d /tmp/runwarden-deb.XXXXXX)
installed_by_test=false
cleanup() {
  if $installed_by_test; then dpkg -P runwarden >/dev/null 2>&1; fi
  rm -rf "$work"
}
trap cleanup EXIT

scripts/debian-package build/linux "$work/out" >"$work/package.log" 2>&1
expect_status "scripts/debian-package" 0 $?
deb=$(ls "$work"/out/runwarden_*.deb 2>/dev/null | head -n 1)
if [[ -z $deb ]]; then
  cat "$work/package.log"
  expect_status "package made" yes no
  finish
fi

dpkg-deb -c "$deb" | awk '{print $6}' | grep -E '^\./usr/(bin|share/man)/.*[^/]$' | sort >"$work/files"
expect_bytes "program and manual page in the package" \
  "./usr/bin/runwarden\n./usr/share/man/man1/runwarden.1.gz\n" "$work/files"
# The README with every page of docs/ beside it, so that its links hold, and the examples.
dpkg-deb -c "$deb" | awk '{print $6}' | grep -E '^\./usr/share/doc/.*[^/]$' | sort >"$work/docs"
for file in README.md CHANGELOG.md changelog.gz copyright docs/*.md \
  examples/runwarden-icinga2.conf examples/runwarden-nagios.cfg \
  examples/runwarden-rules.yml examples/runwarden-rules.test.yml \
  examples/runwarden-textfile@.service examples/runwarden-textfile@.timer \
  examples/runwarden-textfile.xml examples/runwarden-zabbix.conf \
  examples/runwarden-zabbix-discovery.js; do
  echo "./usr/share/doc/runwarden/$file"
done | sort >"$work/docs.expected"
expect_file "documentation in the package" "$work/docs.expected" "$work/docs"
dpkg-deb -f "$deb" Package Version Depends >"$work/control"
grep -q '^Package: runwarden$' "$work/control"
expect_status "package name" 0 $?
grep -qx "Version: $(project_version build/linux)" "$work/control"
expect_status "the build's version" 0 $?
grep -q 'libsystemd0' "$work/control"
expect_status "depends on libsystemd0" 0 $?

# The help request ends with the result line for a missing time frame, exit status 2.
expect_help_run() {
  local name=$1 program=$2
  "$program" '/?' >"$work/help" 2>"$work/help.err"
  expect_status "$name: exit status" 2 $?
  tail -n 1 "$work/help" >"$work/last"
  expect_bytes "$name: result line" "ScriptRes:Unknown:TimeFrame is required\n" "$work/last"
  expect_bytes "$name: no error output" "" "$work/help.err"
}

dpkg-deb -x "$deb" "$work/root"
expect_help_run "unpacked program" "$work/root/usr/bin/runwarden"
# The license's terms in Debian's machine-readable form, word for word those of LICENSE.
doc=$work/root/usr/share/doc/runwarden
sed -n '1p;/^License: /p' "$doc/copyright" >"$work/copyright.head"
format=https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
expect_bytes "copyright form" "Format: $format\nLicense: Expat\nLicense: Expat\n" \
  "$work/copyright.head"
diff <(sed -n '/^Permission/,$p' LICENSE | tr -s '\n' | tr -d ' ') \
  <(sed -n '/^ Permission/,$p' "$doc/copyright" | grep -vx ' \.' | tr -d ' ') >/dev/null
expect_status "the license's text" 0 $?
MANWIDTH=80 man -l "$work/root/usr/share/man/man1/runwarden.1.gz" 2>/dev/null |
  grep -q 'runwarden - check that a scheduled task last ran in time and succeeded'
expect_status "manual page renders" 0 $?

if [[ $(id -u) -eq 0 ]] && ! dpkg-query -W runwarden >/dev/null 2>&1; then
  dpkg -i "$deb" >"$work/dpkg.log" 2>&1
  status=$?
  expect_status "dpkg -i" 0 $status
  [[ $status -eq 0 ]] && installed_by_test=true
  [[ $status -eq 0 ]] || cat "$work/dpkg.log"
  expect_help_run "installed program" /usr/bin/runwarden
else
  echo "(not installed with dpkg -i: not root, or a runwarden package is installed already)"
fi
finish
