#include "events/events.h"

#include <iterator>

namespace {

using platform::EventLevel;

constexpr ConsoleLine kPrinted = ConsoleLine::kPrinted;
constexpr ConsoleLine kServiceOnly = ConsoleLine::kServiceOnly;
constexpr EventLevel kInformation = EventLevel::kInformation;
constexpr EventLevel kWarning = EventLevel::kWarning;
constexpr EventLevel kError = EventLevel::kError;

const EventDefinition kEvents[] = {
#define RDEXT_EVENT(id, name, level, console, headline) \
    {EventId::k##name, k##level, k##console, headline},
#include "events/event_list.h"
#undef RDEXT_EVENT
};

}  // namespace

const EventDefinition& eventDefinition(EventId id) {
    for (const EventDefinition& definition : kEvents) {
        if (definition.id == id) return definition;
    }
    // Unreachable: the enumeration and the table come from the same list.
    return kEvents[std::size(kEvents) - 1];
}
