#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <mutex>
#include <vector>

#include "client/http_client_init.h"

// Transfer handles kept between requests, so that a forward does not build
// them anew (a multi handle costs about 20 us to make, ten times a reset).

// What sets the two kinds of handle apart (the library may declare both
// handle types as void, so the kind is named, not deduced).
struct EasyKind {
    using Handle = CURL;
    static CURL* make() { return curl_easy_init(); }
    // A kept easy handle comes back without options or request state.
    static void reset(CURL* easy) { curl_easy_reset(easy); }
    static void release(CURL* easy) { curl_easy_cleanup(easy); }
};
struct MultiKind {
    using Handle = CURLM;
    static CURLM* make() { return curl_multi_init(); }
    static void reset(CURLM*) {}  // it holds no easy handle when it comes back
    static void release(CURLM* multi) { curl_multi_cleanup(multi); }
};

// The kept handles of one kind, at most one for each request that runs at
// once in the common case (a forward or a probe per worker).
template <typename Kind>
class HandleShelf {
  public:
    using Handle = typename Kind::Handle;
    static constexpr std::size_t kMaxKept = 64;

    HandleShelf() = default;
    ~HandleShelf() {
        for (Handle* handle : kept_) Kind::release(handle);
    }
    HandleShelf(const HandleShelf&) = delete;
    HandleShelf& operator=(const HandleShelf&) = delete;

    // A kept handle, or null when none is free.
    Handle* take() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (kept_.empty()) return nullptr;
        Handle* handle = kept_.back();
        kept_.pop_back();
        return handle;
    }
    // Keeps the handle, reset, for the next lease, or releases it when full.
    void give(Handle* handle) {
        Kind::reset(handle);
        std::lock_guard<std::mutex> lock(mutex_);
        if (kept_.size() < kMaxKept) {
            kept_.push_back(handle);
            return;
        }
        Kind::release(handle);
    }

  private:
    std::mutex mutex_;
    std::vector<Handle*> kept_;
};

// The pool is an object with an owner: whoever runs requests (the forwarding
// state, -check) makes one and destroys it after every request that leases
// from it has ended, so no handle outlives the owner or the client library.
// Transfers close their connections when they end, so nothing of one
// request reaches the next. Safe to use from several threads at once.
struct HandlePool {
    HandleShelf<EasyKind> easies;
    HandleShelf<MultiKind> multis;

    HandleShelf<EasyKind>& shelf(EasyKind) { return easies; }
    HandleShelf<MultiKind>& shelf(MultiKind) { return multis; }
};

// A handle leased from `pool` when it has one free, otherwise new; it goes
// back to the pool (or is released) with the lease. `pool` may be null and
// must outlive the lease. Null when the library could not make one. Every
// easy handle must be removed from a multi handle before its lease ends.
template <typename Kind>
class Kept {
  public:
    explicit Kept(HandlePool* pool)
        : pool_(pool), handle_(pool != nullptr ? pool->shelf(Kind()).take() : nullptr) {
        if (handle_ == nullptr && initHttpClient()) handle_ = Kind::make();
    }
    ~Kept() {
        if (handle_ == nullptr) return;
        if (pool_ != nullptr) {
            pool_->shelf(Kind()).give(handle_);
        } else {
            Kind::release(handle_);
        }
    }
    Kept(const Kept&) = delete;
    Kept& operator=(const Kept&) = delete;

    typename Kind::Handle* get() const { return handle_; }

  private:
    HandlePool* pool_;
    typename Kind::Handle* handle_;
};

using KeptEasy = Kept<EasyKind>;
using KeptMulti = Kept<MultiKind>;
