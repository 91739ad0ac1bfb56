// rdload: a small closed-loop HTTP load generator for the benchmarks in bench/.
//
// Every request uses a connection of its own, the way RD clients talk to the
// extension: connect to 127.0.0.1:PORT, send one request, read the answer
// (by its Content-Length, or up to the end of the stream), close. The time of
// a request runs from just before connect() to the last byte of the answer.
//
// Each of --concurrency workers (one thread each, blocking sockets) sends
// requests back to back until --count requests have been sent in all or
// --seconds have passed, whichever comes first. Every answer is checked: the
// status must be 200, the body must contain every --expect text and none of the
// --reject texts; anything else (including connection failures and time-outs)
// is an error. The last line printed is machine-readable:
//
//   RESULT label=L requests=N ok=N errors=N seconds=S rps=R p50_us=.. p90_us=..
//          p99_us=.. max_us=.. mean_us=.. first_error=...
//
// rps counts the good answers only.
//
// Build: g++ -O2 -std=c++17 -pthread rdload.cpp -o rdload
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    int port = 0;
    std::string method = "GET";
    std::string path = "/";
    std::string body;
    std::vector<std::string> expect;
    std::vector<std::string> reject;
    int concurrency = 1;
    long count = 1000;
    double seconds = 10.0;
    int timeoutMs = 10000;
    std::string label = "run";
};

void usage() {
    std::fprintf(stderr,
                 "Usage: rdload --port N [--method M] [--path P] [--body TEXT]\n"
                 "              [--expect TEXT]... [--reject TEXT]... [--concurrency C]\n"
                 "              [--count N] [--seconds S] [--timeout-ms MS] [--label L]\n");
}

bool parseOptions(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (i + 1 >= argc) {
            std::fprintf(stderr, "missing value for %s\n", name.c_str());
            return false;
        }
        const char* value = argv[++i];
        if (name == "--port") {
            o.port = std::atoi(value);
        } else if (name == "--method") {
            o.method = value;
        } else if (name == "--path") {
            o.path = value;
        } else if (name == "--body") {
            o.body = value;
        } else if (name == "--expect") {
            o.expect.emplace_back(value);
        } else if (name == "--reject") {
            o.reject.emplace_back(value);
        } else if (name == "--concurrency") {
            o.concurrency = std::atoi(value);
        } else if (name == "--count") {
            o.count = std::atol(value);
        } else if (name == "--seconds") {
            o.seconds = std::atof(value);
        } else if (name == "--timeout-ms") {
            o.timeoutMs = std::atoi(value);
        } else if (name == "--label") {
            o.label = value;
        } else {
            std::fprintf(stderr, "unknown option %s\n", name.c_str());
            return false;
        }
    }
    if (o.port <= 0 || o.port > 65535 || o.concurrency < 1 || o.concurrency > 256 || o.count < 1 ||
        o.seconds <= 0 || o.seconds > 600 || o.timeoutMs < 1) {
        return false;
    }
    return true;
}

std::string buildRequest(const Options& o) {
    std::string r = o.method + " " + o.path + " HTTP/1.1\r\n";
    r += "Host: 127.0.0.1:" + std::to_string(o.port) + "\r\n";
    r += "User-Agent: rdext-bench\r\nAccept: */*\r\nConnection: close\r\n";
    if (!o.body.empty()) {
        r += "Content-Type: text/xml\r\nContent-Length: " + std::to_string(o.body.size()) + "\r\n";
    }
    r += "\r\n" + o.body;
    return r;
}

// Case-insensitive search for a header line, returns its value or -1.
long contentLength(const std::string& head) {
    std::string lower(head);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) {
        return -1;
    }
    return std::strtol(lower.c_str() + at + 17, nullptr, 10);
}

// One request on a fresh connection. Returns an empty string when the answer
// is good, otherwise a short description of what was wrong.
std::string oneRequest(const Options& o, const sockaddr_in& address, const std::string& request) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return std::string("socket: ") + std::strerror(errno);
    }
    timeval tv{o.timeoutMs / 1000, (o.timeoutMs % 1000) * 1000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::string failure;
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        failure = std::string("connect: ") + std::strerror(errno);
        ::close(fd);
        return failure;
    }
    std::size_t sent = 0;
    while (sent < request.size()) {
        const ssize_t n = ::send(fd, request.data() + sent, request.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            failure = std::string("send: ") + std::strerror(errno);
            ::close(fd);
            return failure;
        }
        sent += static_cast<std::size_t>(n);
    }
    std::string answer;
    std::size_t headEnd = std::string::npos;
    long length = -1;
    char buffer[16384];
    for (;;) {
        if (headEnd != std::string::npos && length >= 0 &&
            answer.size() >= headEnd + 4 + static_cast<std::size_t>(length)) {
            break;
        }
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n == 0) {
            break;
        }
        if (n < 0) {
            failure = errno == EAGAIN || errno == EWOULDBLOCK
                          ? std::string("time-out")
                          : std::string("recv: ") + std::strerror(errno);
            break;
        }
        answer.append(buffer, static_cast<std::size_t>(n));
        if (headEnd == std::string::npos) {
            headEnd = answer.find("\r\n\r\n");
            if (headEnd != std::string::npos) {
                length = contentLength(answer.substr(0, headEnd + 2));
            }
        }
        if (answer.size() > (8u << 20)) {
            failure = "answer too long";
            break;
        }
    }
    ::close(fd);
    if (!failure.empty()) {
        return failure;
    }
    if (headEnd == std::string::npos) {
        return answer.empty() ? "empty answer" : "incomplete header";
    }
    if (answer.compare(0, 13, "HTTP/1.1 200 ") != 0 &&
        answer.compare(0, 13, "HTTP/1.0 200 ") != 0) {
        return "status: " + answer.substr(0, std::min<std::size_t>(answer.find("\r\n"), 40));
    }
    const std::string body = answer.substr(headEnd + 4);
    if (length >= 0 && body.size() != static_cast<std::size_t>(length)) {
        return "short body";
    }
    for (const std::string& text : o.reject) {
        if (body.find(text) != std::string::npos) {
            return "body contains " + text;
        }
    }
    for (const std::string& text : o.expect) {
        if (body.find(text) == std::string::npos) {
            return "body lacks " + text;
        }
    }
    return std::string();
}

long percentile(const std::vector<long>& sorted, double p) {
    if (sorted.empty()) {
        return 0;
    }
    // Nearest rank.
    std::size_t rank =
        static_cast<std::size_t>(p / 100.0 * static_cast<double>(sorted.size()) + 0.999999);
    rank = std::max<std::size_t>(1, std::min(rank, sorted.size()));
    return sorted[rank - 1];
}

std::string sanitize(std::string text) {
    for (char& c : text) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            c = '_';
        }
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parseOptions(argc, argv, o)) {
        usage();
        return 2;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(o.port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const std::string request = buildRequest(o);

    std::atomic<long> issued{0};
    std::atomic<long> errors{0};
    std::mutex mutex;
    std::vector<long> latencies;
    std::string firstError;
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::microseconds(static_cast<long>(o.seconds * 1e6));

    auto worker = [&]() {
        std::vector<long> mine;
        mine.reserve(65536);
        std::string myFirstError;
        long myErrors = 0;
        while (Clock::now() < deadline && issued.fetch_add(1) < o.count) {
            const auto t0 = Clock::now();
            const std::string failure = oneRequest(o, address, request);
            const auto t1 = Clock::now();
            if (failure.empty()) {
                mine.push_back(static_cast<long>(
                    std::chrono::duration_cast<std::chrono::microseconds>(t1 - t0).count()));
            } else {
                ++myErrors;
                if (myFirstError.empty()) {
                    myFirstError = failure;
                }
            }
        }
        std::lock_guard<std::mutex> lock(mutex);
        latencies.insert(latencies.end(), mine.begin(), mine.end());
        errors += myErrors;
        if (firstError.empty()) {
            firstError = myFirstError;
        }
    };
    std::vector<std::thread> threads;
    for (int i = 0; i < o.concurrency; ++i) {
        threads.emplace_back(worker);
    }
    for (std::thread& t : threads) {
        t.join();
    }
    const double seconds =
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start).count() / 1e6;
    std::sort(latencies.begin(), latencies.end());
    double mean = 0;
    for (long v : latencies) {
        mean += static_cast<double>(v);
    }
    if (!latencies.empty()) {
        mean /= static_cast<double>(latencies.size());
    }
    const long ok = static_cast<long>(latencies.size());
    std::printf(
        "RESULT label=%s requests=%ld ok=%ld errors=%ld seconds=%.3f rps=%.1f p50_us=%ld "
        "p90_us=%ld p99_us=%ld max_us=%ld mean_us=%.1f first_error=%s\n",
        o.label.c_str(), ok + errors.load(), ok, errors.load(), seconds,
        static_cast<double>(ok) / seconds, percentile(latencies, 50), percentile(latencies, 90),
        percentile(latencies, 99), latencies.empty() ? 0 : latencies.back(), mean,
        firstError.empty() ? "-" : sanitize(firstError).c_str());
    return 0;
}
