// Parse time of one element with many items, for several item counts: many
// children ("<c a='1'/>" each) and one text cut by many comments ("t<!--c-->"
// each, which the parser joins into one text). A parser that grows its
// arrays and texts geometrically takes time in proportion to the count, so
// each doubling of the count should roughly double the time; the last column
// shows that ratio. Prints figures only and asserts nothing.
//
// Built and run by bench/xml_parse; usage: xml_parse [count...]
// (default 100000 200000 400000).

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "xml/xml_parser.h"

namespace {

// Best of this many runs, to keep the noise of a shared machine out.
constexpr int kRuns = 5;

std::string documentOf(const char* item, long count) {
    std::string text = "<r>";
    for (long i = 0; i < count; ++i) text += item;
    text += "</r>";
    return text;
}

double bestParseSeconds(const std::string& text) {
    double best = 1e9;
    for (int run = 0; run < kRuns; ++run) {
        XmlParseStatus status;
        const auto start = std::chrono::steady_clock::now();
        const XmlNodeRef node = parseXmlText(text.c_str(), &status);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        if (status.code != XmlParseCode::None || node.isEmpty()) {
            std::fprintf(stderr, "parse failed with code %d\n", static_cast<int>(status.code));
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

    for (const char* item : {"<c a='1'/>", "t<!--c-->"}) {
        std::printf("items %-12s %10s %12s %10s\n", item, "count", "parse (s)", "x previous");
        double previous = 0;
        for (long count : counts) {
            const double seconds = bestParseSeconds(documentOf(item, count));
            std::printf("%18s %10ld %12.4f", "", count, seconds);
            if (previous > 0) {
                std::printf(" %10.2f\n", seconds / previous);
            } else {
                std::printf(" %10s\n", "-");
            }
            previous = seconds;
        }
    }
    return 0;
}
