# A real OpenSSH server inside the system manager test bed (tests/e2e/lib/system_manager.sh),
# so that remote checks (-host:) reach the bed's manager as they would a remote computer's:
#
#   source tests/e2e/lib/system_manager_sshd.sh
#   sysbed_init; ...; sysbed_start
#   sysbed_sshd_start          # sshd as a service of the bed, its keys, the login "monitor"
#   sysbed_run build/linux/runwarden -task:... -host:monitor@127.0.0.1:$SYSBED_SSHD_PORT
#
# - The server is the bed's unit runwarden-sshd.service (started at every boot, also after
#   sysbed_reboot), listening on 127.0.0.1:$SYSBED_SSHD_PORT with its own host key and
#   configuration in $SYSBED_DIR/sshd; it logs to the bed's journal. Its sessions run in
#   the bed, so their systemd-stdio-bridge and journalctl reach the bed's manager and
#   journal. With `sysbed_init --logind` it uses PAM, so that a login is a logind session
#   as on a real host; otherwise not.
# - "monitor" is an unprivileged account of the bed, a member of systemd-journal, that
#   accepts root's key; sysbed_sshd_login adds other logins (an account outside
#   systemd-journal, or root itself: `sysbed_sshd_login root`).
# - The client side is the bed's root: its home (/root inside the bed, $SYSBED_DIR/root
#   outside) holds the key (~/.ssh/id_ed25519), known_hosts with the server's key for
#   [127.0.0.1]:PORT, and an empty ~/.ssh/config for the test to write.
# Everything stops with the bed. Without openssh-server the script is skipped; with CI=true
# that is a failure instead.

SYSBED_SSHD_PORT=

# sysbed_sshd_start: the server, its keys and the login "monitor"; at most 10 s.
sysbed_sshd_start() {
  local tool
  for tool in /usr/sbin/sshd ssh ssh-keygen; do
    command -v "$tool" >/dev/null || sysbed_unavailable "no $tool"
  done
  local dir=$SYSBED_DIR/sshd ssh_dir=$SYSBED_DIR/root/.ssh
  mkdir -p "$dir/authorized_keys" "$ssh_dir"
  chmod 700 "$ssh_dir"
  ssh-keygen -q -t ed25519 -N '' -C runwarden-sysbed-host -f "$dir/host_key" || return 1
  ssh-keygen -q -t ed25519 -N '' -C monitoring -f "$ssh_dir/id_ed25519" || return 1
  : >"$ssh_dir/config"
  sysbed_sshd_login monitor systemd-journal || return 1
  local pam=no attempt
  ((SYSBED_LOGIND)) && pam=yes
  for attempt in 1 2 3 4 5; do
    SYSBED_SSHD_PORT=$(free_port) || break
    cat >"$dir/sshd_config" <<EOF
Port $SYSBED_SSHD_PORT
ListenAddress 127.0.0.1
HostKey $dir/host_key
PidFile none
AuthorizedKeysFile $dir/authorized_keys/%u
UsePAM $pam
StrictModes no
PasswordAuthentication no
KbdInteractiveAuthentication no
PermitRootLogin prohibit-password
EOF
    # Type=notify: started means listening.
    printf '%s\n' '[Service]' Type=notify "ExecStart=/usr/sbin/sshd -D -e -f $dir/sshd_config" \
      KillMode=process RuntimeDirectory=sshd RuntimeDirectoryMode=0755 |
      sysbed_unit runwarden-sshd.service
    sysbed_enable runwarden-sshd.service
    sysbed_systemctl daemon-reload
    if timeout 10 nsenter -t "$SYSBED_PID" -m -p -- systemctl start runwarden-sshd.service \
      2>/dev/null; then
      printf '[127.0.0.1]:%s %s\n' "$SYSBED_SSHD_PORT" "$(cut -d' ' -f1-2 "$dir/host_key.pub")" \
        >"$ssh_dir/known_hosts"
      return 0
    fi
    sysbed_systemctl reset-failed runwarden-sshd.service  # most likely a port taken meanwhile
  done
  sysbed_journalctl -u runwarden-sshd.service >&2
  sysbed_unavailable "sshd did not come up on 127.0.0.1 (attempt $attempt)"
}

# sysbed_sshd_login NAME [GROUP...]: a login that accepts root's key: the account (made if
# the bed has none of that name, in those groups) and its authorised key.
sysbed_sshd_login() {
  local name=$1
  shift
  [[ -n $(sysbed_uid "$name") ]] || sysbed_account "$name" "$@" >/dev/null || return 1
  cp "$SYSBED_DIR/root/.ssh/id_ed25519.pub" "$SYSBED_DIR/sshd/authorized_keys/$name"
}

# sysbed_sshd_logins NAME: how many logins of NAME the server has accepted (this boot).
sysbed_sshd_logins() {
  sysbed_journalctl -b -u runwarden-sshd.service -o cat | grep -c "^Accepted publickey for $1 "
}
