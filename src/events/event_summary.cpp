#include "events/event_summary.h"

namespace {

std::string withCount(const std::string& text, unsigned heldBack) {
    if (heldBack == 0) return text;
    return text + "\n(" + std::to_string(heldBack) +
           " more of this event before this one were not recorded one by one)";
}

}  // namespace

std::optional<std::string> EventSummary::admit(EventId id, const std::string& text,
                                               std::uint32_t nowMs) {
    auto found = windows_.find(id);
    if (found != windows_.end() && nowMs - found->second.recordedAtMs < kWindowMs) {
        ++found->second.heldBack;
        found->second.lastHeldBack = text;
        return std::nullopt;
    }
    const unsigned heldBack = found == windows_.end() ? 0 : found->second.heldBack;
    windows_[id] = Window{nowMs, 0, std::string()};
    return withCount(text, heldBack);
}

std::vector<EventSummary::Pending> EventSummary::takePending() {
    std::vector<Pending> pending;
    for (auto& [id, window] : windows_) {
        if (window.heldBack == 0) continue;
        pending.push_back(Pending{id, withCount(window.lastHeldBack, window.heldBack - 1)});
        window.heldBack = 0;
    }
    return pending;
}
