#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "events/event_summary.h"
#include "events/events.h"
#include "platform/event_log.h"

// Says what happened where an administrator looks. In the foreground an
// event is the line -console prints (ServiceOnly events print nothing); in
// service mode it is that line at its level and an event in the system's
// store (platform/event_log.h), each id at most once a minute with a count of
// the repeats (events/event_summary.h). Safe to call from every thread.
class EventReporter {
  public:
    // Foreground: lines on standard output, exactly as printed before events.
    EventReporter();
    // Service mode: lines and events go to `sink`; `nowMs` is the clock.
    EventReporter(std::unique_ptr<platform::EventSink> sink, std::uint32_t (*nowMs)());

    // `text`: the event's details, one or more lines without the last line feed.
    void report(EventId id, const std::string& text);

    // Records the repeats still held back; for the end of the service.
    void flushSummaries();

  private:
    std::mutex mutex_;
    std::unique_ptr<platform::EventSink> sink_;  // null in the foreground
    std::uint32_t (*nowMs_)() = nullptr;
    EventSummary summary_;
};

// The process's reporter: the foreground's until useServiceEvents.
EventReporter& processEvents();

// From now on the process reports as the service `sourceName` (its event
// source); called once, before the service's first line.
void useServiceEvents(const std::string& sourceName);

// processEvents().report(id, text).
void reportEvent(EventId id, const std::string& text);
