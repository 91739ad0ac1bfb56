#include "sim/sim_options.h"

#include <cstdlib>
#include <cstring>

const char* const kSimUsage =
    "Usage: rdservice_sim [--port N] [--delay-ms N] [--status N] [--garbage] [--hang]\n"
    "                     [--info TEXT] [--service-status TEXT] [--capture-bytes N]\n";

namespace {

bool parseNumber(const char* text, int low, int high, int& out) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < low || value > high) {
        return false;
    }
    out = static_cast<int>(value);
    return true;
}

}  // namespace

bool parseSimOptions(int argc, char** argv, SimOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        bool ok = true;
        if (name == "--garbage") {
            options.garbage = true;
            continue;
        }
        if (name == "--hang") {
            options.hang = true;
            continue;
        }
        if (value == nullptr) {
            error = "missing value for " + name;
            return false;
        }
        ++i;
        if (name == "--port") {
            ok = parseNumber(value, 1, 65535, options.port);
        } else if (name == "--delay-ms") {
            ok = parseNumber(value, 0, 600000, options.delayMs);
        } else if (name == "--status") {
            ok = parseNumber(value, 100, 999, options.httpStatus);
        } else if (name == "--capture-bytes") {
            ok = parseNumber(value, 0, 64 * 1024 * 1024, options.captureBytes);
        } else if (name == "--info") {
            options.info = value;
        } else if (name == "--service-status") {
            options.serviceStatus = value;
        } else {
            error = "unknown option " + name;
            return false;
        }
        if (!ok) {
            error = "bad value for " + name + ": " + value;
            return false;
        }
    }
    return true;
}
