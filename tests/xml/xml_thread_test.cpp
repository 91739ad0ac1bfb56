#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "xml/xml_parser.h"
#include "xml_test_util.h"

// Separate trees on separate threads share only the read-only tables and the
// empty node; run under ThreadSanitizer this shows there is no other sharing.
TEST(XmlThreads, SeparateDocumentsParseInParallel) {
    constexpr int kThreads = 4;
    constexpr int kRounds = 300;
    std::vector<std::string> failures(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            const std::string id = std::to_string(t);
            const std::string document =
                "<?xml version=\"1.0\"?>\n<RDService status=\"READY\" info=\"model " + id +
                " &amp; more\">\n  <!-- c -->\n  <Interface id=\"CAPTURE\" path=\"/rd/capture\"/>"
                "\n  <Interface id=\"DEVICEINFO\" path=\"/rd/info\"/>\n  <![CDATA[x]]> text &#65;\n"
                "</RDService>";
            const std::string expectedInfo = "model " + id + " & more";
            for (int round = 0; round < kRounds; ++round) {
                XmlParseStatus status;
                const XmlNodeRef service = parseXmlText(document.c_str(), &status, "RDService");
                const XmlNodeRef missing = service.findChild("nothing");
                const std::string text = xml_test::formatted(service);
                if (status.code != XmlParseCode::None ||
                    expectedInfo != service.attributeValue("info") || !missing.isEmpty() ||
                    service.childCount() != 2 || text.empty()) {
                    failures[static_cast<std::size_t>(t)] = "round " + std::to_string(round);
                    return;
                }
                // Also parse an erroneous document, which releases a partial tree.
                if (!parseXmlText("<a><b>&bad;</b></a>", &status, nullptr).isEmpty()) {
                    failures[static_cast<std::size_t>(t)] = "error round " + std::to_string(round);
                    return;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ("", failures[static_cast<std::size_t>(t)]) << t;
}
