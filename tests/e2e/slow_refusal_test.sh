#!/usr/bin/env bash
# Discovery where refused connects are slow (run by tests/support/slow_refusals.sh,
# inside its network namespace): a device on 11110 above ten closed ports,
# then no device at all, and -check without a device; each must answer well
# within the 1 s discovery grace although every refusal takes seconds.
#
#   slow_refusal_test.sh PROGRAM_DIR   (holding rdserver_ext and rdservice_sim)
set -euo pipefail
programs="$1"
work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2> /dev/null || true; wait "$pid" 2> /dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }
# Answers slower than this mean a refused port was waited for.
limit_ms=600

wait_line() {  # file text pid: bounded wait until the process prints the text
  for _ in $(seq 1 100); do
    grep -q "$2" "$1" 2> /dev/null && return 0
    kill -0 "$3" 2> /dev/null || fail "$(cat "$1")"
    sleep 0.1
  done
  fail "no \"$2\" in $1"
}

# request VERB PATH EXPECTED: one request through the extension; prints its milliseconds.
request() {
  local seconds
  seconds="$(curl -s -o "$work/body" -w '%{time_total}' --max-time 30 -X "$1" "http://127.0.0.1:12100$2")"
  grep -q "$3" "$work/body" || fail "$1 $2 answered $(cat "$work/body")"
  awk -v s="$seconds" 'BEGIN { printf "%d\n", s * 1000 }'
}

mkdir -p "$work/ext" "$work/data"
cp "$programs/rdserver_ext" "$work/ext/"
printf 'SERVER_PORT_START = 12100\n' > "$work/ext/config.ini"
export RDSERVER_EXT_DATA_DIR="$work/data"

"$programs/rdservice_sim" --port 11110 > "$work/sim.log" 2>&1 &
sim_pid=$!
pids+=("$sim_pid")
wait_line "$work/sim.log" "Simulated RD service at" "$sim_pid"
(cd "$work/ext" && exec ./rdserver_ext -console) > "$work/ext.log" 2>&1 &
pids+=("$!")
wait_line "$work/ext.log" "Web service hosted at" "$!"

for layout in "device on 11110" "no device"; do
  expected='<DeviceInfo'
  if [ "$layout" = "no device" ]; then
    kill "$sim_pid"; wait "$sim_pid" 2> /dev/null || true
    expected='errCode="5"'
  fi
  for _ in 1 2 3; do
    ms="$(request DEVICEINFO /rd/info "$expected")"
    echo "$layout: DEVICEINFO answered in $ms ms"
    [ "$ms" -lt "$limit_ms" ] || fail "$layout: $ms ms, a refused port was waited for"
  done
done

started=$(date +%s%N)
(cd "$work/ext" && ./rdserver_ext -check) > "$work/check.log" 2>&1 && fail "-check found a device"
ms=$(( ($(date +%s%N) - started) / 1000000 ))
echo "-check without a device: $ms ms"
grep -q "11110: nothing listening (no listener listed)" "$work/check.log" || fail "$(cat "$work/check.log")"
[ "$ms" -lt 1500 ] || fail "-check took $ms ms"
echo "slow refusals: every answer within $limit_ms ms"
