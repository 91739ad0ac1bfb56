#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "events/events.h"

// Bounds how often one event is recorded: at most once per window of each
// event id; the repeats inside a window are counted and said with the next
// one recorded, so a page that calls in a loop cannot fill the Event Log.
// Times are milliseconds of a tick counter that wraps at 2^32. Not
// thread-safe: its owner serialises the calls.
class EventSummary {
  public:
    static constexpr std::uint32_t kWindowMs = 60 * 1000;

    // The text to record for an event of `id` with `text` at `nowMs`, with the
    // count of the repeats held back before it; none when this one is held
    // back (it counts towards the next).
    std::optional<std::string> admit(EventId id, const std::string& text, std::uint32_t nowMs);

    // One summary of each id with repeats held back since its last record:
    // the last text held back and their count. Called when the service stops.
    struct Pending {
        EventId id;
        std::string text;
    };
    std::vector<Pending> takePending();

  private:
    struct Window {
        std::uint32_t recordedAtMs = 0;
        unsigned heldBack = 0;
        std::string lastHeldBack;
    };
    std::map<EventId, Window> windows_;
};
