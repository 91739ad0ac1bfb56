// What one forward may take of the process: a place among the forwards, a
// body under its cap, buffers under the process's budget. Whatever is
// refused is refused whole: the upstream never sees any of it.
#include <gtest/gtest.h>

#include <string>

#include "rd/rd_documents.h"
#include "rd/rd_request_handler.h"
#include "support/loopback.h"
#include "support/rd_answer.h"
#include "support/scripted_upstream.h"
#include "support/temp_folder.h"
#include "support/test_server.h"

using testing_support::pidData;
using testing_support::rdAnswer;

namespace {

const std::string kDeviceAnswer(8 * 1024, 'a');

std::string deviceAnswers(const std::string& request) {
    if (testing_support::requestMethod(request) == "RDSERVICE") {
        return testing_support::httpAnswer(
            rdServiceDocument("READY", std::string(kDefaultDeviceModel) + " " + kServiceMarker));
    }
    return testing_support::httpAnswer(kDeviceAnswer);
}

struct Case {
    const char* name;
    std::size_t budgetBytes;
    int places;
    const char* method;
    std::string headers;
    std::string body;
    std::string expectedBody;
    int captures;  // how many CAPTUREs reach the upstream
};

TEST(ForwardCapacity, RefusalsAreWholeAndAtOnce) {
    const std::string body(6 * 1024, 'b');
    const std::string length = "Content-Length: " + std::to_string(body.size()) + "\r\n";
    const std::string answer = kDeviceAnswer;
    const Case cases[] = {
        {"fits", 64 * 1024, 4, "CAPTURE", length, body, answer, 1},
        {"body over the budget", 4 * 1024, 4, "CAPTURE", length, body,
         pidData(5, "RDSERVICE_NOT_AVAILABLE"), 0},
        {"answer over the budget", 12 * 1024, 4, "CAPTURE", length, body,
         pidData(5, "RDSERVICE_NOT_AVAILABLE"), 1},
        {"no place free", 64 * 1024, 0, "CAPTURE", length, body,
         pidData(5, "RDSERVICE_NOT_AVAILABLE"), 0},
        {"device info over the budget", 4 * 1024, 4, "DEVICEINFO", "", "",
         pidData(5, "RDSERVICE_NOT_AVAILABLE"), 0},
    };
    for (const Case& c : cases) {
        testing_support::ScriptedUpstream device(0, deviceAnswers);
        testing_support::TempFolder data;
        ForwardingOptions options;
        options.dataBaseFolder = data.path().string();
        options.discovery.firstPort = options.discovery.lastPort = device.port();
        options.bufferBudgetBytes = c.budgetBytes;
        options.maxConcurrentForwards = c.places;
        RDSWrapperRestfulRequestHandler handler(options);
        testing_support::TestServer server;
        server.server().addHandler("/", &handler);
        const std::string path = c.method == std::string("CAPTURE") ? "/rd/capture" : "/rd/info";

        const std::string sent = testing_support::exchange(
            server.port(), std::string(c.method) + " " + path + " HTTP/1.1\r\nHost: x\r\n" +
                               c.headers + "\r\n" + c.body);
        EXPECT_EQ(rdAnswer("http://127.0.0.1:" + std::to_string(server.port()) + path, "(null)",
                           c.expectedBody),
                  sent)
            << c.name;
        EXPECT_EQ(c.captures, device.count("CAPTURE")) << c.name;
        for (const std::string& request : device.requests()) {
            if (testing_support::requestMethod(request) == "CAPTURE") {
                EXPECT_EQ(body, request.substr(request.find("\r\n\r\n") + 4)) << c.name;
            }
        }
    }
}

}  // namespace
