#pragma once

#include <string>

#include "xml/xml_node.h"
#include "xml/xml_parser.h"

// A settings file of one XML element whose attributes are the settings.
// Not thread-safe: one object belongs to one thread.
class XmlConfig {
  public:
    // Holds an empty element named `rootName` until a file is loaded.
    explicit XmlConfig(const std::string& rootName);
    XmlConfig(const XmlConfig&) = delete;
    XmlConfig& operator=(const XmlConfig&) = delete;

    // True, with the settings replaced, when the file parses without any error
    // as one lone element named exactly (case-sensitively) the root name;
    // false with the settings unchanged otherwise. `status` (may be null)
    // receives the parse's outcome: code 0 with a false result means the
    // element had another name.
    bool load(const std::string& filePath, XmlParseStatus* status = nullptr);

    // Writes the formatted element in text mode (LF becomes CR LF on Windows),
    // creating or truncating the file. True when all of it was written.
    bool save(const std::string& filePath) const;

    // Value of the setting (its name compared ignoring ASCII case), or the
    // empty text when missing or without value. The text belongs to this
    // object and lives until the setting changes or the object goes.
    const char* get(const std::string& key) const;

    // Replaces the value of the setting, or adds the setting at the end.
    void set(const std::string& key, const std::string& value);

  private:
    std::string rootName_;
    XmlNodeRef root_;
};
