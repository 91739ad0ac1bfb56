#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <vector>

#include "client/kept_handles.h"

class Cancellation;

// Drives several prepared transfers at once on the calling thread (the
// thread's kept multi handle), so a caller can wait for the first answers
// without a thread per transfer, and a cancel ends every transfer at once.
// The easy handles are not owned; each must stay valid while it is in the set.
class TransferSet {
  public:
    // `cancel` may be null.
    explicit TransferSet(Cancellation* cancel);
    ~TransferSet();
    TransferSet(const TransferSet&) = delete;
    TransferSet& operator=(const TransferSet&) = delete;

    // False when the handle could not be added (it is then not running).
    bool add(CURL* easy);

    struct Finished {
        CURL* easy;
        CURLcode result;
    };
    // Drives the transfers until at least one finishes, `maxWaitMs` passes or
    // a cancel comes; returns those that finished. After a cancel every
    // transfer still running finishes with CURLE_ABORTED_BY_CALLBACK.
    std::vector<Finished> wait(int maxWaitMs);

    std::size_t running() const { return easies_.size(); }

  private:
    void collectFinished(std::vector<Finished>& finished);
    void abortAll(std::vector<Finished>& finished);

    KeptMulti multi_;
    Cancellation* cancel_;
    std::size_t subscription_ = 0;
    std::vector<CURL*> easies_;
};
