# install_missing [--no-install-recommends] PACKAGE...: installs with apt-get the Debian
# packages that are not installed yet; through sudo only when not root (a minimal system as
# root has no sudo). Its messages go to standard error.
install_missing() {
  local package missing=() options=()
  [[ ${1:-} == --no-install-recommends ]] && { options=("$1"); shift; }
  for package; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$package")
  done
  ((${#missing[@]})) || return 0
  echo "== installing: ${missing[*]}" >&2
  local sudo=()
  [[ $(id -u) -eq 0 ]] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -q >&2
  "${sudo[@]}" apt-get install -y -q "${options[@]}" "${missing[@]}" >&2
}

# What building the Linux program needs (sd-bus is its scheduler backend).
build_packages=(cmake make g++ pkg-config libsystemd-dev)
