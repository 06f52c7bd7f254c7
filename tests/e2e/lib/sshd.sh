# A real OpenSSH server on loopback for end-to-end tests and benchmarks, inside the
# private mount namespace of the systemd test bed (tests/e2e/lib/systemd.sh):
#
#   source tests/e2e/lib/systemd.sh
#   source tests/e2e/lib/sshd.sh
#   testbed_enter "$@"
#   ...; testbed_start
#   sshd_start               # the server, its keys and the monitoring account's ssh set-up
#   runwarden -task:... -host:127.0.0.1:$SSHD_PORT -user:monitor
#
# Everything lives in $SSHD_DIR inside the test bed's temporary directory:
# - the server (sshd -D) listens on 127.0.0.1, port $SSHD_PORT, with its own host key,
#   configuration, PidFile and log ($SSHD_DIR/sshd.log); sessions on $SSHD_NO_BRIDGE_PORT
#   get a PATH in which systemd-stdio-bridge cannot be found, as on a computer without it;
# - the login "monitor" (an alias of root, with its own home directory, in this
#   namespace's password database only) accepts the key of the monitoring account; no
#   other login has an authorised key;
# - the monitoring account is root, whose home directory in this namespace is the test
#   bed's $HOME, so that ssh finds its ~/.ssh there: the key (id_ed25519), known_hosts
#   with the server's key for [127.0.0.1] on both ports, and an empty ~/.ssh/config for
#   the test to write.
# The remote sessions' systemd-stdio-bridge reaches the test bed's manager through the
# test bed's /run/dbus/system_bus_socket. sshd_stop (also run when the script ends) stops
# the server; the test bed's own check then finds any session process left behind.
#
# Without openssh-server the script is skipped; with CI=true that is a failure instead.

SSHD_PID=

# The command lines of the server's session processes and of the bridges they run.
sshd_sessions() {
  testbed_running '^sshd: [^/]|systemd-stdio-bridge'
}

# Waits until no session of the server runs any more (at most 10 s).
sshd_wait_sessions_ended() {
  for _ in $(seq 100); do
    [[ -z $(sshd_sessions) ]] && return 0
    sleep 0.1
  done
  return 1
}

sshd_start() {
  require_tool /usr/sbin/sshd
  require_tool ssh-keygen
  SSHD_DIR=$TESTBED_DIR/sshd
  mkdir -p "$SSHD_DIR/authorized_keys" "$SSHD_DIR/monitor-home" "$HOME/.ssh" /run/sshd
  chmod 700 "$HOME/.ssh"
  # This namespace's password database: root's home is the test bed's $HOME (ssh takes
  # ~/.ssh from there, not from $HOME), and "monitor" logs on as root.
  sed "s|^root:\([^:]*\):0:0:\([^:]*\):[^:]*:|root:\1:0:0:\2:$HOME:|" /etc/passwd \
    >"$SSHD_DIR/passwd"
  echo "monitor:x:0:0:monitoring login:$SSHD_DIR/monitor-home:/bin/sh" >>"$SSHD_DIR/passwd"
  mount --bind "$SSHD_DIR/passwd" /etc/passwd || testbed_unavailable "cannot bind /etc/passwd"

  ssh-keygen -q -t ed25519 -N '' -C runwarden-test-host -f "$SSHD_DIR/host_key" || return 1
  ssh-keygen -q -t ed25519 -N '' -C monitoring -f "$HOME/.ssh/id_ed25519" || return 1
  cp "$HOME/.ssh/id_ed25519.pub" "$SSHD_DIR/authorized_keys/monitor"
  : >"$HOME/.ssh/config"

  local attempt
  for attempt in 1 2 3 4 5; do
    SSHD_PORT=$(free_port) && SSHD_NO_BRIDGE_PORT=$(free_port) || break
    [[ $SSHD_PORT != "$SSHD_NO_BRIDGE_PORT" ]] || continue
    cat >"$SSHD_DIR/sshd_config" <<EOF
Port $SSHD_PORT
Port $SSHD_NO_BRIDGE_PORT
ListenAddress 127.0.0.1
HostKey $SSHD_DIR/host_key
PidFile $SSHD_DIR/sshd.pid
AuthorizedKeysFile $SSHD_DIR/authorized_keys/%u
UsePAM no
StrictModes no
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
Match LocalPort $SSHD_NO_BRIDGE_PORT
  SetEnv PATH=/nonexistent
EOF
    /usr/sbin/sshd -D -e -f "$SSHD_DIR/sshd_config" 2>"$SSHD_DIR/sshd.log" &
    SSHD_PID=$!
    trap 'sshd_stop; testbed_stop' EXIT
    for _ in $(seq 100); do
      (($(grep -c '^Server listening on 127.0.0.1' "$SSHD_DIR/sshd.log") == 2)) && break
      kill -0 "$SSHD_PID" 2>/dev/null || break
      sleep 0.05
    done
    if kill -0 "$SSHD_PID" 2>/dev/null &&
      (($(grep -c '^Server listening on 127.0.0.1' "$SSHD_DIR/sshd.log") == 2)); then
      local key
      key=$(cut -d' ' -f1-2 "$SSHD_DIR/host_key.pub")
      printf '[127.0.0.1]:%s %s\n' "$SSHD_PORT" "$key" "$SSHD_NO_BRIDGE_PORT" "$key" \
        >"$HOME/.ssh/known_hosts"
      return 0
    fi
    sshd_stop  # most likely a port taken in the meantime: another pair
  done
  cat "$SSHD_DIR/sshd.log" >&2
  testbed_unavailable "sshd did not come up on 127.0.0.1 (attempt $attempt)"
}

sshd_stop() {
  [[ -n $SSHD_PID ]] || return 0
  kill -CONT "$SSHD_PID" 2>/dev/null  # in case a test stopped it
  kill "$SSHD_PID" 2>/dev/null
  wait "$SSHD_PID" 2>/dev/null
  SSHD_PID=
}
