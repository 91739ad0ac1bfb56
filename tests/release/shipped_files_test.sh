#!/usr/bin/env bash
# What the package ships, read without running it:
# - the rdserver_ext.exe inside the MSI names no folder a standard user could
#   create (on Windows /etc/ssl is \etc\ssl on the current drive, which any
#   user may make): no Unix absolute path, not the source, build or
#   dependency folders of the build machine;
# - the MSI runs no script, and a standard user's repair (the product
#   installed, the user no administrator, any properties given) runs no
#   action of the system that writes settings or the browser policy, nor
#   one that is handed a property; a first install, an upgrade and an
#   administrator's change do write them.
#
#   shipped_files_test.sh <package.msi> <source folder> <build folder>
set -euo pipefail
msi="$1" source_dir="$2" build_dir="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

msiextract -C "$work/files" "$msi" > /dev/null
exe="$(find "$work/files" -name rdserver_ext.exe | head -n1)"
[ -n "$exe" ] || fail "no rdserver_ext.exe in $msi"
# Narrow strings and the UTF-16 ones of the Windows API.
{ strings -a -n 5 "$exe"; strings -a -n 5 -e l "$exe"; } > "$work/strings"
grep -qF Lumetra_RD_ServiceExt "$work/strings" || fail "no text read from $exe"
unix_path='(^|[^[:alnum:]_.~-])/(etc|usr|opt|var|home|tmp|root|lib|lib64|srv|mnt|snap|nix|work)(/|$)'
found="$(grep -E "$unix_path" "$work/strings"
  grep -F -e "$source_dir" -e "$build_dir" -e "$(realpath "$source_dir/.deps")" -e .deps \
    -e openssl-mingw "$work/strings")" || true
[ -z "$found" ] || fail "the shipped rdserver_ext.exe names folders a user could create: $found"
echo "no build machine's or Unix path in the shipped rdserver_ext.exe"

# A table's rows, tab-separated, without its three header lines; `fields`
# reads them with a separator that, unlike a tab, keeps empty fields.
rows() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r'; }
fields() { tr '\t' '\037' < "$1"; }
rows CustomAction > "$work/actions"
rows InstallExecuteSequence > "$work/sequence"
grep -qx $'MSIUSEREALADMINDETECTION\t1' <(rows Property) \
  || fail "without MSIUSEREALADMINDETECTION=1, AdminUser is set for every elevated repair"

# Evaluates a condition of the forms this package uses (names, NOT, AND, OR,
# parentheses, NAME="text", NAME~="text" ignoring case) for the properties
# of the associative array `props`; prints 1 or 0.
evaluate() {
  local condition="${1:-1}" name value result
  while [[ $condition =~ ([A-Za-z_][A-Za-z0-9_.]*)(~?)=\"([^\"]*)\" ]]; do
    value="${props[${BASH_REMATCH[1]}]:-}" result=0
    if [ -n "${BASH_REMATCH[2]}" ]; then value="${value,,}" BASH_REMATCH[3]="${BASH_REMATCH[3],,}"; fi
    [ "$value" = "${BASH_REMATCH[3]}" ] && result=1
    condition="${condition/"${BASH_REMATCH[0]}"/$result}"
  done
  condition="$(sed -e 's/\bNOT\b/!/g; s/\bAND\b/\&\&/g; s/\bOR\b/||/g' <<< "$condition")"
  while [[ $condition =~ [A-Za-z_][A-Za-z0-9_.]* ]]; do
    name="${BASH_REMATCH[0]}" result=0
    [ -z "${props[$name]:-}" ] || result=1
    condition="$(sed "s/\b$name\b/$result/g" <<< "$condition")"
  done
  echo $((condition))
}

# The actions of the system (deferred, not impersonated) that run with `props`,
# as "action<TAB>target" lines.
system_actions_run() {
  local action condition sequence type source target
  while IFS=$'\037' read -r action condition sequence; do
    IFS=$'\037' read -r _ type source target < <(grep -P "^\Q$action\E\t" "$work/actions" | fields /dev/stdin) || continue
    if [ $((type & 3072)) -eq 3072 ] && [ "$(evaluate "$condition")" = 1 ]; then
      printf '%s\t%s\n' "$action" "$target"
    fi
  done < <(fields "$work/sequence")
}

while IFS=$'\037' read -r action type _; do
  case $((type & 7)) in 5 | 6) fail "custom action $action runs a script (type $type)" ;; esac
done < <(fields "$work/actions")

declare -A props=([SERVER_PORT_START]=1 [SERVER_SSL_CERTICICATE]='\\host\share\x.pem'
  [ALLOWED_ORIGINS]='*' [BROWSER_POLICY]=1 [Installed]=1 [REINSTALL]=ALL [REINSTALLMODE]=omus)
repair="$(system_actions_run)"
if grep -E $'\t.* -write-|\t.*\\[[A-Z][A-Z0-9_]*\\]' <<< "${repair//\[INSTALLDIR\]/}"; then
  fail "a standard user's repair runs the actions above as the system"
fi
writers() { system_actions_run | grep -F -- ' -write-' | cut -f1 | sort | tr '\n' ' '; }
props[AdminUser]=1
[ "$(writers)" = "WriteBrowserPolicy WriteSettings " ] || fail "an administrator's repair writes: $(writers)"
unset 'props[Installed]' 'props[REINSTALL]' 'props[AdminUser]'
[ "$(writers)" = "WriteBrowserPolicy WriteSettings " ] || fail "a first install writes: $(writers)"
echo "no script; a standard user's repair runs as the system only: $(cut -f1 <<< "$repair" | tr '\n' ' ')"
