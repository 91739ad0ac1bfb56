#pragma once

#include <cstddef>

// Every limit and time-out of the service, each with the reason for its
// value. The engine's options and our own checks are built from one value of
// this struct, so the two cannot disagree; a deployment or a test varies a
// field, never a second copy of it.
struct ServiceLimits {
    // --- The HTTP engine -------------------------------------------------

    // Engine workers; each serves one connection at a time. Room for
    // discovery and preflights beside dozens of forwards that a device holds
    // and idle keep-alive connections.
    int engineWorkers = 64;
    // Workers that forwards never take: discovery, preflights and refusals
    // are answered at once while the device holds the rest.
    int quickAnswerWorkers = 8;
    // A client must send its whole request head within this time, or its
    // connection is closed: a hung or trickling client costs a worker for no
    // longer. Each read of a body also ends within it, with what has come.
    int requestTimeoutMs = 5000;
    // Largest request body accepted. A capture body is a PidOptions
    // document of a few hundred bytes; nothing a device accepts comes near
    // this. A declared length above it is refused unread; the engine refuses
    // a chunk that would take a body past it as soon as it reads its size.
    std::size_t maxRequestBodyBytes = 1024 * 1024;
    // A request body must be in whole within this time, counted from the end
    // of its head, or the request is answered INVALID_DATA; only then does a
    // forward take its place. A capture body is a few hundred bytes sent
    // right behind its head over loopback and arrives within a millisecond;
    // two seconds leave room for a machine under load, while a client that
    // trickles its body holds its worker for at most this plus one read's
    // requestTimeoutMs (7 s).
    int requestBodyDeadlineMs = 2000;
    // Longest wait of a request that arrives before the RD handler is
    // registered: none is answered before its handler exists.
    int handlerRegistrationWaitMs = 2000;

    // --- The upstream RD service -----------------------------------------

    // Whole-transfer time-out of every request to the upstream: a capture
    // waits for a finger on the device.
    int upstreamTimeoutSeconds = 90;
    // Largest upstream answer held (a PidData with its images).
    std::size_t maxUpstreamAnswerBytes = 16 * 1024 * 1024;
    // A discovery answer is a short document; a longer one is not a device's.
    std::size_t maxProbeAnswerBytes = 64 * 1024;
    // How long a port that has identified the device waits for lower ports
    // that have not answered yet. A lone device slow to answer is waited for
    // up to the full time-out; a hung neighbour below it costs only this.
    int discoveryGraceMs = 1000;
    // Probes go one port after another while each answers at once; one
    // silent for this long starts all the remaining ports at once.
    int probeStaggerMs = 100;

    // --- The process -----------------------------------------------------

    // All request bodies and upstream answers in flight together (the
    // discovery answers included) buffer at most this much; a forward that
    // would pass it is refused.
    std::size_t bufferBudgetBytes = 64 * 1024 * 1024;
    // Longest wait of a stop for the forwards it cancelled to answer their
    // clients: the engine writes nothing once it is stopping.
    int forwardDrainMs = 1000;

    // Forwards that may wait on the upstream at once: every worker but the
    // reserve for answers of our own.
    int maxConcurrentForwards() const { return engineWorkers - quickAnswerWorkers; }
};

// The limits the program runs with. They enter the extension once, as the
// default of ForwardingOptions::limits, and are handed down from there.
inline constexpr ServiceLimits kServiceLimits{};
