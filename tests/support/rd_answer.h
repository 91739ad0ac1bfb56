#pragma once

#include <string>

namespace testing_support {

// The exact bytes of an RD answer: status line, fixed header block and body.
std::string rdAnswer(const std::string& location, const std::string& origin,
                     const std::string& body, const std::string& extraHeaderLines = "");

// The PidData error document for a code and its name.
std::string pidData(int code, const std::string& info);

// This extension's own RDService discovery document.
std::string ownRdServiceDocument();

}  // namespace testing_support
