#include <gtest/gtest.h>

#include "rd/availability_report.h"

namespace {

using Sighting = DeviceAvailability::Sighting;

TEST(AvailabilityReportTest, AForwardSeesTheDeviceOnlyThroughDiscovery) {
    const struct {
        ForwardEnd end;
        int upstreamPort;
        Sighting expected;
    } cases[] = {
        {ForwardEnd::kRelayed, 11101, Sighting::kFound},
        {ForwardEnd::kUpstreamFailed, 11101, Sighting::kFound},  // found, then failed
        {ForwardEnd::kNoUpstreamFound, 0, Sighting::kNotFound},
        {ForwardEnd::kUpstreamNotTrusted, 11100, Sighting::kNotFound},  // port left out
        {ForwardEnd::kBudgetSpent, 0, Sighting::kNotAsked},
        {ForwardEnd::kOriginNotAllowed, 0, Sighting::kNotAsked},
        {ForwardEnd::kEveryPlaceTaken, 0, Sighting::kNotAsked},
    };
    for (const auto& c : cases) {
        ForwardOutcome outcome;
        outcome.end = c.end;
        outcome.upstreamPort = c.upstreamPort;
        EXPECT_EQ(c.expected, sightingOf(outcome)) << static_cast<int>(c.end);
    }
}

}  // namespace
