#pragma once

#include "events/device_availability.h"
#include "rd/forward.h"

// What a forward that ended with `outcome` saw of the device: found when
// discovery identified it on a port (whatever that port then answered), not
// found when discovery ran and no port did, nothing when it was refused
// before discovery.
DeviceAvailability::Sighting sightingOf(const ForwardOutcome& outcome);

// Tells `availability` what the forward saw and reports the event the change
// calls for (the device lost, or found again), naming the probed range of
// `discovery`.
void reportDeviceAvailability(DeviceAvailability& availability, const ForwardOutcome& outcome,
                              const DiscoveryOptions& discovery);
