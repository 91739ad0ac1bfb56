#pragma once

#include <string>

namespace testing_support {

// The command line the service manager runs for service `name`; empty when
// the service is not registered. Windows only.
std::string registeredServiceCommand(const std::string& name);

// The event source `name` as registered in the Application log: its
// EventMessageFile ("" when the key is missing) and TypesSupported.
struct EventSourceValues {
    std::string messageFile;
    unsigned long typesSupported = 0;
};
EventSourceValues registeredEventSource(const std::string& name);

// Message `id` of the message table in `module`, formatted with `insert`
// as %1; empty when there is no such message.
std::string formatModuleMessage(const std::string& module, unsigned long id,
                                const std::string& insert);

}  // namespace testing_support
