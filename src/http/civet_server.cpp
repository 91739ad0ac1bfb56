#include "http/civet_server.h"

#include <civetweb.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

namespace {

constexpr int kMaxListeningPorts = 10;
// The engine's first messages while starting are the detail of a refusal.
constexpr std::size_t kMaxStartMessages = 4;

// Holds the engine's context lock for one scope.
class ContextLock {
  public:
    explicit ContextLock(mg_context* context) : context_(context) { mg_lock_context(context_); }
    ~ContextLock() { mg_unlock_context(context_); }
    ContextLock(const ContextLock&) = delete;
    ContextLock& operator=(const ContextLock&) = delete;

  private:
    mg_context* context_;
};

// What the engine gets beside the caller's options, unless the caller names
// them: with no preflight methods configured, the engine leaves OPTIONS to the
// handlers, which answer it with the RD header block.
const char* const kOptionDefaults[][2] = {{"access_control_allow_methods", ""}};

std::vector<const char*> withDefaults(const char** options) {
    std::vector<const char*> all;
    for (const char** option = options; option != nullptr && *option != nullptr; option += 2) {
        all.insert(all.end(), {option[0], option[1]});
    }
    for (const auto& fallback : kOptionDefaults) {
        bool given = false;
        for (std::size_t i = 0; i < all.size() && !given; i += 2) {
            given = std::strcmp(all[i], fallback[0]) == 0;
        }
        if (!given) {
            all.insert(all.end(), {fallback[0], fallback[1]});
        }
    }
    all.push_back(nullptr);
    return all;
}

CivetServer* serverOf(const mg_connection* conn) {
    const mg_request_info* info = mg_get_request_info(conn);
    return info == nullptr ? nullptr : static_cast<CivetServer*>(info->user_data);
}

}  // namespace

CivetServer::CivetServer(const char** options, const mg_callbacks* callbacks,
                         int registrationWaitMs)
    : registrationWaitMs_(registrationWaitMs) {
    mg_callbacks local;
    std::memset(&local, 0, sizeof local);
    if (callbacks != nullptr) {
        local = *callbacks;
        savedCloseCallback_ = callbacks->connection_close;
        savedLogCallback_ = callbacks->log_message;
    }
    local.connection_close = onConnectionClose;
    local.log_message = onLogMessage;
    local.begin_request = onBeginRequest;
    char engineError[256] = "";
    mg_init_data init;
    std::memset(&init, 0, sizeof init);
    init.callbacks = &local;
    init.user_data = this;
    std::vector<const char*> engineOptions = withDefaults(options);
    init.configuration_options = engineOptions.data();
    mg_error_data error;
    std::memset(&error, 0, sizeof error);
    error.text = engineError;
    error.text_buffer_size = sizeof engineError;
    mg_context* context = mg_start2(&init, &error);
    if (context == nullptr) {
        throw CivetException(
            "null context when constructing CivetServer. Possible problem binding to port.",
            startFailureReason(engineError));
    }
    readListeningPorts(context);
    context_ = context;
}

CivetServer::~CivetServer() { close(); }

std::string CivetServer::startFailureReason(const char* engineError) {
    std::lock_guard<std::mutex> lock(startMessageMutex_);
    std::string detail;
    for (const std::string& message : startMessages_) {
        if (message != engineError) {
            detail += (detail.empty() ? "" : "; ") + message;
        }
    }
    const std::string summary = engineError;
    if (summary.empty() || detail.empty()) {
        return summary + detail;
    }
    return summary + ": " + detail;
}

int CivetServer::onLogMessage(const mg_connection* conn, const char* message) {
    // Messages of the engine itself come with a stand-in connection that
    // carries no request; the server is the context's user data.
    mg_context* context = mg_get_context(conn);
    auto* server =
        context != nullptr ? static_cast<CivetServer*>(mg_get_user_data(context)) : nullptr;
    if (server == nullptr) {
        return 0;
    }
    if (server->context_.load() == nullptr) {
        std::lock_guard<std::mutex> lock(server->startMessageMutex_);
        if (server->startMessages_.size() < kMaxStartMessages) {
            server->startMessages_.emplace_back(message);
        }
    }
    return server->savedLogCallback_ != nullptr ? server->savedLogCallback_(conn, message) : 0;
}

void CivetServer::openForRequests() {
    std::lock_guard<std::mutex> lock(openMutex_);
    open_ = true;
    opened_.notify_all();
}

int CivetServer::onBeginRequest(mg_connection* conn) {
    CivetServer* server = serverOf(conn);
    if (server == nullptr) {
        return 0;
    }
    // Every request passes here: once open, no lock is taken, so workers
    // answering at once do not queue on one mutex.
    if (!server->open_.load()) {
        std::unique_lock<std::mutex> lock(server->openMutex_);
        server->opened_.wait_for(lock, std::chrono::milliseconds(server->registrationWaitMs_),
                                 [server] { return server->open_.load(); });
    }
    return 0;
}

void CivetServer::close() {
    openForRequests();  // requests still waiting go on and end
    mg_context* context = context_.load();
    if (context != nullptr) {
        mg_stop(context);  // returns after the engine's threads have finished
        context_ = nullptr;
    }
}

void CivetServer::addHandler(const char* uri, CivetHandler* handler) {
    mg_set_request_handler(context_.load(), uri, dispatchRequest, handler);
    openForRequests();
}

const std::vector<int>& CivetServer::getListeningPorts() const {
    static const std::vector<int> kNone;
    return context_.load() != nullptr ? listeningPorts_ : kNone;
}

void CivetServer::readListeningPorts(mg_context* context) {
    mg_server_port found[kMaxListeningPorts];
    std::memset(found, 0, sizeof found);
    const int count = mg_get_server_ports(context, kMaxListeningPorts, found);
    for (int i = 0; i < count; ++i) {
        listeningPorts_.push_back(found[i].port);
    }
}

bool CivetServer::waitUntilNoConnections(int timeoutMs) {
    std::unique_lock<std::mutex> lock(emptiedMutex_);
    return emptied_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] {
        mg_context* context = context_.load();
        if (context == nullptr) return true;
        ContextLock tableLock(context);
        return connections_.empty();
    });
}

int CivetServer::dispatchRequest(mg_connection* conn, void* handlerData) {
    CivetServer* server = serverOf(conn);
    if (server == nullptr) {
        return 0;
    }
    mg_context* context = server->context_.load();
    if (context == nullptr) {
        return 0;
    }
    try {
        {
            ContextLock lock(context);
            server->connections_[conn] = ConnectionEntry();
        }
        auto* handler = static_cast<CivetHandler*>(handlerData);
        if (handler == nullptr) {
            return 0;
        }
        return callHandler(server, handler, conn, mg_get_request_info(conn)->request_method);
    } catch (const std::exception& e) {
        std::fputs(e.what(), stdout);
        std::fflush(stdout);
        return 1;
    } catch (...) {
        return 1;
    }
}

int CivetServer::callHandler(CivetServer* server, CivetHandler* handler, mg_connection* conn,
                             const char* method) {
    using Operation = bool (CivetHandler::*)(CivetServer*, mg_connection*);
    struct Route {
        const char* method;
        Operation operation;
    };
    static const Route kRoutes[] = {
        {"GET", &CivetHandler::handleGet},         {"POST", &CivetHandler::handlePost},
        {"HEAD", &CivetHandler::handleHead},       {"PUT", &CivetHandler::handlePut},
        {"DELETE", &CivetHandler::handleDelete},   {"OPTIONS", &CivetHandler::handleOptions},
        {"PATCH", &CivetHandler::handlePatch},     {"RDSERVICE", &CivetHandler::handleRdService},
        {"CAPTURE", &CivetHandler::handleCapture}, {"DEVICEINFO", &CivetHandler::handleDeviceInfo},
        {"TRACE", &CivetHandler::handleTrace},     {"CONNECT", &CivetHandler::handleConnect},
    };
    for (const Route& route : kRoutes) {
        if (std::strcmp(method, route.method) == 0) {
            return (handler->*route.operation)(server, conn) ? 1 : 0;
        }
    }
    return handler->handleOtherMethod(server, conn) ? 1 : 0;
}

void CivetServer::onConnectionClose(const mg_connection* conn) {
    CivetServer* server = serverOf(conn);
    if (server == nullptr) {
        return;
    }
    mg_context* context = server->context_.load();
    if (context == nullptr) {
        return;
    }
    if (server->savedCloseCallback_ != nullptr) {
        server->savedCloseCallback_(conn);
    }
    bool empty = false;
    {
        ContextLock lock(context);
        server->connections_.erase(conn);
        empty = server->connections_.empty();
    }
    if (empty) {
        std::lock_guard<std::mutex> lock(server->emptiedMutex_);
        server->emptied_.notify_all();
    }
}
