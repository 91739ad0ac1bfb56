#include "host/start_report.h"

#include "events/event_reporter.h"
#include "host/installation_protection.h"
#include "host/program_settings.h"
#include "http/web_server_startup.h"

namespace {

std::string address(int port) { return std::string(listenHost) + ":" + std::to_string(port); }

std::string listeningText(const std::vector<int>& ports) {
    if (ports.size() >= 2) {
        return "Listening: HTTPS on " + address(ports[0]) + ", HTTP on " + address(ports[1]);
    }
    return "Listening: HTTP on " + (ports.empty() ? std::string("?") : address(ports[0]));
}

std::string httpsText(const ServerSettings& settings, const std::vector<int>& ports) {
    const std::string offer = httpsOfferText(settings.sslCertificatePath);
    if (ports.size() < 2 && offer.compare(0, 3, "yes") == 0) {
        return "no: the engine did not load the certificate; serving HTTP only";
    }
    return offer;
}

}  // namespace

std::string startedText(const ServerSettings& settings, const std::vector<int>& ports,
                        const std::string& deviceModel) {
    return listeningText(ports) + "\nHTTPS: " + httpsText(settings, ports) + "\nDevice model: \"" +
           deviceModel + "\"\nAllowed origins: " + describeAllowedOrigins(settings.allowedOrigins);
}

void reportReadableKey() {
    const std::string warning = keyExposureWarning(kCertificatePath);
    if (!warning.empty()) reportEvent(EventId::kTlsKeyReadable, warning);
}
