#include "client/transfer_set.h"

#include <algorithm>
#include <chrono>

#include "client/cancellation.h"

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

TransferSet::TransferSet(Cancellation* cancel, HandlePool* handles)
    : multi_(handles), cancel_(cancel) {
    if (cancel_ != nullptr && multi_.get() != nullptr) {
        CURLM* multi = multi_.get();
        subscription_ = cancel_->subscribe([multi] { curl_multi_wakeup(multi); });
    }
}

TransferSet::~TransferSet() {
    if (cancel_ != nullptr && multi_.get() != nullptr) {
        cancel_->unsubscribe(subscription_);
    }
    for (CURL* easy : easies_) {
        curl_multi_remove_handle(multi_.get(), easy);
    }
}

bool TransferSet::add(CURL* easy) {
    if (multi_.get() == nullptr || curl_multi_add_handle(multi_.get(), easy) != CURLM_OK) {
        return false;
    }
    easies_.push_back(easy);
    return true;
}

std::vector<TransferSet::Finished> TransferSet::wait(int maxWaitMs) {
    std::vector<Finished> finished;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(maxWaitMs);
    while (!easies_.empty()) {
        if (cancel_ != nullptr && cancel_->cancelled()) {
            abortAll(finished);
            break;
        }
        int stillRunning = 0;
        curl_multi_perform(multi_.get(), &stillRunning);
        collectFinished(finished);
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (!finished.empty() || left <= 0) {
            break;
        }
        curl_multi_poll(multi_.get(), nullptr, 0, static_cast<int>(left), nullptr);
    }
    return finished;
}

void TransferSet::collectFinished(std::vector<Finished>& finished) {
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_.get(), &queued)) {
        if (message->msg != CURLMSG_DONE) {
            continue;
        }
        CURL* easy = message->easy_handle;
        const CURLcode result = message->data.result;
        curl_multi_remove_handle(multi_.get(), easy);
        easies_.erase(std::remove(easies_.begin(), easies_.end(), easy), easies_.end());
        finished.push_back({easy, result});
    }
}

void TransferSet::abortAll(std::vector<Finished>& finished) {
    for (CURL* easy : easies_) {
        curl_multi_remove_handle(multi_.get(), easy);
        finished.push_back({easy, CURLE_ABORTED_BY_CALLBACK});
    }
    easies_.clear();
}
