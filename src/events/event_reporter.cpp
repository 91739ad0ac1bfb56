#include "events/event_reporter.h"

#include <cstdio>

#include "platform/clock.h"

namespace {

void printPlain(const std::string& text) {
    std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

std::unique_ptr<EventReporter>& processReporter() {
    static std::unique_ptr<EventReporter> reporter = std::make_unique<EventReporter>();
    return reporter;
}

}  // namespace

EventReporter::EventReporter() = default;

EventReporter::EventReporter(std::unique_ptr<platform::EventSink> sink, std::uint32_t (*nowMs)())
    : sink_(std::move(sink)), nowMs_(nowMs) {}

void EventReporter::report(EventId id, const std::string& text) {
    const EventDefinition& definition = eventDefinition(id);
    std::lock_guard<std::mutex> lock(mutex_);
    if (!sink_) {
        if (definition.console == ConsoleLine::kPrinted) printPlain(text);
        return;
    }
    sink_->printLine(definition.level, text);
    if (auto admitted = summary_.admit(id, text, nowMs_())) {
        sink_->record(definition.level, static_cast<std::uint32_t>(id), *admitted);
    }
}

void EventReporter::flushSummaries() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!sink_) return;
    for (const EventSummary::Pending& pending : summary_.takePending()) {
        sink_->record(eventDefinition(pending.id).level, static_cast<std::uint32_t>(pending.id),
                      pending.text);
    }
}

EventReporter& processEvents() { return *processReporter(); }

void useServiceEvents(const std::string& sourceName) {
    processReporter() = std::make_unique<EventReporter>(platform::openServiceEventSink(sourceName),
                                                        platform::tickCountMs);
}

void reportEvent(EventId id, const std::string& text) { processEvents().report(id, text); }
