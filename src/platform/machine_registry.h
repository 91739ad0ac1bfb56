#pragma once

#include <memory>
#include <string>

namespace platform {

// Text values of the machine-wide registry (HKEY_LOCAL_MACHINE, the 64-bit
// view), by key path ("SOFTWARE\\...") and value name. Changing them needs
// an administrator or the system. Not thread-safe; one user at a time.
class MachineRegistry {
  public:
    virtual ~MachineRegistry() = default;
    // False when the value is missing or not text.
    virtual bool read(const std::string& key, const std::string& name, std::string& value) = 0;
    // Creates the key when needed.
    virtual bool write(const std::string& key, const std::string& name,
                       const std::string& value) = 0;
    // True also when the value was not there.
    virtual bool removeValue(const std::string& key, const std::string& name) = 0;
    // Removes a key that holds no other key; true also when it was not there.
    virtual bool removeKey(const std::string& key) = 0;
};

// The system's registry, or null where there is none (Linux).
std::unique_ptr<MachineRegistry> makeMachineRegistry();

}  // namespace platform
