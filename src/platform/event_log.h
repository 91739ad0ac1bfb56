#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Where a service's events reach the administrator: the Windows Event Log,
// or the journal's levels on Linux.
namespace platform {

enum class EventLevel { kError, kWarning, kInformation };

// What a service prints and the events it records. Implementations are used
// under their owner's lock (events/event_reporter.h).
class EventSink {
  public:
    virtual ~EventSink() = default;
    // A line, or several, that the service prints at `level`.
    virtual void printLine(EventLevel level, const std::string& text) = 0;
    // An event for the system's store, with the message `id` of the source's
    // message table and `text` as its details.
    virtual void record(EventLevel level, std::uint32_t id, const std::string& text) = 0;
};

// Service mode's sink. Windows: lines go to standard output as they are (the
// service log), events to the Application log under the event source
// `sourceName` (nothing is recorded when the source cannot be opened).
// Linux: each line goes to standard output behind journald's level prefix
// ("<3>", "<4>", "<6>"), which systemd passes to the journal; those lines are
// the events, so record does nothing.
std::unique_ptr<EventSink> openServiceEventSink(const std::string& sourceName);

// Registers the event source `sourceName` in the Application log with its
// message table in `messageFile` (Windows: EventMessageFile and
// TypesSupported under the key
// HKLM\SYSTEM\CurrentControlSet\Services\EventLog\Application\<sourceName>). Returns 0, or the
// system error code (Windows numbering). Elsewhere there is nothing to register: returns 0.
std::uint32_t registerEventSource(const std::string& sourceName, const std::string& messageFile);

// Deletes that registration; 0 also when there was none.
std::uint32_t removeEventSource(const std::string& sourceName);

}  // namespace platform
