#!/usr/bin/env bash
# The installer under Wine's msiexec, against the prefix's own service
# manager: installing registers and starts the service, which answers
# discovery on the first free port from 11100; a newer package replaces it in
# place; uninstalling leaves no file, no service and no product behind.
#
#   msi_test.sh <package.msi> <newer package.msi>
#
# Uses $WINEPREFIX as wine does (scripts/test sets .deps/wine). Every Wine
# command is bounded in time; on failure, whatever is still installed is
# uninstalled, a service process left running is ended by its pid and the
# install folder is deleted, so the next run starts clean.
set -euo pipefail
msi="$1" newer="$2"
: "${WINEPREFIX:=$HOME/.wine}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
service=Lumetra_RD_ServiceExt
install_dir="$WINEPREFIX/drive_c/Program Files/rdserver_ext"
first_port=11100 last_port=11109
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

fail() { echo "FAIL: $*" >&2; exit 1; }
bounded_wine() { timeout 120 wine "$@"; }
product_code() { msiinfo export "$1" Property | sed -n 's/^ProductCode\t//p' | tr -d '\r'; }

# This prefix's wineserver runs in a folder named after the prefix's device
# and inode; under Wine it holds the service's listening sockets.
server_folder="server-$(stat -c %D "$WINEPREFIX")-$(printf %x "$(stat -c %i "$WINEPREFIX")")"
ours() {
  local pid="$1"
  [ "$(basename "$(readlink "/proc/$pid/cwd" 2>/dev/null)")" = "$server_folder" ] \
    || tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"
}

# Ports of the range that a process of this prefix listens on, lowest first.
our_ports() {
  local state recvq sendq local_address peer users pid
  ss -ltnpH "sport >= :$first_port and sport <= :$last_port" \
    | while read -r state recvq sendq local_address peer users; do
        for pid in $(grep -o 'pid=[0-9]*' <<< "$users" | cut -d= -f2); do
          if ours "$pid"; then echo "${local_address##*:}"; break; fi
        done
      done | sort -nu
}

first_free_port() {
  local port
  for port in $(seq "$first_port" "$last_port"); do
    if [ -z "$(ss -ltnH "sport = :$port")" ]; then echo "$port"; return; fi
  done
  fail "no free port in $first_port-$last_port"
}

# The service processes of this prefix (the Windows path is their command line).
service_pids() {
  local pid
  for pid in $(pgrep -f 'Program Files.rdserver_ext.rdserver_ext\.exe' || true); do
    if tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
      echo "$pid"
    fi
  done
}

cleanup() {
  local status=$? pid
  if [ $status -ne 0 ]; then
    bounded_wine msiexec /x "$newer" /qn > /dev/null 2>&1 || true
    bounded_wine msiexec /x "$msi" /qn > /dev/null 2>&1 || true
    for pid in $(service_pids); do kill -9 "$pid" 2> /dev/null || true; done
    rm -rf "$install_dir"
  fi
  exit $status
}
trap cleanup EXIT

# Waits (bounded) until the service answers discovery on one of our ports; prints the port.
wait_for_discovery() {
  local deadline=$((SECONDS + 90)) port answer
  while [ $SECONDS -lt $deadline ]; do
    port="$(our_ports | head -n1)"
    if [ -n "$port" ]; then
      answer="$(curl -s -m 20 -X RDSERVICE "http://127.0.0.1:$port/" || true)"
      if [[ "$answer" == '<RDService status="READY"'* ]] \
         && grep -qF '<Interface id="CAPTURE" path="/rd/capture" />' <<< "$answer"; then
        echo "$port"
        return
      fi
    fi
    sleep 0.5
  done
  fail "the service did not answer discovery within 90 s (ports of this prefix: $(our_ports | tr '\n' ' '))"
}

service_running() {
  bounded_wine sc query "$service" 2> /dev/null | grep -q 'STATE *: 4 *RUNNING'
}

product_registered() {
  bounded_wine reg query "$uninstall_key\\$1" > /dev/null 2>&1
}

# A clean start: no service of that name in this prefix.
if bounded_wine sc query "$service" > /dev/null 2>&1; then
  fail "$service is already registered in $WINEPREFIX"
fi

echo "install $(basename "$msi")"
expected_port="$(first_free_port)"
bounded_wine msiexec /i "$msi" /qn || fail "msiexec /i failed ($?)"
[ -f "$install_dir/rdserver_ext.exe" ] && [ -f "$install_dir/config.ini" ] \
  && [ -f "$install_dir/README.txt" ] || fail "files missing in $install_dir: $(ls "$install_dir" 2>&1)"
port="$(wait_for_discovery)"
[ "$port" = "$expected_port" ] || fail "service listens on $port, the first free port was $expected_port"
service_running || fail "$service is not running after the install"
echo "discovery answered on port $port"

echo "upgrade with $(basename "$newer")"
old_code="$(product_code "$msi")" new_code="$(product_code "$newer")"
[ "$old_code" != "$new_code" ] || fail "both packages have the product code $old_code"
bounded_wine msiexec /i "$newer" /qn || fail "msiexec /i of the newer package failed ($?)"
product_registered "$new_code" || fail "the newer product is not registered"
product_registered "$old_code" && fail "the older product is still registered beside the newer one"
port="$(wait_for_discovery)"
service_running || fail "$service is not running after the upgrade"
echo "discovery answered on port $port after the upgrade"

# What the service writes beside itself goes with it.
touch "$install_dir/rdserver_ext.log" "$install_dir/rdserver_ext.log.1" \
      "$install_dir/rdserver_ext_error.log"
echo "uninstall"
bounded_wine msiexec /x "$newer" /qn || fail "msiexec /x failed ($?)"
[ ! -e "$install_dir" ] || fail "left behind in $install_dir: $(ls -A "$install_dir")"
product_registered "$new_code" && fail "the product is still registered"
sc_output="$(WINEDEBUG=-all,err+sc bounded_wine sc query "$service" 2>&1)" \
  && fail "$service still exists: $sc_output"
grep -q "1060" <<< "$sc_output" || fail "sc query did not report a missing service: $sc_output"
[ -z "$(service_pids)" ] || fail "a service process is still running: $(service_pids)"
[ -z "$(our_ports)" ] || fail "still listening on $(our_ports | tr '\n' ' ')"
echo "nothing left behind"
