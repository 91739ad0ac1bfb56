#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "events/device_availability.h"
#include "events/event_reporter.h"

namespace {

using platform::EventLevel;
using Line = std::pair<EventLevel, std::string>;
using Record = std::tuple<EventLevel, std::uint32_t, std::string>;

std::uint32_t fakeNowMs = 0;
std::uint32_t fakeClock() { return fakeNowMs; }

struct FakeSink : platform::EventSink {
    std::vector<Line>& lines;
    std::vector<Record>& records;
    FakeSink(std::vector<Line>& l, std::vector<Record>& r) : lines(l), records(r) {}
    void printLine(EventLevel level, const std::string& text) override {
        lines.emplace_back(level, text);
    }
    void record(EventLevel level, std::uint32_t id, const std::string& text) override {
        records.emplace_back(level, id, text);
    }
};

struct Step {
    std::uint32_t atMs;
    EventId id;
    std::string text;
};

const std::string kHeld = " more of this event before this one were not recorded one by one)";
const EventLevel kInfo = EventLevel::kInformation, kWarn = EventLevel::kWarning;

TEST(EventReporterTest, LevelsIdsAndSummariesOfRepeats) {
    struct Case {
        const char* name;
        std::vector<Step> steps;
        std::vector<Record> expected;  // after the steps and a flush
    } cases[] = {
        {"each level with its id",
         {{0, EventId::kServiceStarted, "a"},
          {0, EventId::kPortsReserved, "b"},
          {0, EventId::kStartFailed, "c\nd"}},
         {{kInfo, 1000, "a"}, {kWarn, 2007, "b"}, {EventLevel::kError, 3000, "c\nd"}}},
        {"repeats in a minute held back, counted with the next",
         {{0, EventId::kDeviceLost, "1"},
          {10000, EventId::kDeviceLost, "2"},
          {59999, EventId::kDeviceLost, "3"},
          {60000, EventId::kDeviceLost, "4"}},
         {{kWarn, 2000, "1"}, {kWarn, 2000, "4\n(2" + kHeld}}},
        {"ids do not hold each other back",
         {{0, EventId::kDeviceLost, "x"}, {1, EventId::kDeviceFoundAgain, "y"}},
         {{kWarn, 2000, "x"}, {kInfo, 1002, "y"}}},
        {"the last repeats are recorded at the stop",
         {{0, EventId::kDeviceLost, "1"},
          {5, EventId::kDeviceLost, "2"},
          {9, EventId::kDeviceLost, "3"}},
         {{kWarn, 2000, "1"}, {kWarn, 2000, "3\n(1" + kHeld}}},
        {"a wrapping tick counter is still inside the minute",
         {{0xFFFFFF00u, EventId::kDeviceLost, "1"}, {0x100, EventId::kDeviceLost, "2"}},
         {{kWarn, 2000, "1"}, {kWarn, 2000, "2"}}},
    };
    for (const Case& c : cases) {
        std::vector<Line> lines;
        std::vector<Record> records;
        EventReporter reporter(std::make_unique<FakeSink>(lines, records), fakeClock);
        for (const Step& step : c.steps) {
            fakeNowMs = step.atMs;
            reporter.report(step.id, step.text);
        }
        reporter.flushSummaries();
        EXPECT_EQ(c.expected, records) << c.name;
        ASSERT_EQ(c.steps.size(), lines.size()) << c.name;  // every line is printed
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(Line(eventDefinition(c.steps[i].id).level, c.steps[i].text), lines[i]);
        }
    }
}

TEST(EventReporterTest, ForegroundPrintsOnlyTheLinesPrintedBefore) {
    EventReporter foreground;
    testing::internal::CaptureStdout();
    foreground.report(EventId::kServiceStarted, "not in the foreground");
    foreground.report(EventId::kPortStartNotConfigured, "Server port start");
    EXPECT_EQ("Server port start\n", testing::internal::GetCapturedStdout());
}

TEST(DeviceAvailabilityTest, OneEventPerChangeNeverPerForward) {
    using S = DeviceAvailability::Sighting;
    const std::optional<EventId> none;
    const std::vector<std::pair<S, std::optional<EventId>>> steps = {
        {S::kNotFound, none},
        {S::kFound, none},
        {S::kNotAsked, none},
        {S::kNotFound, EventId::kDeviceLost},
        {S::kNotFound, none},
        {S::kNotAsked, none},
        {S::kFound, EventId::kDeviceFoundAgain},
        {S::kFound, none},
    };
    DeviceAvailability availability;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        EXPECT_EQ(steps[i].second, availability.observe(steps[i].first)) << "step " << i;
    }
}

}  // namespace
