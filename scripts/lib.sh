# shellcheck shell=bash
# Shared helpers for the scripts in this folder. Source it; do not run it.

repo_root() { cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd; }

# The Debian packages named in scripts/deps/*.txt ("name" or "name:i386").
required_packages() {
  local root; root=$(repo_root)
  sed -e 's/#.*//' -e 's/[[:space:]]//g' "$root"/scripts/deps/*.txt | grep -v '^$' | sort -u
}

# Installs what is missing when run as root; otherwise prints the exact
# command and fails, so a developer never builds against half a toolchain.
ensure_packages() {
  local missing=() pkg
  for pkg in $(required_packages); do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing packages. Install them with:" >&2
    printf '  sudo apt-get install -y %s\n' "${missing[*]}" >&2
    return 1
  fi
  if printf '%s\n' "${missing[@]}" | grep -q ':i386$' && ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  echo "== installing: ${missing[*]}"
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
