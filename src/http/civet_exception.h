#pragma once

#include <stdexcept>
#include <string>
#include <utility>

// Thrown by the CivetServer constructor when the engine does not start.
// what() is the fixed message; reason() is the engine's own account of the
// failure (a port it could not bind, a certificate it could not load), empty
// when it gave none.
class CivetException : public std::runtime_error {
  public:
    explicit CivetException(const std::string& message, std::string reason = std::string())
        : std::runtime_error(message), reason_(std::move(reason)) {}

    const std::string& reason() const { return reason_; }

  private:
    std::string reason_;
};
