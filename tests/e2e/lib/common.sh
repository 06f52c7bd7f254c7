# Helpers shared by the end-to-end scripts: exact comparisons and a failure count.
# Source it, call the expect_* functions, and end the script with `finish`.

failures=0
checks=0

# A tool that an end-to-end test needs. Missing in CI: a failure; elsewhere: the script
# stops with a note, so a developer without it can still run the rest.
require_tool() {
  local tool=$1
  command -v "$tool" >/dev/null 2>&1 || [[ -x $tool ]] && return 0
  if [[ ${CI:-} == true ]]; then
    echo "FAIL: $tool is required for ${0##*/} in CI" >&2
    exit 1
  fi
  echo "SKIP ${0##*/}: $tool is not installed"
  exit 0
}

# Programs the preceding build must have made: missing is always a failure, never a skip.
require_built() {
  local program
  for program; do
    [[ -f $program ]] && continue
    echo "FAIL: $program is not built (build its preset first)" >&2
    exit 1
  done
}

# project_version BUILD_DIR: the version the build was configured with (CMakeLists.txt).
project_version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}

# windows_download_files: the files of the Windows downloads (the zip and the MSI), one a
# line, as paths inside their folder.
windows_download_files() {
  printf '%s\n' CHANGELOG.md LICENSE README.md runwarden.exe
  (cd docs && ls *.md monitoring/*) | sed 's|^|docs/|'
  echo docs/runwarden.txt
}

# expect_status NAME EXPECTED ACTUAL
expect_status() {
  checks=$((checks + 1))
  if [[ $2 != "$3" ]]; then
    echo "FAIL $1: exit status $3, expected $2"
    failures=$((failures + 1))
  fi
}

# expect_file NAME EXPECTED_FILE ACTUAL_FILE: byte for byte.
expect_file() {
  checks=$((checks + 1))
  if ! cmp -s "$2" "$3"; then
    echo "FAIL $1: output differs (expected, then actual):"
    od -c "$2" | tail -n 6
    od -c "$3" | tail -n 6
    failures=$((failures + 1))
  fi
}

# expect_bytes NAME EXPECTED_TEXT ACTUAL_FILE: the file holds exactly the text (printf
# escapes allowed, e.g. \r\n).
expect_bytes() {
  local expected
  expected=$(mktemp)
  printf '%b' "$2" >"$expected"
  expect_file "$1" "$expected" "$3"
  rm -f "$expected"
}

# expect_run NAME EXPECTED_STATUS EXPECTED_LINE COMMAND...: runs the command in the C
# locale, for at most 60 s and with standard input closed, and expects that exit status,
# exactly that line on standard output and nothing on standard error.
expect_run() {
  local name=$1 status=$2 line=$3 out
  shift 3
  out=$(mktemp)
  LC_ALL=C timeout 60 "$@" >"$out" 2>"$out.err" </dev/null
  expect_status "$name" "$status" $?
  expect_bytes "$name" "$line\n" "$out"
  expect_bytes "$name (no error output)" "" "$out.err"
  rm -f "$out" "$out.err"
}

# expect_line NAME LINE FILE: FILE holds LINE as one whole line.
expect_line() {
  checks=$((checks + 1))
  if ! grep -qxF -- "$2" "$3"; then
    echo "FAIL $1: no line [$2] in:"
    cat "$3"
    failures=$((failures + 1))
  fi
}

# expect_valid_exposition NAME FILE: `promtool check metrics` accepts the Prometheus
# exposition, which is UTF-8 with LF line ends alone.
expect_valid_exposition() {
  local lint
  lint=$(promtool check metrics <"$2" 2>&1)
  local valid=$?
  checks=$((checks + 1))
  if ((valid)) || grep -q $'\r$' "$2" || ! iconv -f UTF-8 -t UTF-8 "$2" >/dev/null 2>&1; then
    echo "FAIL $1: not a valid exposition: $lint"
    cat "$2"
    failures=$((failures + 1))
  fi
}

# wait_until COMMAND: at most 60 s until COMMAND succeeds.
wait_until() {
  local _
  for _ in $(seq 600); do
    "$1" && return 0
    sleep 0.1
  done
  echo "FAIL: timed out waiting for $1"
  failures=$((failures + 1))
  return 1
}

# A TCP port on which nothing listens or is connected (the kernel's table of sockets).
free_port() {
  local port hex
  for _ in $(seq 50); do
    port=$((20000 + RANDOM % 40000))
    hex=$(printf ':%04X ' "$port")
    grep -q "$hex" /proc/net/tcp /proc/net/tcp6 2>/dev/null || { echo "$port"; return 0; }
  done
  return 1
}

# expect_next NAME EXPECTED FILE: the next run in the performance data of FILE (the
# plugins' form) is EXPECTED seconds from now, give or take 5; "none": there is none.
expect_next() {
  local seen
  seen=$(sed -nE 's/.* next=(-?[0-9]+)s.*/\1/p' "$3")
  checks=$((checks + 1))
  if [[ $2 == none && -n $seen ]] ||
    [[ $2 != none && (-z $seen || $seen -lt $(($2 - 5)) || $seen -gt $(($2 + 5))) ]]; then
    echo "FAIL $1: next [$seen], expected $2 in: $(cat "$3")"
    failures=$((failures + 1))
  fi
}

finish() {
  if ((failures)); then
    echo "${0##*/}: $failures of $checks checks failed"
    exit 1
  fi
  echo "${0##*/}: all $checks checks passed"
}
