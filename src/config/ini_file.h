#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>

// A value whose references keep coming back (A's value holding %A%, directly
// or through other values) would expand forever: expansion stops after this
// many replacements and the value is stored as it stands then.
constexpr int kIniMaxReferenceReplacements = 64;

// Expansion also stops before a replacement would make a value longer than
// this, since references can multiply a value's length with every line.
constexpr std::size_t kIniMaxExpandedLength = 8 * 1024;

// A config.ini file held in memory: KEY = VALUE lines, groups opened by
// NAME = ( and closed by a line holding ')', and %KEY% references expanded
// when a value is stored. Each node holds its own values and its groups as
// child nodes; a node owns its children. Not thread-safe; use from one
// thread at a time.
class IniFile {
  public:
    IniFile();
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    // Reads the file at `path`. False when it cannot be opened (nothing is
    // read then); a read error ends the reading like the end of the file and
    // keeps what was read. Definitions add to those already held.
    bool load(const std::string& path);

    // Reads `contents` as if it were the bytes of a file.
    void loadText(const std::string& contents);

    // Value of `key` at this level; empty when undefined here. Keys are
    // case-sensitive and keys inside groups are never found.
    std::string getString(const std::string& key) const;

    // getString converted like atoi (leading white space, optional sign,
    // leading digits; 0 when no digit comes first), clamped to the int range.
    int getInt(const std::string& key) const;

    // The group `name` opened at this level, or null when there is none.
    const IniFile* group(const std::string& name) const;

  private:
    friend class IniLoader;

    std::map<std::string, std::string> values_;
    std::map<std::string, std::unique_ptr<IniFile>> children_;
};
