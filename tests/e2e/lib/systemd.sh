# A private systemd manager for end-to-end tests, sourced by a test script:
#
#   source tests/e2e/lib/systemd.sh
#   testbed_enter "$@"        # runs the script again inside a private mount namespace
#   testbed_unit NAME <<EOF   # writes a unit file
#   testbed_start             # starts the manager; stopped again when the script ends
#
# The manager is a user manager (systemd --user) whose bus stands in for the system bus:
# DBUS_SYSTEM_BUS_ADDRESS points at it, and `tb_systemctl` talks to it. Everything it
# makes lives in a temporary directory and in the namespace's own /run, so nothing is left
# on the machine: the exit trap ends the manager and every process still in the namespace,
# the namespace's mounts go with its last process, and the script fails if a process of
# the namespace outlives it.
#
# Where the test bed cannot be had (not root, no systemd), the script is skipped; with
# CI=true that is a failure instead.

testbed_unavailable() {
  if [[ ${CI:-} == true ]]; then
    echo "FAIL: systemd test bed unavailable: $*" >&2
    exit 1
  fi
  echo "SKIP: systemd test bed unavailable: $*"
  exit 0
}

# The processes whose mount namespace is the given one (e.g. mnt:[4026532301]).
testbed_processes_in() {
  local process
  for process in /proc/[0-9]*; do
    [[ $(readlink "$process/ns/mnt" 2>/dev/null) == "$1" ]] && echo "${process#/proc/}"
  done
}

# The command lines of this namespace's processes that match an extended regular
# expression (other processes of the machine are not looked at).
testbed_running() {
  local process
  for process in $(testbed_processes_in "$(readlink /proc/self/ns/mnt)"); do
    { tr '\0' ' ' <"/proc/$process/cmdline"; } 2>/dev/null | grep -E -- "$1"
  done
}

# Runs the calling script again inside a new mount namespace and exits with its status,
# failing when a process of that namespace is left; inside, lays out the test bed's
# directories.
testbed_enter() {
  if [[ ${RUNWARDEN_TESTBED_INSIDE:-} != 1 ]]; then
    [[ $(id -u) -eq 0 ]] || testbed_unavailable "needs root"
    [[ -x /usr/lib/systemd/systemd ]] || testbed_unavailable "no /usr/lib/systemd/systemd"
    command -v unshare >/dev/null || testbed_unavailable "no unshare"
    local namespace_file status namespace left
    namespace_file=$(mktemp /tmp/runwarden-testbed-ns.XXXXXX)
    RUNWARDEN_TESTBED_INSIDE=1 RUNWARDEN_TESTBED_NAMESPACE_FILE=$namespace_file \
      unshare --mount --propagation private bash "$0" "$@"
    status=$?
    namespace=$(cat "$namespace_file")
    rm -f "$namespace_file"
    left=$([[ -n $namespace ]] && testbed_processes_in "$namespace")
    if [[ -n $left ]]; then
      echo "FAIL: processes left behind by the test bed:" $left >&2
      exit 1
    fi
    exit "$status"
  fi
  readlink /proc/self/ns/mnt >"$RUNWARDEN_TESTBED_NAMESPACE_FILE"
  TESTBED_DIR=$(mktemp -d /tmp/runwarden-testbed.XXXXXX)
  chmod 700 "$TESTBED_DIR"
  export HOME=$TESTBED_DIR/home XDG_CONFIG_HOME=$TESTBED_DIR/config
  export XDG_RUNTIME_DIR=$TESTBED_DIR/runtime
  export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/bus
  unset DBUS_SESSION_BUS_ADDRESS
  mkdir -p "$HOME" "$XDG_CONFIG_HOME/systemd/user" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"
  TESTBED_MANAGER_PID=
  trap testbed_stop EXIT
}

tb_systemctl() { systemctl --user --no-pager "$@"; }

testbed_unit() { cat >"$XDG_CONFIG_HOME/systemd/user/$1"; }

# testbed_oneshot NAME EXECSTART: a one-shot service.
testbed_oneshot() { printf '[Service]\nType=oneshot\nExecStart=%s\n' "$2" | testbed_unit "$1"; }

# A timer that does not fire before 2099: it keeps its service, and with it the service's
# last run, loaded.
testbed_idle_timer() { printf '[Timer]\nOnCalendar=2099-01-01\n' | testbed_unit "$1"; }

# A property of a unit, as the manager gives it (e.g. ExecMainStartTimestamp in
# microseconds since the epoch).
testbed_property() {
  busctl --user get-property org.freedesktop.systemd1 \
    "$(busctl --user call org.freedesktop.systemd1 /org/freedesktop/systemd1 \
      org.freedesktop.systemd1.Manager LoadUnit s "$1" | cut -d'"' -f2)" \
    "org.freedesktop.systemd1.$2" "$3" | cut -d' ' -f2- | tr -d '"'
}

# A service's last start: ExecMainStartTimestamp, microseconds since the epoch.
testbed_last_start() { testbed_property "$1" Service ExecMainStartTimestamp; }

# Microseconds since the epoch as runwarden writes a last run in the C locale:
# m/d/yy h:mm:ss am/pm.
testbed_result_time() { LC_ALL=C date -d "@${1:0:-6}" "+%-m/%-d/%y %-I:%M:%S %P"; }

# Runs FUNCTION BUILD for the linux and the sanitizer build. The sanitizer build is
# optional for a developer, never in CI; a build that is missing otherwise is a failure.
testbed_each_build() {
  local build
  for build in linux asan; do
    if [[ ! -x build/$build/runwarden ]]; then
      [[ $build == asan && ${CI:-} != true ]] && continue
      expect_status "build/$build present" yes no
      continue
    fi
    "$1" "$build"
  done
}

testbed_stop() {
  if [[ -n $TESTBED_MANAGER_PID ]] && kill -0 "$TESTBED_MANAGER_PID" 2>/dev/null; then
    kill -CONT "$TESTBED_MANAGER_PID"  # in case a test stopped it
    tb_systemctl exit >/dev/null 2>&1 || kill "$TESTBED_MANAGER_PID" 2>/dev/null
    for _ in $(seq 100); do
      kill -0 "$TESTBED_MANAGER_PID" 2>/dev/null || break
      sleep 0.1
    done
    kill -9 "$TESTBED_MANAGER_PID" 2>/dev/null
    wait "$TESTBED_MANAGER_PID" 2>/dev/null
  fi
  # Whatever still runs in the namespace (a service the manager failed to stop) ends too.
  local process
  for process in $(testbed_processes_in "$(readlink /proc/self/ns/mnt)"); do
    [[ $process != "$$" ]] && kill -9 "$process" 2>/dev/null
  done
  TESTBED_MANAGER_PID=
  rm -rf "$TESTBED_DIR"
}

testbed_start() {
  # The namespace's own /run: the manager looks for /run/systemd/system, which must never
  # be made on the machine itself.
  mount -t tmpfs -o mode=755 tmpfs /run || testbed_unavailable "cannot mount /run"
  mkdir -p /run/systemd/system /run/dbus
  # Programs that take the standard system bus socket (the ssh bridge) reach it too.
  ln -s "$XDG_RUNTIME_DIR/bus" /run/dbus/system_bus_socket
  /usr/lib/systemd/systemd --user >"$TESTBED_DIR/manager.log" 2>&1 &
  TESTBED_MANAGER_PID=$!
  for _ in $(seq 100); do
    if busctl --user call org.freedesktop.systemd1 /org/freedesktop/systemd1 \
      org.freedesktop.DBus.Peer Ping >/dev/null 2>&1; then
      return 0
    fi
    kill -0 "$TESTBED_MANAGER_PID" 2>/dev/null || break
    sleep 0.1
  done
  cat "$TESTBED_DIR/manager.log" >&2
  testbed_unavailable "the manager did not come up on $DBUS_SYSTEM_BUS_ADDRESS"
}

# Waits until a unit's last run is over: it is inactive or failed (at most 10 s).
testbed_wait_finished() {
  local state
  for _ in $(seq 100); do
    state=$(tb_systemctl show -P ActiveState "$1")
    [[ $state == inactive || $state == failed ]] &&
      [[ $(tb_systemctl show -P ExecMainExitTimestampMonotonic "$1") != 0 ]] && return 0
    sleep 0.1
  done
  echo "FAIL: $1 did not finish" >&2
  return 1
}

# stop_engine NAME PID PATTERN: SIGTERM ends the engine within 30 s, and with it every
# process of the namespace whose command line matches PATTERN (its workers).
stop_engine() {
  kill -TERM "$2"
  local _ ended=no
  for _ in $(seq 300); do
    kill -0 "$2" 2>/dev/null || { ended=yes; break; }
    sleep 0.1
  done
  wait "$2" 2>/dev/null
  expect_status "$1 ends on SIGTERM" yes "$ended"
  engine_pattern=$3
  wait_until engine_gone
  expect_bytes "$1: nothing of it left running" "" <(testbed_running "$3")
}
engine_gone() { [[ -z $(testbed_running "$engine_pattern") ]]; }
