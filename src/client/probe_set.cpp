#include "client/probe_set.h"

#include "client/rest_connection.h"

ProbeSet::ProbeSet(const TransferLimits& limits)
    : limits_(limits), transfers_(limits.cancel, limits.handles) {}

std::size_t ProbeSet::add(const std::string& url, const std::string& connectAddress) {
    auto connection = std::make_unique<RestConnection>("", limits_.handles);
    connection->setTimeout(limits_.timeoutSeconds);
    TransferLimits limits = limits_;
    limits.connectAddress = connectAddress;
    connection->setLimits(limits);
    connection->setMethod("RDSERVICE");
    transfers_.add(connection->begin(url));
    connections_.push_back(std::move(connection));
    return connections_.size() - 1;
}

// The transfer set goes first (members are destroyed in reverse order), so
// no handle is still in it when its connection releases it.
ProbeSet::~ProbeSet() = default;

std::vector<std::pair<std::size_t, RestResponse>> ProbeSet::wait(int maxWaitMs) {
    std::vector<std::pair<std::size_t, RestResponse>> answers;
    for (const TransferSet::Finished& finished : transfers_.wait(maxWaitMs)) {
        for (std::size_t i = 0; i < connections_.size(); ++i) {
            if (connections_[i] && connections_[i]->handle() == finished.easy) {
                answers.emplace_back(i, connections_[i]->complete(finished.result));
                // Its handle goes back to the pool, for the next probe.
                connections_[i].reset();
            }
        }
    }
    return answers;
}
