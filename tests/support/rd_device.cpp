#include "support/rd_device.h"

#include "config/data_directory.h"
#include "config/device_model.h"
#include "platform/files.h"
#include "protocol/rd_protocol.h"
#include "rd/rd_documents.h"
#include "support/loopback.h"
#include "support/temp_folder.h"

namespace testing_support {
namespace {

constexpr int kAnswerTimeoutMs = 30000;

}  // namespace

ScriptedUpstream::Responder deviceNaming(const std::string& model, const std::string& otherBody) {
    return [model, otherBody](const std::string& request) {
        if (requestMethod(request) != "RDSERVICE") {
            return httpAnswer(otherBody);
        }
        return httpAnswer(rdServiceDocument("READY", model + " " + kServiceMarker));
    };
}

void writeDeviceModel(const std::string& dataBase, const std::string& model) {
    platform::createDirectory(DataDirectory(dataBase).path());
    TempFolder::writeFile(DataDirectory(dataBase).filePath(kDeviceConfigFileName),
                          "<opts devicemodel=\"" + model + "\" />\n");
}

std::string bodyOf(const std::string& answer) {
    const std::size_t headEnd = answer.find("\r\n\r\n");
    return headEnd == std::string::npos ? std::string() : answer.substr(headEnd + 4);
}

std::string requestText(const std::string& method, const std::string& target,
                        const std::string& headers, const std::string& body) {
    std::string text = method + " " + target + " HTTP/1.1\r\n" + headers;
    if (!body.empty()) {
        text += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    return text + "\r\n" + body;
}

std::string locationOn(int port, const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(port) + path;
}

HandlerServer::HandlerServer(ForwardingOptions options, AllowedOrigins callers)
    : forwarding_(std::move(options), std::move(callers)), handler_(forwarding_) {
    server_.server().addHandler("/", &handler_);
}

std::string HandlerServer::send(const std::string& method, const std::string& target,
                                const std::string& headers, const std::string& body) {
    return exchange(port(), requestText(method, target, headers, body), kAnswerTimeoutMs);
}

}  // namespace testing_support
