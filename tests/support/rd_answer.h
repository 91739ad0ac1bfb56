#pragma once

#include <string>

namespace testing_support {

// The exact bytes of an RD answer: status line, fixed header block and body.
std::string rdAnswer(const std::string& location, const std::string& origin,
                     const std::string& body, const std::string& extraHeaderLines = "");

// The same for a caller whose origin is not allowed: no Access-Control-Allow-* line.
std::string rdAnswerAdmittingNoOrigin(const std::string& location, const std::string& body);

// The PidData error document for a code and its name.
std::string pidData(int code, const std::string& info);

// The discovery document of a device of the default model with `interfaces`.
std::string deviceRdServiceDocument(const std::string& interfaces = "");

// This extension's own RDService discovery document.
std::string ownRdServiceDocument();

}  // namespace testing_support
