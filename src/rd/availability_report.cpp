#include "rd/availability_report.h"

#include <string>

#include "events/event_reporter.h"

DeviceAvailability::Sighting sightingOf(const ForwardOutcome& outcome) {
    // Its port is the listener left out, not a device found.
    if (outcome.end == ForwardEnd::kUpstreamNotTrusted)
        return DeviceAvailability::Sighting::kNotFound;
    if (outcome.upstreamPort > 0) return DeviceAvailability::Sighting::kFound;
    if (outcome.end == ForwardEnd::kNoUpstreamFound) return DeviceAvailability::Sighting::kNotFound;
    return DeviceAvailability::Sighting::kNotAsked;
}

void reportDeviceAvailability(DeviceAvailability& availability, const ForwardOutcome& outcome,
                              const DiscoveryOptions& discovery) {
    const std::optional<EventId> change = availability.observe(sightingOf(outcome));
    if (!change) return;
    // No byte of the request goes into the event: the Event Log would
    // interpret some of them.
    if (*change == EventId::kDeviceLost) {
        reportEvent(*change, "Forwards no longer find the device: no port of " +
                                 std::to_string(discovery.firstPort) + "-" +
                                 std::to_string(discovery.lastPort) +
                                 " identifies it, and forwards answer errCode 5 until one does");
    } else {
        reportEvent(*change, "Forwards find the device again on upstream port " +
                                 std::to_string(outcome.upstreamPort));
    }
}
