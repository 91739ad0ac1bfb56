#!/usr/bin/env bash
# TLS built into the Windows executable: the program alone in a folder with
# config.ini and a throw-away certificate (no DLL beside it), run with
# -console under Wine, answers discovery over HTTPS on the first free port
# from SERVER_PORT_START and over plain HTTP on the next one. The client is
# Linux curl, checking the certificate it is shown against the one made here.
#
#   https_test.sh <rdserver_ext.exe> <config.ini>
set -euo pipefail
exe="$1" config="$2"
: "${WINEPREFIX:=$HOME/.wine}"
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"

work="$(mktemp -d)"
program="$work/program"
# The program keeps its DeviceConfig.xml in the work folder, not the prefix's ProgramData.
export RDSERVER_EXT_DATA_DIR="$work"
pid=""

fail() { echo "FAIL: $*" >&2; [ ! -f "$program/output.txt" ] || cat "$program/output.txt" >&2; exit 1; }

cleanup() {
  local status=$? i
  if [ -n "$pid" ] && kill -0 "$pid" 2> /dev/null; then
    kill "$pid" 2> /dev/null || true
    for i in $(seq 1 100); do kill -0 "$pid" 2> /dev/null || break; sleep 0.2; done
    kill -9 "$pid" 2> /dev/null || true
  fi
  rm -rf "$work"
  exit $status
}
trap cleanup EXIT

# The first two ports from SERVER_PORT_START that nothing listens on.
free_ports() {
  local start port count=0
  start="$(sed -n 's/^SERVER_PORT_START = *\([0-9]*\).*/\1/p' "$config")"
  for port in $(seq "$start" $((start + 9))); do
    if [ -z "$(ss -ltnH "sport = :$port")" ]; then
      echo "$port"
      count=$((count + 1))
      [ $count -lt 2 ] || return 0
    fi
  done
  fail "fewer than two free ports from $start"
}

discovery() {  # discovery <curl arguments...>: the answer, or fails
  local answer
  answer="$(curl -s -m 20 -X RDSERVICE "$@")" || fail "curl $* failed"
  [[ "$answer" == '<RDService status="READY"'* ]] \
    && grep -qF '<Interface id="CAPTURE" path="/rd/capture" />' <<< "$answer" \
    || fail "curl $* answered: $answer"
}

mkdir "$program"
cp "$exe" "$config" "$program/"
openssl req -x509 -newkey rsa:2048 -nodes -subj /CN=localhost -days 2 \
  -addext "subjectAltName=IP:127.0.0.1,DNS:localhost" \
  -keyout "$work/key.pem" -out "$work/cert.pem" 2> /dev/null
cat "$work/cert.pem" "$work/key.pem" > "$program/ssl_localhost.pem"
[ -z "$(find "$program" -iname '*.dll')" ] || fail "DLLs beside the executable"

read -r -d '' https_port http_port < <(free_ports) || true
(cd "$program" && exec wine ./rdserver_ext.exe -console > output.txt 2>&1) &
pid=$!

# The program prints the ports it serves once the engine has started.
hosted=""
deadline=$((SECONDS + 90))
while [ $SECONDS -lt $deadline ] && [ -z "$hosted" ]; do
  kill -0 "$pid" 2> /dev/null || fail "the program ended"
  hosted="$(grep -o 'Web service hosted at .*' "$program/output.txt" || true)"
  [ -n "$hosted" ] || sleep 0.2
done
[ -n "$hosted" ] || fail "no \"Web service hosted\" line within 90 s"
echo "$hosted"
[[ "$hosted" == *"127.0.0.1:${https_port}s,127.0.0.1:${http_port}"* ]] \
  || fail "expected HTTPS on $https_port and HTTP on $http_port"

discovery --cacert "$work/cert.pem" "https://127.0.0.1:$https_port/"
echo "HTTPS discovery answered on $https_port"
discovery "http://127.0.0.1:$http_port/"
echo "HTTP discovery answered on $http_port"
