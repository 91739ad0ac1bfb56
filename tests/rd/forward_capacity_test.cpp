// What one forward may take of the process: a place among the forwards, a
// body under its cap, buffers under the process's budget. Whatever is
// refused is refused whole: the upstream never sees any of it.
#include <gtest/gtest.h>

#include <regex>
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
    // What the forward line says happened; "P" stands for the device's port.
    std::string outcome;
};

// The outcome part of the forward line, between the caller and the time.
std::string outcomeOf(const std::string& line, int devicePort) {
    std::smatch found;
    if (!std::regex_search(line, found, std::regex("origin: (.*), [0-9]+ ms\n"))) {
        return "no forward line in: " + line;
    }
    return std::regex_replace(found[1].str(), std::regex(std::to_string(devicePort)), "P");
}

TEST(ForwardCapacity, RefusalsAreWholeAndAtOnce) {
    const std::string body(6 * 1024, 'b');
    const std::string answer = kDeviceAnswer;
    const std::string notAvailable = pidData(5, "RDSERVICE_NOT_AVAILABLE");
    const std::string spent = "refused, buffer budget spent, errCode 5";
    const Case cases[] = {
        {"fits", 64 * 1024, 4, "CAPTURE", body, answer, 1, "upstream port P, relayed status 200"},
        {"body over the budget", 4 * 1024, 4, "CAPTURE", body, notAvailable, 0, spent},
        {"answer over the budget", 12 * 1024, 4, "CAPTURE", body, notAvailable, 1,
         "upstream port P, " + spent},
        {"no place free", 64 * 1024, 0, "CAPTURE", body, notAvailable, 0,
         "refused, every forward place taken, errCode 5"},
        {"device info over the budget", 4 * 1024, 4, "DEVICEINFO", "", notAvailable, 0,
         "upstream port P, " + spent},
        // A discovery answer is held like any other: one that does not fit
        // identifies nothing, and nothing is relayed or forwarded.
        {"discovery answer over the budget", 128, 4, "DEVICEINFO", "", notAvailable, 0, spent},
        {"relayed discovery over the budget", 128, 4, "GET", "", notAvailable, 0, spent},
    };
    for (const Case& c : cases) {
        testing_support::ScriptedUpstream device(
            0, testing_support::deviceNaming(kDefaultDeviceModel, kDeviceAnswer));
        testing_support::TempFolder data;
        ForwardingOptions options;
        options.dataBaseFolder = data.path().string();
        options.discovery.firstPort = options.discovery.lastPort = device.port();
        options.limits.bufferBudgetBytes = c.budgetBytes;
        options.limits.quickAnswerWorkers = options.limits.engineWorkers - c.places;
        testing_support::HandlerServer server(options);
        const std::string method = c.method;
        const std::string path = method == "CAPTURE" ? "/rd/capture"
                                 : method == "GET"   ? "/rdservice"
                                                     : "/rd/info";
        testing::internal::CaptureStdout();
        const std::string sent = server.send(c.method, path, "Host: x\r\n", c.body);
        EXPECT_EQ(rdAnswer(server.location(path), "(null)", c.expectedBody), sent) << c.name;
        EXPECT_EQ(c.outcome, outcomeOf(testing::internal::GetCapturedStdout(), device.port()))
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
