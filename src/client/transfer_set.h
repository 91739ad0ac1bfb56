#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <vector>

#include "client/handle_pool.h"

class Cancellation;

// Drives several prepared transfers at once on the calling thread (on a
// multi handle leased from a pool when one is given), so a caller can wait for the first answers
// without a thread per transfer, and a cancel ends every transfer at once.
// The easy handles are not owned; each must stay valid while it is in the set.
class TransferSet {
  public:
    // `cancel` and `handles` may be null; `handles` must outlive the set.
    TransferSet(Cancellation* cancel, HandlePool* handles);
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
