#pragma once

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "http/civet_exception.h"
#include "http/civet_handler.h"
#include "http/connection_entry.h"

struct mg_callbacks;
struct mg_connection;
struct mg_context;

// Owns one running instance of the HTTP engine and dispatches every request
// on a registered URI to the matching operation of a CivetHandler.
// Thread safety: addHandler, getListeningPorts and close are meant for the
// owning thread; the static callbacks run on the engine's threads.
class CivetServer {
  public:
    // `options` is a null-terminated list of name/value texts, handed to the
    // engine with "access_control_allow_methods" empty unless it is given
    // (the engine then answers no cross-origin preflight itself: OPTIONS
    // reaches the handler of its URI); `callbacks` may be null. Throws CivetException when
    // the engine does not start (for example a port that cannot be bound);
    // its reason() carries the engine's own words. The engine's log messages
    // go to the callbacks' log_message when it is set and accepts them.
    // A request that arrives before the first handler is registered waits
    // for it at most `registrationWaitMs` (ServiceLimits::handlerRegistrationWaitMs).
    CivetServer(const char** options, const mg_callbacks* callbacks, int registrationWaitMs);
    virtual ~CivetServer();

    CivetServer(const CivetServer&) = delete;
    CivetServer& operator=(const CivetServer&) = delete;

    // Stops the engine if it runs; later calls do nothing.
    void close();

    // Registers `handler` (not owned; must outlive the running server) for
    // `uri`. A second registration of the same URI replaces the handler.
    // Requests that arrive before the first registration wait for it (at
    // most the constructor's registration wait): none is answered before its
    // handler exists.
    void addHandler(const char* uri, CivetHandler* handler);

    // The listening ports in the order of the "listening_ports" option, at
    // most ten; empty after close. Safe to call from handlers at any time;
    // the reference stays valid for the server's lifetime.
    const std::vector<int>& getListeningPorts() const;

    // Engine callbacks, not for other callers.
    static int dispatchRequest(mg_connection* conn, void* handlerData);
    static void onConnectionClose(const mg_connection* conn);
    static int onLogMessage(const mg_connection* conn, const char* message);
    static int onBeginRequest(mg_connection* conn);

    // Waits until no connection is in the table; false after `timeoutMs`.
    bool waitUntilNoConnections(int timeoutMs);

  private:
    using CloseCallback = void (*)(const mg_connection*);
    using LogCallback = int (*)(const mg_connection*, const char*);

    void openForRequests();

    void readListeningPorts(mg_context* context);
    std::string startFailureReason(const char* engineError);
    static int callHandler(CivetServer* server, CivetHandler* handler, mg_connection* conn,
                           const char* method);

    // Written by the constructor and close while workers read it.
    std::atomic<mg_context*> context_{nullptr};
    // Read from the engine once at start: its ports never change while it
    // runs, and the engine frees its listener records while stopping, when
    // a handler may still be asking for them.
    std::vector<int> listeningPorts_;
    // Guarded by the engine's context lock; `emptied_` is signalled (under
    // `emptiedMutex_`) whenever a close leaves the table empty.
    std::map<const mg_connection*, ConnectionEntry> connections_;
    std::mutex emptiedMutex_;
    std::condition_variable emptied_;
    CloseCallback savedCloseCallback_ = nullptr;
    LogCallback savedLogCallback_ = nullptr;
    // Open once the first handler is registered (or the server closes). Read
    // without the lock on every request; the lock only serves the wait.
    std::mutex openMutex_;
    std::condition_variable opened_;
    std::atomic<bool> open_{false};
    const int registrationWaitMs_;
    // The engine's log messages while it was starting: the detail behind a
    // refused start.
    std::mutex startMessageMutex_;
    std::vector<std::string> startMessages_;
};
