#include "rd/rd_documents.h"

#include <gtest/gtest.h>

#include <string>

#include "rd/rd_error.h"

namespace {

TEST(RdServiceDocument, IsTheFixed199ByteText) {
    char buffer[kRdServiceDocumentBufferSize];
    const std::string document = formatRdServiceDocument(buffer, "READY");
    EXPECT_EQ(
        "<RDService status=\"READY\" info=\"Quillaris-USB-ZR4410QX Registered Device Service "
        "Extension\">\n\t<Interface id=\"CAPTURE\" path=\"/rd/capture\" />\n\t<Interface "
        "id=\"DEVICEINFO\" path=\"/rd/info\" />\n</RDService>",
        document);
    EXPECT_EQ(199u, document.size());
}

TEST(PidDataDocument, HasTheDocumentedLengths) {
    EXPECT_EQ("<PidData> <Resp errCode=\"5\" errInfo=\"RDSERVICE_NOT_AVAILABLE\" /></PidData>",
              formatPidDataDocument(5, "RDSERVICE_NOT_AVAILABLE"));
    EXPECT_EQ(74u, formatPidDataDocument(5, "RDSERVICE_NOT_AVAILABLE").size());
    EXPECT_EQ(62u, formatPidDataDocument(2, "UNSUPPORTED").size());
}

TEST(Location, JoinsHostPortAndPath) {
    char buffer[kLocationBufferSize];
    EXPECT_STREQ("http://127.0.0.1:11100/", formatLocation(buffer, "127.0.0.1", 11100, "/"));
    EXPECT_STREQ("http://127.0.0.1:-1", formatLocation(buffer, "127.0.0.1", -1, nullptr));
}

TEST(Location, LongPathIsCutAt255Characters) {
    char buffer[kLocationBufferSize];
    const std::string path = "/" + std::string(1000, 'a');
    const std::string location = formatLocation(buffer, "127.0.0.1", 11100, path.c_str());
    EXPECT_EQ(255u, location.size());
    EXPECT_EQ(0u, location.find("http://127.0.0.1:11100/aaa"));
}

TEST(RdError, NamesOfTheTableAndFormattedOthers) {
    const char* const expected[] = {"",
                                    "FAILED",
                                    "UNSUPPORTED",
                                    "INVALID_PARAMETER",
                                    "INVALID_DATA",
                                    "RDSERVICE_NOT_AVAILABLE"};
    for (int code = 0; code <= 5; ++code) {
        EXPECT_STREQ(expected[code], RDSWrapperError(code).errorInfo()) << code;
    }
    EXPECT_STREQ("RDSWrapper error: 6", RDSWrapperError(6).errorInfo());
    EXPECT_STREQ("RDSWrapper error: -1", RDSWrapperError(-1).errorInfo());
    EXPECT_STREQ("RDSWrapper error: -2147483648", RDSWrapperError(INT32_MIN).errorInfo());
    EXPECT_EQ(-1, RDSWrapperError(-1).errorCode());
}

}  // namespace
