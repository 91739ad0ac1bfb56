#!/usr/bin/env bash
# The installer's browser policy under Wine's msiexec: with BROWSER_POLICY=1
# the origins the program admits go, as URL patterns, to the Chrome and Edge
# local-network lists in free numbers beside an administrator's value (a
# subdomain wildcard only with its host); uninstalling removes only its own
# values. Without the property it writes nothing. (Wine sets AdminUser
# whatever the command line says, so a standard user's repair is checked in
# the MSI's tables by shipped_files_test.sh.)
#
#   browser_policy_test.sh <package.msi>
#
# Uses $WINEPREFIX as wine does; every Wine command is bounded in time, and a
# failed run uninstalls what it installed.
set -euo pipefail
msi="$(winepath -w "$1")"
: "${WINEPREFIX:=$HOME/.wine}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
policies='HKLM\SOFTWARE\Policies'
lists=('Google\Chrome\LocalNetworkAccessAllowedForUrls' 'Google\Chrome\LoopbackNetworkAllowedForUrls'
  'Microsoft\Edge\LocalNetworkAccessAllowedForUrls' 'Microsoft\Edge\LoopbackNetworkAllowedForUrls')
admin_list="$policies\\${lists[0]}"
# Away from the upstream range and the other installer test's ports.
port_start=11340

fail() { echo "FAIL: $*" >&2; exit 1; }
bounded_wine() { timeout 120 wine "$@"; }
cleanup() {
  local status=$?
  [ $status -eq 0 ] || bounded_wine msiexec /x "$msi" /qn > /dev/null 2>&1 || true
  bounded_wine reg delete "$admin_list" /v 1 /f > /dev/null 2>&1 || true
  exit $status
}
trap cleanup EXIT

# Every list as "list number pattern" lines, sorted.
policy_values() {
  local list
  for list in "${lists[@]}"; do
    { bounded_wine reg query "$policies\\$list" 2> /dev/null || true; } | tr -d '\r' \
      | list="$list" awk '$2 == "REG_SZ" { print ENVIRON["list"] " " $1 " " $3 }'
  done | sort
}

bounded_wine reg add "$admin_list" /v 1 /t REG_SZ /d 'https://admin.example' /f > /dev/null \
  || fail "could not set the administrator's value"
before="$(policy_values)"

echo "install with BROWSER_POLICY=1 and four origins"
bounded_wine msiexec /i "$msi" BROWSER_POLICY=1 SERVER_PORT_START=$port_start \
  ALLOWED_ORIGINS='https://portal.bank.example https://*.bank.example https://bank.example https://*.branch.example' \
  /qn || fail "msiexec /i failed ($?)"
expected="$before"
for list in "${lists[@]}"; do
  first=1
  [ "$list" != "${lists[0]}" ] || first=2  # 1 is the administrator's
  expected+=$'\n'"$list $first https://portal.bank.example"$'\n'"$list $((first + 1)) https://[*.]bank.example"
  expected+=$'\n'"$list $((first + 2)) https://bank.example"
done
expected="$(sort <<< "$expected" | sed '/^$/d')"
[ "$(policy_values)" = "$expected" ] || fail "after the install: $(diff <(echo "$expected") <(policy_values))"

echo "uninstall"
bounded_wine msiexec /x "$msi" /qn || fail "msiexec /x failed ($?)"
[ "$(policy_values)" = "$before" ] || fail "after the uninstall: $(diff <(echo "$before") <(policy_values))"

echo "install and uninstall without BROWSER_POLICY"
bounded_wine msiexec /i "$msi" SERVER_PORT_START=$port_start ALLOWED_ORIGINS='https://portal.bank.example' /qn \
  || fail "msiexec /i failed ($?)"
[ "$(policy_values)" = "$before" ] || fail "written without the property: $(policy_values)"
bounded_wine msiexec /x "$msi" /qn || fail "msiexec /x failed ($?)"
echo "the policy came and went with the package, the administrator's value stayed"
