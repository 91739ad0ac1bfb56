#!/usr/bin/env bash
# What the MSI ships, read without running it: its rdserver_ext.exe names
# no folder a user could create (a Unix path, the build machine's folders);
# it runs no script; a standard user's repair runs no action of the system
# that writes settings or the browser policy or is handed a property, while
# an administrator's run (as a first install, NOT Installed) writes them.
#
#   shipped_files_test.sh <package.msi> <source folder> <build folder>
set -euo pipefail
msi="$1" source_dir="$2" build_dir="$3"
work="$(mktemp -d)" && trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

msiextract -C "$work" "$msi" > /dev/null
exe="$(find "$work" -name rdserver_ext.exe)"
{ strings -a -n 5 "$exe"; strings -a -n 5 -e l "$exe"; } > "$work/strings"  # narrow and UTF-16
grep -qF Lumetra_RD_ServiceExt "$work/strings" || fail "no text read from $exe"
found="$(grep -E '(^|[^[:alnum:]_.~-])/(etc|usr|opt|var|home|tmp|root|lib|srv|mnt|work)(/|$)' "$work/strings"
  grep -F -e "$source_dir" -e "$build_dir" -e "$(realpath -m "$source_dir/.deps")" -e .deps "$work/strings")" || true
[ -z "$found" ] || fail "the shipped rdserver_ext.exe names folders a user could create: $found"

# A table's rows without its header, split by \037 (read keeps empty fields between those, not tabs).
rows() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d '\r' | tr '\t' '\037'; }
rows CustomAction > "$work/actions"
rows Property | grep -qx $'MSIUSEREALADMINDETECTION\0371' \
  || fail "without MSIUSEREALADMINDETECTION=1, AdminUser is set in every elevated repair"
while IFS=$'\037' read -r action type _; do
  [[ $((type & 7)) != [56] ]] || fail "custom action $action runs a script (type $type)"
done < "$work/actions"

# Evaluates a condition of the forms used here (names, NOT, AND, OR, ( ),
# NAME="text", NAME~="text" ignoring case) for the array `props`: 1 or 0.
evaluate() {
  local condition="${1:-1}" value want result
  while [[ $condition =~ ([A-Za-z_][A-Za-z0-9_.]*)(~?)=\"([^\"]*)\" ]]; do
    value="${props[${BASH_REMATCH[1]}]:-}" want="${BASH_REMATCH[3]}" result=0
    [ -z "${BASH_REMATCH[2]}" ] || { value="${value^^}" want="${want^^}"; }
    [ "$value" != "$want" ] || result=1
    condition="${condition/"${BASH_REMATCH[0]}"/$result}"
  done
  condition="$(sed 's/\bNOT\b/!/g; s/\bAND\b/\&\&/g; s/\bOR\b/||/g' <<< "$condition")"
  while [[ $condition =~ [A-Za-z_][A-Za-z0-9_.]* ]]; do
    [ -z "${props[${BASH_REMATCH[0]}]:-}" ] && result=0 || result=1
    condition="$(sed "s/\b${BASH_REMATCH[0]}\b/$result/g" <<< "$condition")"
  done
  echo $((condition))
}

# The custom actions of the system (deferred, not impersonated) that run with
# `props`, as "action<TAB>command line" lines.
system_actions() {
  local action condition type target
  while IFS=$'\037' read -r action condition _; do
    IFS=$'\037' read -r _ type _ target < <(grep "^$action"$'\037' "$work/actions") || continue
    if (((type & 3072) == 3072)) && [ "$(evaluate "$condition")" = 1 ]; then printf '%s\t%s\n' "$action" "$target"; fi
  done < <(rows InstallExecuteSequence)
}

declare -A props=([SERVER_PORT_START]=1 [SERVER_SSL_CERTICICATE]='\\host\x.pem' [ALLOWED_ORIGINS]='*'
  [BROWSER_POLICY]=1 [Installed]=1 [REINSTALL]=ALL)
repair="$(system_actions)"
! grep -E $'\t.*( -write-|\\[[A-Z][A-Z0-9_]*\\])' <<< "${repair//\[INSTALLDIR\]/}" \
  || fail "a standard user's repair runs the actions above as the system"
props[AdminUser]=1
writers="$(system_actions | grep -F -- ' -write-' | cut -f1 | sort | tr '\n' ' ')"
[ "$writers" = "WriteBrowserPolicy WriteSettings " ] || fail "an administrator's run writes: $writers"
echo "a standard user's repair runs as the system only: $(cut -f1 <<< "$repair" | tr '\n' ' ')"
