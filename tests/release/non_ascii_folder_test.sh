#!/usr/bin/env bash
# The Windows executable in a folder whose name is outside the ANSI code page
# (Cyrillic), under Wine: -check and -console read the config.ini beside it
# and change to the folder, -console serves on its port and creates the data
# folder, -check creates nothing, and -install registers a path the service
# manager can start (-start waits for the running state), -remove ends it.
#
#   non_ascii_folder_test.sh <rdserver_ext.exe> <config.ini>
set -euo pipefail
exe="$1" config="$2"
: "${WINEPREFIX:=$HOME/.wine}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
service=Lumetra_RD_ServiceExt
port=28570

work="$(mktemp -d)"
folder="$work/Программы"
pid=""
fail() { echo "FAIL: $*" >&2; exit 1; }
cleanup() {
  local status=$?
  if [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; then kill "$pid" 2> /dev/null || true; fi
  timeout 60 wine "$folder/rdserver_ext.exe" -remove 0 > /dev/null 2>&1 || true
  rm -rf "$work"
  exit $status
}
trap cleanup EXIT

mkdir -p "$folder/data"
cp "$exe" "$folder/"
sed "s/^SERVER_PORT_START = .*/SERVER_PORT_START = $port/" "$config" > "$folder/config.ini"
export RDSERVER_EXT_DATA_DIR="$(winepath -w "$folder/data")"
[ -z "$(ss -ltnH "sport = :$port")" ] || fail "port $port is taken"
cd "$work"

check="$(timeout 60 wine "$folder/rdserver_ext.exe" -check || true)"
grep -qF "Working directory changed to: $(winepath -w "$folder")" <<< "$check" || fail "-check: $check"
grep -qF "Port range: $port-$((port + 9))" <<< "$check" || fail "-check missed config.ini: $check"
grep -qF "Программы\\data/Lumetra-RD-Service-Wrapper/DeviceConfig.xml" <<< "$check" \
  || fail "-check: the data folder lost its name: $check"
[ -z "$(ls -A "$folder/data")" ] || fail "-check created $(ls -A "$folder/data")"

timeout 60 wine "$folder/rdserver_ext.exe" -console > "$work/console.txt" 2>&1 &
pid=$!
answer=""
for _ in $(seq 1 60); do
  answer="$(curl -s -m 2 -X RDSERVICE "http://127.0.0.1:$port/" || true)"
  [ -n "$answer" ] && break
  sleep 0.5
done
[[ "$answer" == '<RDService status="READY"'* ]] || fail "-console did not answer on $port: $(cat "$work/console.txt")"
[ -f "$folder/data/Lumetra-RD-Service-Wrapper/DeviceConfig.xml" ] || fail "no DeviceConfig.xml"
kill "$pid"; wait "$pid" 2> /dev/null || true; pid=""
for _ in $(seq 1 50); do [ -z "$(ss -ltnH "sport = :$port")" ] && break; sleep 0.2; done

timeout 60 wine "$folder/rdserver_ext.exe" -install 0 | grep -q "$service was installed successfully." \
  || fail "-install failed"
start="$(timeout 60 wine "$folder/rdserver_ext.exe" -start 0 || true)"
grep -q "$service was started successfully." <<< "$start" || fail "-start: $start"
curl -s -m 5 -X RDSERVICE "http://127.0.0.1:$port/" | grep -q '<RDService status="READY"' \
  || fail "the service does not answer on $port"
timeout 60 wine "$folder/rdserver_ext.exe" -remove 0 | grep -q "$service was removed successfully." \
  || fail "-remove failed"
echo "the Cyrillic install folder works for -check, -console, -install, -start and -remove"
