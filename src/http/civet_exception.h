#pragma once

#include <stdexcept>
#include <string>

// Thrown by the CivetServer constructor when the engine does not start.
class CivetException : public std::runtime_error {
public:
    explicit CivetException(const std::string& message) : std::runtime_error(message) {}
};
