#include "client/http_client_init.h"

#include <curl/curl.h>

bool initHttpClient() {
    // The library's own lazy initialisation in curl_easy_init is not safe to
    // race; a function-local static runs it exactly once.
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}
