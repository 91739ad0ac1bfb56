// Parse time of one element with many children, for several child counts.
// A parser whose arrays grow geometrically takes time in proportion to the
// count, so each doubling of the count should roughly double the time; the
// last column shows that ratio. Prints figures only and asserts nothing.
//
// Built and run by bench/xml_parse; usage: xml_parse [count...]
// (default 100000 200000 400000).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "config/xml_parser.h"

namespace {

// Best of this many runs, to keep the noise of a shared machine out.
constexpr int kRuns = 5;

std::string documentWithChildren(long count) {
    std::string text = "<r>";
    text.reserve(static_cast<std::size_t>(count) * 10 + 8);
    for (long i = 0; i < count; ++i) text += "<c a='1'/>";
    text += "</r>";
    return text;
}

double bestParseSeconds(const std::string& text, long count) {
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        XmlParseStatus status;
        const auto start = std::chrono::steady_clock::now();
        const XmlNodeRef node = parseXmlText(text.c_str(), &status);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (status.code != XmlParseCode::None || node.childCount() != count) {
            std::fprintf(stderr, "parse of %ld children failed\n", count);
            std::exit(1);
        }
        best = std::min(best, took.count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<long> counts;
    for (int i = 1; i < argc; ++i) counts.push_back(std::atol(argv[i]));
    if (counts.empty()) counts = {100000, 200000, 400000};

    std::printf("%10s %12s %10s\n", "children", "parse (s)", "x previous");
    double previous = 0;
    for (long count : counts) {
        const double seconds = bestParseSeconds(documentWithChildren(count), count);
        if (previous > 0) {
            std::printf("%10ld %12.4f %10.2f\n", count, seconds, seconds / previous);
        } else {
            std::printf("%10ld %12.4f %10s\n", count, seconds, "-");
        }
        previous = seconds;
    }
    return 0;
}
