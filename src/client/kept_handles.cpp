#include "client/kept_handles.h"

#include "client/http_client_init.h"

namespace {

// What one thread keeps. A worker serves one request at a time, so one easy
// handle covers a discovery probing port after port and the forward after
// it; handles of probes that run side by side are made and released.
struct ThreadKeep {
    CURLM* multi = nullptr;
    bool multiLeased = false;
    CURL* easy = nullptr;

    ThreadKeep() = default;
    ThreadKeep(const ThreadKeep&) = delete;
    ThreadKeep& operator=(const ThreadKeep&) = delete;
    ~ThreadKeep() {
        if (easy != nullptr) {
            curl_easy_cleanup(easy);
        }
        if (multi != nullptr) {
            curl_multi_cleanup(multi);
        }
    }
};

ThreadKeep& threadKeep() {
    thread_local ThreadKeep keep;
    return keep;
}

}  // namespace

KeptEasy::KeptEasy() : easy_(nullptr) {
    ThreadKeep& keep = threadKeep();
    if (keep.easy != nullptr) {
        easy_ = keep.easy;
        keep.easy = nullptr;
    } else if (initHttpClient()) {
        easy_ = curl_easy_init();
    }
}

KeptEasy::~KeptEasy() {
    if (easy_ == nullptr) {
        return;
    }
    ThreadKeep& keep = threadKeep();
    if (keep.easy == nullptr) {
        curl_easy_reset(easy_);
        keep.easy = easy_;
    } else {
        curl_easy_cleanup(easy_);
    }
}

KeptMulti::KeptMulti() : multi_(nullptr), kept_(false) {
    ThreadKeep& keep = threadKeep();
    if (!keep.multiLeased) {
        if (keep.multi == nullptr && initHttpClient()) {
            keep.multi = curl_multi_init();
        }
        multi_ = keep.multi;
        kept_ = multi_ != nullptr;
        keep.multiLeased = kept_;
    }
    if (!kept_ && initHttpClient()) {
        multi_ = curl_multi_init();
    }
}

KeptMulti::~KeptMulti() {
    if (kept_) {
        threadKeep().multiLeased = false;
    } else if (multi_ != nullptr) {
        curl_multi_cleanup(multi_);
    }
}
