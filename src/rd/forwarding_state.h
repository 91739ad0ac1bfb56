#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <utility>

#include "client/byte_budget.h"
#include "client/cancellation.h"
#include "client/handle_pool.h"
#include "config/allowed_origins.h"
#include "config/data_directory.h"
#include "events/device_availability.h"
#include "limits/service_limits.h"
#include "platform/account_identity.h"
#include "rd/upstream.h"

// What a deployment or a test may vary in how requests are forwarded.
struct ForwardingOptions {
    // The data folder's base (DeviceConfig.xml), or empty for the machine's own.
    std::string dataBaseFolder;
    DiscoveryOptions discovery;
    // The same value the engine is started with: the body cap, the places
    // for forwards, the buffer budget, the upstream's limits and discovery's
    // waits. The program's limits enter here, and only here.
    ServiceLimits limits = kServiceLimits;

    DataDirectory dataDirectory() const {
        return dataBaseFolder.empty() ? DataDirectory() : DataDirectory(dataBaseFolder);
    }
};

// What the forwarded requests of one handler share: their options, who may
// call, the stop that ends their upstream transfers, how many are in flight
// and the buffer budget. Safe to use from every worker thread at once.
struct ForwardingState {
    ForwardingState(ForwardingOptions forwardingOptions, AllowedOrigins callers)
        : options(std::move(forwardingOptions)),
          allowedOrigins(std::move(callers)),
          budget(options.limits.bufferBudgetBytes) {}

    const ForwardingOptions options;
    // Who may call; unrestricted by default.
    const AllowedOrigins allowedOrigins;
    // The account this process runs as, whose listeners every caller may reach.
    const platform::AccountIdentity account = platform::processAccount();
    Cancellation stop;
    // The transfer handles of finished forwards, for the next ones.
    HandlePool handles;
    ByteBudget budget;
    std::atomic<int> inFlight{0};
    // The device as the forwards saw it, reported once per change.
    DeviceAvailability availability;
    std::mutex mutex;
    std::condition_variable drained;

    // The server is stopping: cancels every forward and waits, at most
    // limits.forwardDrainMs, until each has answered its client (the engine
    // writes nothing once it is stopping); later forwards fail at once.
    void stopAndDrain() {
        stop.cancel();
        std::unique_lock<std::mutex> lock(mutex);
        drained.wait_for(lock, std::chrono::milliseconds(options.limits.forwardDrainMs),
                         [this] { return inFlight.load() == 0; });
    }
};
