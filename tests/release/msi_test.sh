#!/usr/bin/env bash
# The installer under Wine's msiexec, against the prefix's own service
# manager, as an administrator of many PCs uses it:
# - installing with public properties (on the command line of cmd, quoted as
#   on Windows) writes them into config.ini and the service, started by the
#   install, listens where they say;
# - the administrator then edits config.ini and adds ssl_localhost.pem; a
#   newer package replaces the product in place and keeps both byte for byte,
#   and the service listens where the edited file says (HTTPS, then HTTP);
# - uninstalling leaves nothing the package installed or the service wrote:
#   no file but the added certificate, no service, no product.
#
#   msi_test.sh <package.msi> <newer package.msi> <shipped config.ini>
#
# Uses $WINEPREFIX as wine does (scripts/test sets .deps/wine). Every Wine
# command is bounded in time; on failure, whatever is still installed is
# uninstalled, a service process left running is ended by its pid and the
# install folder is deleted, so the next run starts clean.
set -euo pipefail
msi="$1" newer="$2" shipped_config="$3"
: "${WINEPREFIX:=$HOME/.wine}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
service=Lumetra_RD_ServiceExt
install_dir="$WINEPREFIX/drive_c/Program Files/rdserver_ext"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
event_source_key="HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\$service"
# Port ranges away from the upstream range 11100-11120 that other tests use.
property_port=11300 edited_port=11320
origins='https://portal.bank.example, https://*.bank.example'
work="$(mktemp -d)"

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

# Ports from $1 to $2 that a process of this prefix listens on, lowest first.
our_ports() {
  local state recvq sendq local_address peer users pid
  ss -ltnpH "sport >= :$1 and sport <= :$2" \
    | while read -r state recvq sendq local_address peer users; do
        for pid in $(grep -o 'pid=[0-9]*' <<< "$users" | cut -d= -f2); do
          if ours "$pid"; then echo "${local_address##*:}"; break; fi
        done
      done | sort -nu
}

# The first free port of the ten from $1, where the service will listen.
first_free_port() {
  local port
  for port in $(seq "$1" $(($1 + 9))); do
    if [ -z "$(ss -ltnH "sport = :$port")" ]; then echo "$port"; return; fi
  done
  fail "no free port in $1-$(($1 + 9))"
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
  fi
  rm -rf "$install_dir" "$work"
  exit $status
}
trap cleanup EXIT

# Waits (bounded) until the service answers discovery on the lowest of our
# ports from $1; "https" as $2 asks over TLS, checked against our certificate.
# Prints the port.
wait_for_discovery() {
  local deadline=$((SECONDS + 90)) port answer url
  while [ $SECONDS -lt $deadline ]; do
    port="$(our_ports "$1" $(($1 + 9)) | head -n1)"
    if [ -n "$port" ]; then
      url="${2:-http}://127.0.0.1:$port/"
      answer="$(curl -s -m 20 --cacert "$work/cert.pem" -X RDSERVICE "$url" || true)"
      if [[ "$answer" == '<RDService status="READY"'* ]] \
         && grep -qF '<Interface id="CAPTURE" path="/rd/capture" />' <<< "$answer"; then
        echo "$port"
        return
      fi
    fi
    sleep 0.5
  done
  fail "the service did not answer discovery within 90 s (ports of this prefix: $(our_ports "$1" $(($1 + 9)) | tr '\n' ' '))"
}

service_running() {
  bounded_wine sc query "$service" 2> /dev/null | grep -q 'STATE *: 4 *RUNNING'
}

product_registered() {
  bounded_wine reg query "$uninstall_key\\$1" > /dev/null 2>&1
}

# Runs msiexec with the command line $1 through cmd, so the properties are
# quoted as an administrator quotes them on Windows.
msiexec_as_typed() {
  printf '@msiexec %s\r\n@exit /b %%ERRORLEVEL%%\r\n' "$1" > "$work/msiexec.bat"
  bounded_wine cmd /c "$(winepath -w "$work/msiexec.bat")"
}

# A clean start: no service of that name in this prefix.
if bounded_wine sc query "$service" > /dev/null 2>&1; then
  fail "$service is already registered in $WINEPREFIX"
fi
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=localhost -days 2 \
  -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2> /dev/null

echo "install $(basename "$msi") with properties"
expected_port="$(first_free_port $property_port)"
msiexec_as_typed "/i \"$(winepath -w "$msi")\" SERVER_PORT_START=$property_port ALLOWED_ORIGINS=\"$origins\" /qn" \
  || fail "msiexec /i with properties failed ($?)"
[ -f "$install_dir/rdserver_ext.exe" ] && [ -f "$install_dir/README.txt" ] \
  || fail "files missing in $install_dir: $(ls "$install_dir" 2>&1)"
# The shipped file with the two lines changed (or the origins added), in its dialect.
origins_line="ALLOWED_ORIGINS = \"$origins\""
{ sed -e "s/^SERVER_PORT_START = .*/SERVER_PORT_START = $property_port/" \
      -e "s|^ALLOWED_ORIGINS = .*|$origins_line|" "$shipped_config"
  grep -q '^ALLOWED_ORIGINS = ' "$shipped_config" || echo "$origins_line"; } > "$work/expected.ini"
cmp -s "$work/expected.ini" "$install_dir/config.ini" \
  || fail "config.ini after the install with properties: $(diff "$work/expected.ini" "$install_dir/config.ini")"
port="$(wait_for_discovery $property_port)"
[ "$port" = "$expected_port" ] || fail "service listens on $port, the first free port from $property_port was $expected_port"
service_running || fail "$service is not running after the install"
echo "discovery answered on port $port"
# The service's event source, with its messages in the installed executable.
source_values="$(bounded_wine reg query "$event_source_key" 2>&1 | tr -d '\r')" || true
grep -qE "EventMessageFile +REG_EXPAND_SZ +C:\\\\Program Files\\\\rdserver_ext\\\\rdserver_ext\.exe$" <<< "$source_values" \
  && grep -qE "TypesSupported +REG_DWORD +0x7$" <<< "$source_values" \
  || fail "event source after the install: $source_values"

echo "edit config.ini, add ssl_localhost.pem, upgrade with $(basename "$newer")"
sed -i "s/^SERVER_PORT_START = .*/SERVER_PORT_START = $edited_port/" "$install_dir/config.ini"
echo "# edited by the administrator" >> "$install_dir/config.ini"
cp "$install_dir/config.ini" "$work/edited.ini"
cat "$work/cert.pem" "$work/key.pem" > "$install_dir/ssl_localhost.pem"
cp "$install_dir/ssl_localhost.pem" "$work/added.pem"
# The key as added is readable by users, and -check says so (read through
# the security API). That the upgrade's FinishInstall limits it cannot be
# read back: Wine stores no DACL, it maps one onto Unix mode bits.
key_warning="holds the TLS private key and users other than SYSTEM and the Administrators may read it"
key_check() { (cd "$install_dir" && bounded_wine ./rdserver_ext.exe -check 2>&1 || true); }
key_check | grep -qF "$key_warning" || fail "-check did not warn of the added, readable key"
old_code="$(product_code "$msi")" new_code="$(product_code "$newer")"
[ "$old_code" != "$new_code" ] || fail "both packages have the product code $old_code"
expected_port="$(first_free_port $edited_port)"
bounded_wine msiexec /i "$newer" /qn || fail "msiexec /i of the newer package failed ($?)"
product_registered "$new_code" || fail "the newer product is not registered"
product_registered "$old_code" && fail "the older product is still registered beside the newer one"
cmp -s "$work/edited.ini" "$install_dir/config.ini" \
  || fail "the upgrade changed config.ini: $(diff "$work/edited.ini" "$install_dir/config.ini")"
cmp -s "$work/added.pem" "$install_dir/ssl_localhost.pem" || fail "the upgrade changed ssl_localhost.pem"
port="$(wait_for_discovery $edited_port https)"
[ "$port" = "$expected_port" ] || fail "HTTPS listens on $port, the first free port from $edited_port was $expected_port"
service_running || fail "$service is not running after the upgrade"
echo "discovery answered over HTTPS on port $port after the upgrade"

# What the service writes beside itself goes with it; what the administrator added stays.
touch "$install_dir/rdserver_ext.log" "$install_dir/rdserver_ext.log.1" \
      "$install_dir/rdserver_ext_error.log"
echo "uninstall"
bounded_wine msiexec /x "$newer" /qn || fail "msiexec /x failed ($?)"
left="$(ls -A "$install_dir" 2>&1)"
[ "$left" = ssl_localhost.pem ] || fail "left behind in $install_dir: $left"
product_registered "$new_code" && fail "the product is still registered"
bounded_wine reg query "$event_source_key" > /dev/null 2>&1 && fail "the event source is still registered"
sc_output="$(WINEDEBUG=-all,err+sc bounded_wine sc query "$service" 2>&1)" \
  && fail "$service still exists: $sc_output"
grep -q "1060" <<< "$sc_output" || fail "sc query did not report a missing service: $sc_output"
[ -z "$(service_pids)" ] || fail "a service process is still running: $(service_pids)"
for first in $property_port $edited_port; do
  [ -z "$(our_ports $first $((first + 9)))" ] || fail "still listening on $(our_ports $first $((first + 9)) | tr '\n' ' ')"
done
echo "nothing left behind but the added certificate"
