#!/usr/bin/env bash
# Where the Linux program's output goes, against the real file system and devices, in a
# private mount namespace whose /dev is a tmpfs with device nodes of its own (the machine's
# /dev is never touched): -outfile: writes a device, a FIFO or a link to one in place and
# leaves it what it was; it replaces a regular file by a complete new one that keeps the
# old one's mode and owner, through links planted at guessable names and without leaving
# anything when it is killed while it writes; -timeout: bounds a write that hangs; standard
# output that cannot be written gives the form's Unknown status and a line on standard error.
# No scheduler is needed: the bus named does not exist, so every check is the same Bad line.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/e2e/lib/common.sh
require_built build/linux/runwarden
require_tool strace
require_tool promtool

if [[ ${RUNWARDEN_OUTPUT_NAMESPACE:-} != 1 ]]; then
  if [[ $(id -u) -ne 0 ]] || ! command -v unshare >/dev/null; then
    [[ ${CI:-} == true ]] && { echo "FAIL: ${0##*/} needs root and unshare" >&2; exit 1; }
    echo "SKIP ${0##*/}: needs root and unshare"
    exit 0
  fi
  RUNWARDEN_OUTPUT_NAMESPACE=1 exec unshare --mount --propagation private bash "$0" "$@"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mount -t tmpfs -o mode=755 tmpfs /dev
mknod -m 666 /dev/null c 1 3
mknod -m 666 /dev/full c 1 7
mknod -m 666 /dev/zero c 1 5
ln -s /proc/self/fd /dev/fd
ln -s /proc/self/fd/1 /dev/stdout
mkfifo -m 600 /dev/fifo

program=$PWD/build/linux/runwarden
export LC_ALL=C DBUS_SYSTEM_BUS_ADDRESS=unix:path=$work/no-bus
check=(-task:x -timeframe:10)
line='ScriptRes:Bad:Error in CoCreateInstance. Error Code: 80041315'
out=$work/out

# run NAME STATUS ARGS...: the check with those arguments; its output in $out, its error
# output in $out.err.
run() {
  local name=$1 status=$2
  shift 2
  timeout 60 "$program" "${check[@]}" "$@" >"$out" 2>"$out.err" </dev/null
  expect_status "$name" "$status" $?
}

# now_us: microseconds on the shell's own clock, without starting a process.
now_us() { echo "${EPOCHREALTIME/./}"; }
# elapsed_ms START: milliseconds since START (now_us).
elapsed_ms() { echo $((($(now_us) - $1) / 1000)); }

# within NAME MS ELAPSED
within() { expect_status "$1: within $2 ms ($3 ms)" yes "$( (($3 < $2)) && echo yes)"; }

# ---- what is no regular file is written in place and stays what it is ----
run "/dev/full" 2 -outfile:/dev/full
expect_bytes "/dev/full: the reason on standard output" \
  "ScriptRes:Unknown:Cannot write output file \"/dev/full\": No space left on device\n" "$out"
run "/dev/full, the exposition" 2 -outfile:/dev/full -format:prometheus
expect_valid_exposition "/dev/full, the exposition" "$out"
expect_line "/dev/full: why, in a comment" \
  '# unknown: Cannot write output file "/dev/full": No space left on device' "$out"
run "/dev/null" 1 -outfile:/dev/null
expect_bytes "/dev/null swallows it" "" "$out"
timeout 60 "$program" "${check[@]}" -outfile:/dev/stdout </dev/null | cat >"$out"
expect_status "/dev/stdout, a pipe" 1 "${PIPESTATUS[0]}"
expect_bytes "/dev/stdout prints it" "$line\n" "$out"
cat /dev/fifo >"$work/fifo.out" &
reader=$!
run "a FIFO" 1 -outfile:/dev/fifo
wait "$reader"
expect_bytes "a FIFO: its reader gets it" "$line\n" "$work/fifo.out"
expect_bytes "devices, link and FIFO stay what they were, nothing beside them" \
  "fd symbolic link\nfifo fifo\nfull character special file\nnull character special file\nstdout symbolic link\nzero character special file\n" \
  <(cd /dev && stat -c '%n %F' * | sort)

# ---- a regular file: replaced, keeping its mode and owner; a new one 0644 less umask ----
folder=$work/collector
mkdir "$folder"
echo old >"$folder/kept.prom"
chmod 640 "$folder/kept.prom"
chown 65534:65534 "$folder/kept.prom"
umask 077
run "replaced under umask 077" 1 "-outfile:$folder/kept.prom"
expect_bytes "replaced: the new content" "$line\n" "$folder/kept.prom"
expect_bytes "replaced: mode, owner and group kept" "640 65534 65534\n" \
  <(stat -c '%a %u %g' "$folder/kept.prom")
for mask in 000 027; do
  umask "$mask"
  run "a new file under umask $mask" 1 "-outfile:$folder/new-$mask.prom"
done
umask 022
expect_bytes "new files: 0644 less the umask" "644\n640\n" \
  <(stat -c '%a' "$folder/new-000.prom" "$folder/new-027.prom")
rm "$folder"/new-*.prom

# ---- links planted at the names of a predictable scheme change nothing ----
bash -c 'for n in $(seq 0 9); do ln -s /nonexistent "$1/.runwarden-$$-$n.tmp"; done
  exec "$2" -task:x -timeframe:10 "-outfile:$1/kept.prom"' _ "$folder" "$program" >"$out" 2>&1
expect_status "links planted at guessable names" 1 $?
expect_bytes "planted links: nothing on standard output" "" "$out"
rm -f "$folder"/.runwarden-*.tmp

# ---- killed while it writes: the old file, nothing else ----
echo old >"$folder/kept.prom"
strace -f -o /dev/null -e inject=fsync:delay_enter=4000000 \
  "$program" "${check[@]}" "-outfile:$folder/kept.prom" >/dev/null 2>&1 &
tracer=$!
sleep 1
kill -9 "$(pgrep -P "$tracer")"
wait "$tracer" 2>/dev/null
expect_bytes "killed while writing: the old file kept" "old\n" "$folder/kept.prom"
expect_bytes "killed while writing: nothing left in the folder" "kept.prom\n" <(ls -A "$folder")

# ---- -timeout: bounds the writing: Unknown within the time and a second ----
start=$(now_us)
run "a FIFO nobody reads, -timeout:1" 2 -outfile:/dev/fifo -timeout:1
within "a FIFO nobody reads" 2000 "$(elapsed_ms "$start")"
expect_bytes "a FIFO nobody reads: nothing written" "" "$out"

# A pipe already full, whose reader never reads: the plugins' form's Unknown.
{
  head -c 65536 /dev/zero
  start=$(now_us)
  timeout 60 "$program" "${check[@]}" -format:nagios -timeout:1 2>/dev/null
  echo "$? $(elapsed_ms "$start")" >"$work/pipe.status"
} | sleep 4
read -r status elapsed <"$work/pipe.status"
expect_status "standard output nobody reads, -timeout:1" 3 "$status"
within "standard output nobody reads" 2000 "$elapsed"

# A hanging fsync: the process gives the output up (exit_group) within the time and a
# second, as strace's clock shows; strace itself lets go only when the delay is over.
strace -f -ttt -o "$work/trace" -e trace=execve,exit_group,fsync -e inject=fsync:delay_enter=4000000 \
  "$program" "${check[@]}" -timeout:1 "-outfile:$folder/kept.prom" >"$out" 2>/dev/null
expect_status "a hanging fsync, -timeout:1" 2 $?
given_up=$(awk '/execve\(/ && !s { s = $2 } /exit_group\(/ && !e { e = $2 } END { printf "%d", (e - s) * 1000 }' "$work/trace")
within "a hanging fsync" 2000 "$given_up"
expect_bytes "a hanging fsync: the old file kept" "old\n" "$folder/kept.prom"
expect_bytes "a hanging fsync: nothing left in the folder" "kept.prom\n" <(ls -A "$folder")

# ---- standard output that cannot be written ----
timeout 60 "$program" "${check[@]}" >/dev/full 2>"$out.err"
expect_status "standard output on a full disk" 2 $?
expect_bytes "a full disk: one line on standard error" \
  "Cannot write standard output: No space left on device\n" "$out.err"
timeout 60 "$program" "${check[@]}" -format:nagios >&- 2>"$out.err"
expect_status "standard output closed, the plugins' form" 3 $?
expect_bytes "closed: one line on standard error" \
  "Cannot write standard output: Bad file descriptor\n" "$out.err"

finish
