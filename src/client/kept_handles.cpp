#include "client/kept_handles.h"

#include "client/http_client_init.h"

namespace {

// A pool keeps at most this many handles of each kind: one for each request
// that runs at once in the common case (a forward or a probe per worker).
constexpr std::size_t kMaxKeptHandles = 64;

template <typename Handle>
Handle* takeLast(std::mutex& mutex, std::vector<Handle*>& kept) {
    std::lock_guard<std::mutex> lock(mutex);
    if (kept.empty()) {
        return nullptr;
    }
    Handle* handle = kept.back();
    kept.pop_back();
    return handle;
}

template <typename Handle>
bool keep(std::mutex& mutex, std::vector<Handle*>& kept, Handle* handle) {
    std::lock_guard<std::mutex> lock(mutex);
    if (kept.size() >= kMaxKeptHandles) {
        return false;
    }
    kept.push_back(handle);
    return true;
}

}  // namespace

HandlePool::~HandlePool() {
    for (CURL* easy : easies_) {
        curl_easy_cleanup(easy);
    }
    for (CURLM* multi : multis_) {
        curl_multi_cleanup(multi);
    }
}

CURL* HandlePool::takeEasy() { return takeLast(mutex_, easies_); }

CURLM* HandlePool::takeMulti() { return takeLast(mutex_, multis_); }

void HandlePool::giveEasy(CURL* easy) {
    curl_easy_reset(easy);
    if (!keep(mutex_, easies_, easy)) {
        curl_easy_cleanup(easy);
    }
}

void HandlePool::giveMulti(CURLM* multi) {
    if (!keep(mutex_, multis_, multi)) {
        curl_multi_cleanup(multi);
    }
}

KeptEasy::KeptEasy(HandlePool* pool)
    : pool_(pool), easy_(pool != nullptr ? pool->takeEasy() : nullptr) {
    if (easy_ == nullptr && initHttpClient()) {
        easy_ = curl_easy_init();
    }
}

KeptEasy::~KeptEasy() {
    if (easy_ == nullptr) {
        return;
    }
    if (pool_ != nullptr) {
        pool_->giveEasy(easy_);
    } else {
        curl_easy_cleanup(easy_);
    }
}

KeptMulti::KeptMulti(HandlePool* pool)
    : pool_(pool), multi_(pool != nullptr ? pool->takeMulti() : nullptr) {
    if (multi_ == nullptr && initHttpClient()) {
        multi_ = curl_multi_init();
    }
}

KeptMulti::~KeptMulti() {
    if (multi_ == nullptr) {
        return;
    }
    if (pool_ != nullptr) {
        pool_->giveMulti(multi_);
    } else {
        curl_multi_cleanup(multi_);
    }
}
