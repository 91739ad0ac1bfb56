#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>

// Owners of the transfer library's handles; each releases its handle on
// every path. Neither is shared between threads.

struct CurlEasyCleanup {
    void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using CurlEasyHandle = std::unique_ptr<CURL, CurlEasyCleanup>;

// A request header list; empty (null) until the first line is appended.
class CurlHeaderList {
  public:
    CurlHeaderList() = default;
    ~CurlHeaderList() { curl_slist_free_all(list_); }
    CurlHeaderList(const CurlHeaderList&) = delete;
    CurlHeaderList& operator=(const CurlHeaderList&) = delete;

    // False when the line could not be stored; the list is unchanged then.
    bool append(const std::string& line) {
        curl_slist* grown = curl_slist_append(list_, line.c_str());
        if (grown == nullptr) {
            return false;
        }
        list_ = grown;
        return true;
    }
    curl_slist* get() const { return list_; }

  private:
    curl_slist* list_ = nullptr;
};
