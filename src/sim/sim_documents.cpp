#include "sim/sim_documents.h"

#include <cstdint>

#include "protocol/rd_protocol.h"
#include "rd/rd_documents.h"
#include "xml/xml_parser.h"

const std::string kSimDefaultInfo =
    std::string(kDefaultDeviceModel) + " " + kServiceMarker + " (simulated)";

namespace {

const char* valueOr(const char* value, const char* fallback) {
    return value != nullptr && value[0] != '\0' ? value : fallback;
}

// A stable, printable stand-in for captured data, derived from the options.
std::string fakeCaptureData(const std::string& seed) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::uint32_t state = 2166136261u;
    for (unsigned char c : seed) {
        state = (state ^ c) * 16777619u;
    }
    std::string data;
    for (int i = 0; i < 344; ++i) {
        state = state * 1664525u + 1013904223u;
        data += kAlphabet[(state >> 24) % 64];
    }
    return data;
}

}  // namespace

std::string simRdServiceDocument(const std::string& status, const std::string& info) {
    return rdServiceDocument(status, info);
}

std::string simDeviceInfoDocument() {
    return "<DeviceInfo dpId=\"LUMETRA.SIM\" rdsId=\"LUMETRA.SIM.001\" rdsVer=\"1.0.0\" "
           "dc=\"00000000-0000-0000-0000-000000000001\" mi=\"ZR4410QX\" mc=\"SIMULATED\">\n"
           "\t<additional_info>\n"
           "\t\t<Param name=\"srno\" value=\"SIM0001\" />\n"
           "\t\t<Param name=\"sysid\" value=\"SIMULATED-DEVICE\" />\n"
           "\t</additional_info>\n"
           "</DeviceInfo>";
}

std::string padWithComment(std::string document, std::size_t size) {
    static const char kOpen[] = "<!--";
    static const char kClose[] = "-->";
    const std::size_t frame = sizeof kOpen - 1 + sizeof kClose - 1;
    if (document.size() + frame < size) {
        document += kOpen + std::string(size - document.size() - frame, 'x') + kClose;
    }
    return document;
}

std::string simPidDataDocument(const std::string& pidOptions) {
    XmlParseStatus status;
    XmlNodeRef root = parseXmlText(pidOptions.c_str(), &status, "PidOptions");
    XmlNodeRef opts = status.code == XmlParseCode::None ? root.findChild("Opts") : XmlNodeRef();
    if (opts.isEmpty()) {
        return "<PidData>\n\t<Resp errCode=\"3\" errInfo=\"Invalid PidOptions\" />\n</PidData>";
    }
    const std::string fCount = valueOr(opts.attributeValue("fCount"), "1");
    const std::string fType = valueOr(opts.attributeValue("fType"), "0");
    const std::string format = valueOr(opts.attributeValue("format"), "0");
    const std::string pidVer = valueOr(opts.attributeValue("pidVer"), "2.0");
    return "<PidData>\n"
           "\t<Resp errCode=\"0\" errInfo=\"Capture Success\" fCount=\"" +
           fCount + "\" fType=\"" + fType +
           "\" nmPoints=\"42\" qScore=\"78\" />\n"
           "\t<DeviceInfo dpId=\"LUMETRA.SIM\" rdsId=\"LUMETRA.SIM.001\" rdsVer=\"1.0.0\" "
           "mi=\"ZR4410QX\" mc=\"SIMULATED\" dc=\"00000000-0000-0000-0000-000000000001\" />\n"
           "\t<Skeys ci=\"20301231\">" +
           fakeCaptureData("skey" + pidOptions) +
           "</Skeys>\n"
           "\t<Hmac>" +
           fakeCaptureData("hmac" + pidOptions).substr(0, 64) +
           "</Hmac>\n"
           "\t<Data type=\"" +
           (format == "1" ? "P" : "X") + "\" pidVer=\"" + pidVer + "\">" +
           fakeCaptureData(pidOptions) +
           "</Data>\n"
           "</PidData>";
}
