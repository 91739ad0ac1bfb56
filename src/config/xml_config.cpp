#include "config/xml_config.h"

#include <cstdio>

#include "platform/file_handle.h"
#include "xml/xml_parser.h"

XmlConfig::XmlConfig(const std::string& rootName)
    : rootName_(rootName), root_(makeRootNode(rootName.c_str())) {}

bool XmlConfig::load(const std::string& filePath, XmlParseStatus* statusOut) {
    XmlParseStatus status;
    XmlNodeRef loaded = parseXmlFile(filePath.c_str(), &status, nullptr);
    if (statusOut != nullptr) *statusOut = status;
    // Unlike the XML lookups, the element name must match exactly.
    if (status.code != XmlParseCode::None || loaded.isEmpty() || loaded.name() == nullptr ||
        rootName_ != loaded.name()) {
        return false;
    }
    root_ = loaded;
    return true;
}

bool XmlConfig::save(const std::string& filePath) const {
    const std::string text = root_.serialize(true);
    // Text mode: on Windows each LF reaches the disk as CR LF.
    platform::FileHandle file = platform::openFile(filePath.c_str(), "w");
    if (file == nullptr) return false;
    const std::size_t written = std::fwrite(text.data(), 1, text.size(), file.get());
    // A failed flush at close also means the text did not reach the file.
    return written == text.size() && std::fclose(file.release()) == 0;
}

const char* XmlConfig::get(const std::string& key) const {
    const char* value = root_.attributeValue(key.c_str());
    return value != nullptr ? value : "";
}

void XmlConfig::set(const std::string& key, const std::string& value) {
    root_.setAttribute(key.c_str(), value.c_str());
}
