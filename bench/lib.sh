# Shared helpers of the benchmark scripts in bench/ (sourced, not run).
#
# Everything here talks to 127.0.0.1 only. Every process a script starts is
# recorded with bench_track and stopped by its own pid in bench_cleanup.

bench_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
bench_build="$bench_root/build/bench-linux"
bench_bin="$bench_build/src"
# BENCH_PROGRAMS=DIR measures the rdserver_ext and rdservice_sim found in DIR
# (another build, for example of an earlier commit) instead of building them.
[ -n "${BENCH_PROGRAMS:-}" ] && bench_bin="$BENCH_PROGRAMS"
bench_tmp=""
bench_pids=()

bench_log() { printf '[%s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }
bench_die() { bench_log "error: $*"; exit 1; }

# shellcheck source=scripts/packages.sh
source "$bench_root/scripts/packages.sh"

# Release build of the extension and the simulated device in build/bench-linux.
bench_build_programs() {
  if [ -n "${BENCH_PROGRAMS:-}" ]; then
    [ -x "$bench_bin/rdserver_ext" ] && [ -x "$bench_bin/rdservice_sim" ] \
      || bench_die "no rdserver_ext and rdservice_sim in BENCH_PROGRAMS=$bench_bin"
    bench_log "measuring the programs in $bench_bin"
    return 0
  fi
  if [ ! -e "$bench_root/.deps/src/civetweb/.fetched" ] || ! command -v cmake >/dev/null ||
     ! command -v ninja >/dev/null; then
    bench_log "running scripts/setup (build tools and sources)"
    "$bench_root/scripts/setup"
  fi
  mkdir -p "$bench_build"
  local log="$bench_build/bench-build.log"
  bench_log "building rdserver_ext and rdservice_sim (Release) in build/bench-linux"
  if [ ! -e "$bench_build/CMakeCache.txt" ]; then
    (cd "$bench_root" && cmake --preset linux -B "$bench_build" -DCMAKE_BUILD_TYPE=Release) \
      > "$log" 2>&1 || { tail -40 "$log"; bench_die "configure failed"; }
  fi
  cmake --build "$bench_build" --target rdserver_ext rdservice_sim -j2 >> "$log" 2>&1 \
    || { tail -40 "$log"; bench_die "build failed"; }
}

# The load generator of bench/rdload.cpp, rebuilt when its source changed.
bench_build_rdload() {
  install_missing_packages g++
  local src="$bench_root/bench/rdload.cpp" out="$bench_build/bench/rdload"
  mkdir -p "$bench_build/bench"
  if [ ! -x "$out" ] || [ "$src" -nt "$out" ]; then
    bench_log "building bench/rdload.cpp"
    g++ -O2 -std=c++17 -Wall -Wextra -pthread "$src" -o "$out" || bench_die "rdload build failed"
  fi
  rdload="$out"
}

bench_make_tmp() {
  bench_tmp="$(mktemp -d /tmp/rdext-bench.XXXXXX)"
}

bench_track() { bench_pids+=("$1"); }

# Stops every tracked process by its pid (TERM, then KILL after 5 s) and
# removes the temp folder. Installed as the EXIT trap by the scripts.
bench_cleanup() {
  local pid i
  for pid in "${bench_pids[@]}"; do
    kill -TERM "$pid" 2>/dev/null || true
  done
  for pid in "${bench_pids[@]}"; do
    for i in $(seq 1 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
      bench_log "pid $pid did not stop, killing it"
      kill -KILL "$pid" 2>/dev/null || true
    fi
    wait "$pid" 2>/dev/null || true
  done
  bench_pids=()
  if [ -n "$bench_tmp" ] && [ -d "$bench_tmp" ]; then
    rm -rf "$bench_tmp"
  fi
}

# Stops one tracked process now (same steps as bench_cleanup).
bench_stop() {
  local pid="$1" i keep=()
  kill -TERM "$pid" 2>/dev/null || true
  for i in $(seq 1 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null && kill -KILL "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
  for i in "${bench_pids[@]}"; do
    [ "$i" = "$pid" ] || keep+=("$i")
  done
  bench_pids=("${keep[@]}")
}

# True when something listens on 127.0.0.1:PORT (or any address:PORT).
bench_port_busy() {
  local port="$1"
  if command -v ss >/dev/null; then
    [ -n "$(ss -Hltn "sport = :$port" 2>/dev/null)" ]
  else
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null
  fi
}

# Lists the busy ports among FROM..TO.
bench_busy_ports() {
  local p busy=()
  for p in $(seq "$1" "$2"); do
    bench_port_busy "$p" && busy+=("$p")
  done
  echo "${busy[*]}"
}

# bench_wait_ports_free FROM TO WHAT: waits (at most 3 minutes) until no one
# listens on FROM..TO; others' tests use these ports at times.
bench_wait_ports_free() {
  local from="$1" to="$2" what="$3" busy i
  for i in $(seq 1 36); do
    busy="$(bench_busy_ports "$from" "$to")"
    [ -z "$busy" ] && return 0
    bench_log "ports $busy ($what) are in use by another program; retrying in 5 s ($i/36)"
    sleep 5
  done
  bench_die "ports $busy are still in use; try again later"
}

# First port P >= FROM such that P..P+COUNT-1 are all free.
bench_free_range() {
  local from="$1" count="$2" p
  for p in $(seq "$from" 10 $((from + 2000))); do
    if [ -z "$(bench_busy_ports "$p" $((p + count - 1)))" ]; then
      echo "$p"
      return 0
    fi
  done
  return 1
}

# bench_wait_line FILE PATTERN PID: waits (at most 10 s) for PATTERN in FILE.
bench_wait_line() {
  local file="$1" pattern="$2" pid="$3" i
  for i in $(seq 1 100); do
    grep -q -- "$pattern" "$file" 2>/dev/null && return 0
    kill -0 "$pid" 2>/dev/null || { cat "$file" >&2; bench_die "process $pid exited"; }
    sleep 0.1
  done
  cat "$file" >&2
  bench_die "no '$pattern' in $file"
}

# bench_start_extension PORT_START NAME: runs a copy of the extension in
# $bench_tmp/NAME with its own config.ini; sets ext_pid and ext_port.
bench_start_extension() {
  local start="$1" name="$2" dir="$bench_tmp/$2"
  mkdir -p "$dir"
  cp "$bench_bin/rdserver_ext" "$dir/"
  printf 'SERVER_PORT_START = %s\n' "$start" > "$dir/config.ini"
  "$dir/rdserver_ext" -console > "$dir/stdout.log" 2>&1 &
  ext_pid=$!
  bench_track "$ext_pid"
  bench_wait_line "$dir/stdout.log" "Web service hosted at" "$ext_pid"
  ext_port="$(sed -n 's|.*Web service hosted at http://127\.0\.0\.1:\([0-9]*\).*|\1|p' \
    "$dir/stdout.log" | head -n1)"
  [ -n "$ext_port" ] || bench_die "cannot read the extension's port"
}

# bench_start_sim PORT NAME: runs the simulated device; sets sim_pid.
bench_start_sim() {
  local port="$1" log="$bench_tmp/$2.log"
  "$bench_bin/rdservice_sim" --port "$port" > "$log" 2>&1 &
  sim_pid=$!
  bench_track "$sim_pid"
  bench_wait_line "$log" "Simulated RD service at" "$sim_pid"
}

# bench_field LINE NAME: value of NAME=... in a "RESULT ..." line.
bench_field() {
  local line="$1" name="$2"
  sed -n "s/.* $name=\([^ ]*\).*/\1/p" <<< " $line"
}

# bench_ratio A B: A / B with two decimals, or "n/a".
bench_ratio() {
  awk -v a="$1" -v b="$2" 'BEGIN { if (b + 0 == 0) print "n/a"; else printf "%.2f", a / b }'
}

bench_machine_line() {
  local cpu
  cpu="$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n1)"
  echo "machine: $(nproc) cores, ${cpu:-unknown cpu}, $(uname -sr); load average $(cut -d' ' -f1-3 /proc/loadavg)"
}

# Context switches of every thread of PID so far (voluntary and not): each
# is one wake-up of a sleeping thread or one preemption.
bench_context_switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null |
    awk '/^(voluntary|nonvoluntary)_ctxt_switches/ { n += $2 } END { print n + 0 }'
}

# bench_status_field PID NAME: a field of /proc/PID/status (VmRSS in kB, Threads).
bench_status_field() {
  awk -v name="$2:" '$1 == name { print $2 }' /proc/"$1"/status
}

# Sockets in TIME_WAIT on this machine: each holds a local port for a while,
# and a crowded port range makes every new connection (refused ones too)
# search longer for a free port.
bench_time_wait_count() {
  if command -v ss >/dev/null; then
    ss -Htan state time-wait 2>/dev/null | wc -l
  else
    echo "?"
  fi
}

# bench_wait_time_wait_below LIMIT: waits (at most 75 s: a TIME_WAIT socket
# lives 60 s) until fewer than LIMIT sockets are in TIME_WAIT; others' runs
# leave them too. Returns 1 if the count stayed higher.
bench_wait_time_wait_below() {
  local limit="$1" i n
  for i in $(seq 1 15); do
    n="$(bench_time_wait_count)"
    [ "$n" = "?" ] || [ "$n" -lt "$limit" ] && return 0
    bench_log "$n sockets in TIME_WAIT; waiting for fewer than $limit ($i/15)"
    sleep 5
  done
  return 1
}
