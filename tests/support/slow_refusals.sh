#!/usr/bin/env bash
# Runs a command in a network namespace of its own where every refused
# connect to a loopback port 11100-11120 takes DELAY_MS, as a refused
# loopback connect does on Windows (the stack retries the SYN after the
# reset). Uses shared/tools/slow-refusal beside the project, iptables-legacy
# and NFQUEUE; needs root.
#
#   tests/support/slow_refusals.sh DELAY_MS COMMAND [ARG...]
#
# Exits with the command's status, or 77 (with the reason on stderr) when the
# namespace or the tool cannot be had here.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
delay_ms="$1"
shift
tool_source="${SLOW_REFUSAL_SOURCE:-$root/../shared/tools/slow-refusal/slow_refusal.c}"
queue=7
# How long the tool holds resets at most, whatever the command does.
tool_seconds=900

unavailable() { echo "slow refusals unavailable: $*" >&2; exit 77; }
[ "$(id -u)" = 0 ] || unavailable "not root"
[ -f "$tool_source" ] || unavailable "no $tool_source"
for tool in unshare ip iptables-legacy ip6tables-legacy gcc; do
  command -v "$tool" > /dev/null || unavailable "no $tool"
done
[ -f /usr/include/libnetfilter_queue/libnetfilter_queue.h ] || unavailable "no libnetfilter-queue-dev"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
gcc -O2 -o "$work/slow_refusal" "$tool_source" -lnetfilter_queue || unavailable "the tool does not build"

# Inside the namespace: loopback up, the rules, the tool, then the command.
export SLOW_REFUSAL_TOOL="$work/slow_refusal" SLOW_REFUSAL_QUEUE="$queue" \
  SLOW_REFUSAL_DELAY_MS="$delay_ms" SLOW_REFUSAL_SECONDS="$tool_seconds"
unshare --net bash -c '
  set -euo pipefail
  ip link set lo up
  for t in iptables-legacy ip6tables-legacy; do
    $t -A OUTPUT -o lo -p tcp --sport 11100:11120 --tcp-flags RST RST \
      -j NFQUEUE --queue-num "$SLOW_REFUSAL_QUEUE"
  done
  "$SLOW_REFUSAL_TOOL" "$SLOW_REFUSAL_QUEUE" "$SLOW_REFUSAL_DELAY_MS" "$SLOW_REFUSAL_SECONDS" \
    > /dev/null 2>&1 &
  tool_pid=$!
  trap "kill $tool_pid 2> /dev/null || true; wait $tool_pid 2> /dev/null || true" EXIT
  # The tool is ready once a refused connect takes the delay.
  for _ in $(seq 1 50); do
    started=$(date +%s%N)
    (exec 3<> /dev/tcp/127.0.0.1/11120) 2> /dev/null || true
    [ $(( ($(date +%s%N) - started) / 1000000 )) -ge $((SLOW_REFUSAL_DELAY_MS / 2)) ] && break
    sleep 0.1
  done
  "$@"
' slow-refusals "$@"
