# Installing Debian packages that are missing (sourced by scripts/setup and bench/lib.sh).

as_root() { if [ "$(id -u)" = 0 ]; then "$@"; else sudo "$@"; fi; }

# install_missing_packages PKG... : installs the packages that are not
# installed yet. An argument "a|b" is satisfied by either package and
# installs "a".
install_missing_packages() {
  local missing=() choice alt found
  for choice in "$@"; do
    found=""
    IFS='|' read -r -a alts <<< "$choice"
    for alt in "${alts[@]}"; do
      if dpkg-query -W -f='${Status}' "$alt" 2>/dev/null | grep -q "install ok installed"; then
        found=1
        break
      fi
    done
    [ -n "$found" ] || missing+=("${alts[0]}")
  done
  if [ ${#missing[@]} -gt 0 ]; then
    echo "installing ${missing[*]}" >&2
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
  fi
}
