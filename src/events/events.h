#pragma once

#include <cstdint>

#include "platform/event_log.h"

// The events the service reports (events/event_list.h), by name.
enum class EventId : std::uint32_t {
#define RDEXT_EVENT(id, name, level, console, headline) k##name = id,
#include "events/event_list.h"
#undef RDEXT_EVENT
};

// Whether -console prints an event's line too, or only a service reports it.
enum class ConsoleLine { kPrinted, kServiceOnly };

// What is fixed of one event.
struct EventDefinition {
    EventId id;
    platform::EventLevel level;
    ConsoleLine console;
    const char* headline;
};

// The definition of `id`; every EventId has one.
const EventDefinition& eventDefinition(EventId id);
