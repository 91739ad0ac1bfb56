-- wrk script for bench/discovery: one request per connection.
--
--   wrk ... http://127.0.0.1:PORT/ -s discovery.lua -- METHOD LABEL
--
-- METHOD is the verb of the request line (RDSERVICE for the extension, GET for
-- the reference server). wrk only knows the standard verbs: wrk.method and
-- wrk.format refuse the others, so the raw request text is built here and
-- returned from request(). Before the threads start, wrk also runs the first
-- thread's request() once through its own request parser, which refuses an
-- unknown verb too; that one call (its text is never sent) gets the same
-- request with GET, and every request actually sent uses METHOD.
--
-- Every answer is counted by its status; the summary line "RESULT ..." printed
-- by done() is what bench/discovery reads.

local method = "RDSERVICE"
local label = "run"
local raw = nil
local checked_text = nil
local check_pending = false

local threads = {}

-- setup() runs in wrk's main script state, before init() of the same thread.
function setup(thread)
   table.insert(threads, thread)
   thread:set("thread_number", #threads)
end

function init(args)
   method = args[1] or method
   label = args[2] or label
   run_label = label   -- a global, so done() can read it through thread:get()
   local host = wrk.host
   if wrk.port then
      host = host .. ":" .. wrk.port
   end
   local rest = " / HTTP/1.1\r\n" ..
         "Host: " .. host .. "\r\n" ..
         "User-Agent: rdext-bench\r\n" ..
         "Accept: */*\r\n" ..
         "Connection: close\r\n\r\n"
   raw = method .. rest
   checked_text = "GET" .. rest
   check_pending = (thread_number == 1)
   ok = 0
   bad = 0
   bytes = 0
end

function request()
   if check_pending then
      check_pending = false
      return checked_text
   end
   return raw
end

function response(status, headers, body)
   if status == 200 then
      ok = ok + 1
   else
      bad = bad + 1
   end
   bytes = bytes + #body
end

function done(summary, latency, requests)
   local ok_total, bad_total, body_total = 0, 0, 0
   if threads[1] then
      label = threads[1]:get("run_label") or label
   end
   for _, t in ipairs(threads) do
      ok_total = ok_total + t:get("ok")
      bad_total = bad_total + t:get("bad")
      body_total = body_total + t:get("bytes")
   end
   local e = summary.errors
   local seconds = summary.duration / 1e6
   io.write(string.format(
      "RESULT label=%s requests=%d ok=%d bad_status=%d body_bytes=%d seconds=%.3f rps=%.1f " ..
      "p50_us=%d p90_us=%d p99_us=%d max_us=%d mean_us=%.1f " ..
      "err_connect=%d err_read=%d err_write=%d err_status=%d err_timeout=%d\n",
      label, summary.requests, ok_total, bad_total, body_total, seconds,
      ok_total / seconds,
      latency:percentile(50), latency:percentile(90), latency:percentile(99), latency.max,
      latency.mean,
      e.connect, e.read, e.write, e.status, e.timeout))
end
