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
#include "support/rd_device.h"

using testing_support::pidData;
using testing_support::rdAnswer;

namespace {

const std::string kDeviceAnswer(8 * 1024, 'a');

struct Case {
    const char* name;
    std::size_t budgetBytes;
    int places;
    const char* method;
    std::string body;
    std::string expectedBody;
    int captures;  // how many CAPTUREs reach the upstream
};

TEST(ForwardCapacity, RefusalsAreWholeAndAtOnce) {
    const std::string body(6 * 1024, 'b');
    const std::string answer = kDeviceAnswer;
    const Case cases[] = {
        {"fits", 64 * 1024, 4, "CAPTURE", body, answer, 1},
        {"body over the budget", 4 * 1024, 4, "CAPTURE", body,
         pidData(5, "RDSERVICE_NOT_AVAILABLE"), 0},
        {"answer over the budget", 12 * 1024, 4, "CAPTURE", body,
         pidData(5, "RDSERVICE_NOT_AVAILABLE"), 1},
        {"no place free", 64 * 1024, 0, "CAPTURE", body, pidData(5, "RDSERVICE_NOT_AVAILABLE"), 0},
        {"device info over the budget", 4 * 1024, 4, "DEVICEINFO", "",
         pidData(5, "RDSERVICE_NOT_AVAILABLE"), 0},
    };
    for (const Case& c : cases) {
        testing_support::ScriptedUpstream device(
            0, testing_support::deviceNaming(kDefaultDeviceModel, kDeviceAnswer));
        testing_support::TempFolder data;
        ForwardingOptions options;
        options.dataBaseFolder = data.path().string();
        options.discovery.firstPort = options.discovery.lastPort = device.port();
        options.bufferBudgetBytes = c.budgetBytes;
        options.maxConcurrentForwards = c.places;
        testing_support::HandlerServer server(options);
        const std::string path = c.method == std::string("CAPTURE") ? "/rd/capture" : "/rd/info";
        EXPECT_EQ(rdAnswer(server.location(path), "(null)", c.expectedBody),
                  server.send(c.method, path, "Host: x\r\n", c.body))
            << c.name;
        EXPECT_EQ(c.captures, device.count("CAPTURE")) << c.name;
        for (const std::string& request : device.requests()) {
            if (testing_support::requestMethod(request) == "CAPTURE") {
                EXPECT_EQ(body, testing_support::bodyOf(request)) << c.name;
            }
        }
    }
}

}  // namespace
