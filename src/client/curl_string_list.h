#pragma once

#include <curl/curl.h>

#include <string>

// A string list of the transfer library (request header lines, connect-to
// entries), released on every path;
// empty (null) until the first line is appended. Not shared between threads.
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
