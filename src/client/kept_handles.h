#pragma once

#include <curl/curl.h>

#include <cstddef>
#include <mutex>
#include <vector>

// Transfer handles kept between requests, so that a forward does not build
// them anew (a multi handle costs about 20 us to make, ten times a reset).
// The pool is an object with an owner: whoever runs requests (the forwarding
// state, -check) makes one and destroys it after every request that leases
// from it has ended, so no handle outlives the owner or the client library.
// A handle comes back reset (no options, no request state), and transfers
// close their connections when they end, so nothing of one request reaches
// the next. Safe to use from several threads at once.
class HandlePool {
  public:
    HandlePool() = default;
    ~HandlePool();
    HandlePool(const HandlePool&) = delete;
    HandlePool& operator=(const HandlePool&) = delete;

    // A kept handle, or null when none is free.
    CURL* takeEasy();
    CURLM* takeMulti();
    // Keeps the handle for the next lease, or releases it when the pool is
    // full. An easy handle is reset first; a multi handle must hold no easy
    // handle.
    void giveEasy(CURL* easy);
    void giveMulti(CURLM* multi);

  private:
    std::mutex mutex_;
    std::vector<CURL*> easies_;
    std::vector<CURLM*> multis_;
};

// An easy handle, leased from `pool` when it has one free, otherwise new;
// it goes back to the pool (or is released) with the lease. `pool` may be
// null and must outlive the lease. Null when the library could not make one.
class KeptEasy {
  public:
    explicit KeptEasy(HandlePool* pool);
    ~KeptEasy();
    KeptEasy(const KeptEasy&) = delete;
    KeptEasy& operator=(const KeptEasy&) = delete;

    CURL* get() const { return easy_; }

  private:
    HandlePool* pool_;
    CURL* easy_;
};

// A multi handle, leased like KeptEasy. Every easy handle must be removed
// from it before the lease ends.
class KeptMulti {
  public:
    explicit KeptMulti(HandlePool* pool);
    ~KeptMulti();
    KeptMulti(const KeptMulti&) = delete;
    KeptMulti& operator=(const KeptMulti&) = delete;

    CURLM* get() const { return multi_; }

  private:
    HandlePool* pool_;
    CURLM* multi_;
};
