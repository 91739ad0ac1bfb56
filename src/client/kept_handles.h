#pragma once

#include <curl/curl.h>

// Transfer handles a thread keeps between requests, so that a forward does
// not build them anew: the thread's multi handle and one easy handle, made
// on first use and released when the thread ends. A handle comes back reset
// (no options, no request state), and transfers close their connections when
// they end, so nothing of one request reaches the next. Each lease belongs
// to the thread that made it.

// An easy handle: the calling thread's kept one when it is free, otherwise a
// new one. Null when the transfer library could not make one.
class KeptEasy {
  public:
    KeptEasy();
    ~KeptEasy();
    KeptEasy(const KeptEasy&) = delete;
    KeptEasy& operator=(const KeptEasy&) = delete;

    CURL* get() const { return easy_; }

  private:
    CURL* easy_;
};

// A multi handle: the calling thread's kept one unless another lease on this
// thread holds it (then one of its own, released with the lease). Every easy
// handle must be removed from it before the lease ends. Null when the
// transfer library could not make one.
class KeptMulti {
  public:
    KeptMulti();
    ~KeptMulti();
    KeptMulti(const KeptMulti&) = delete;
    KeptMulti& operator=(const KeptMulti&) = delete;

    CURLM* get() const { return multi_; }

  private:
    CURLM* multi_;
    bool kept_;
};
