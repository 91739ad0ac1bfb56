#include <gtest/gtest.h>

#include "xml/xml_test_util.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "config/data_directory.h"
#include "config/device_model.h"
#include "config/xml_config.h"
#include "platform/data_folder.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

using xml_test::utf16le;

#ifdef _WIN32
const std::string kLineEnd = "\r\n";
#else
const std::string kLineEnd = "\n";
#endif

const std::string kDefaultFile =
    std::string("<opts devicemodel=\"") + kDefaultDeviceModel + "\"/>" + kLineEnd;

// Reads the device model from a data directory in a fresh temporary base folder.
class DeviceConfigTest : public ::testing::Test {
  protected:
    std::string readModel() { return readDeviceModel(DataDirectory(base_.path().string())); }

    fs::path directory() const { return base_.path() / "Lumetra-RD-Service-Wrapper"; }
    fs::path file() const { return directory() / "DeviceConfig.xml"; }

    void writeFile(const std::string& bytes) {
        fs::create_directory(directory());
        std::ofstream(file(), std::ios::binary) << bytes;
    }

    std::string fileBytes() const {
        return base_.read("Lumetra-RD-Service-Wrapper/DeviceConfig.xml");
    }

    // Reads the model from a file holding `bytes`.
    std::string modelFrom(const std::string& bytes) {
        writeFile(bytes);
        return readModel();
    }

    testing_support::TempFolder base_;
};

}  // namespace

TEST(DataFolder, MachineWideFolder) {
#ifdef _WIN32
    EXPECT_FALSE(platform::commonAppDataFolder().empty());
#else
    EXPECT_EQ("/var/lib", platform::commonAppDataFolder());
#endif
}

TEST(DataDirectory, DefaultModelNamesAFamilyAndAModel) {
    EXPECT_STREQ("Quillaris-USB ZR4410QX", kDefaultDeviceModel);
}

TEST_F(DeviceConfigTest, DirectoryIsTheBaseFolderPlusTheProgramNameAndCreatedOnlyByAWrite) {
    const DataDirectory directory(base_.path().string());
    EXPECT_EQ(base_.path().string() + "/Lumetra-RD-Service-Wrapper", directory.path());
    EXPECT_EQ(directory.path() + "/DeviceConfig.xml", directory.filePath("DeviceConfig.xml"));
    const DeviceModelRead readOnly = loadDeviceModel(directory, DeviceConfigAccess::kReadOnly);
    EXPECT_EQ(kDefaultDeviceModel, readOnly.model);
    EXPECT_EQ("", readOnly.notice);
    EXPECT_FALSE(fs::exists(directory.path()));
    EXPECT_EQ(kDefaultDeviceModel, readModel());
    EXPECT_TRUE(fs::is_directory(directory.path()));
}

#ifndef _WIN32
TEST(DataDirectory, EmptyFolderFallsBackToProgramData) {
    // A relative path here, created in a scratch working directory.
    testing_support::TempFolder scratch;
    testing_support::ScopedWorkingDirectory inScratch(scratch.path());
    EXPECT_EQ("C:/ProgramData/Lumetra-RD-Service-Wrapper", DataDirectory("").path());
}
#endif

TEST_F(DeviceConfigTest, NoDirectoryAndNoFileCreatesBoth) {
    ASSERT_FALSE(fs::exists(directory()));
    EXPECT_EQ(kDefaultDeviceModel, readModel());
    EXPECT_EQ(kDefaultFile, fileBytes());
    EXPECT_EQ(kDefaultFile.size(), fs::file_size(file()));
#ifdef _WIN32
    EXPECT_EQ(46u, fs::file_size(file()));
#else
    EXPECT_EQ(45u, fs::file_size(file()));
#endif
}

TEST_F(DeviceConfigTest, ValidFileIsReadAndNeverRewritten) {
    const std::string bytes = "  <opts   devicemodel='XYZ' />";
    EXPECT_EQ("XYZ", modelFrom(bytes));
    EXPECT_EQ("XYZ", readModel());
    EXPECT_EQ(bytes, fileBytes());
}

// A file that loads gives its model and is left as it is; one whose element
// is not exactly <opts> is replaced by the default.
TEST_F(DeviceConfigTest, EachValidFileGivesItsModel) {
    const std::string kept = "(kept)";
    const struct {
        std::string bytes;
        std::string model;
        std::string fileAfter;  // "(kept)": the same bytes; empty: not checked
    } rows[] = {
        {"<opts DeviceModel=\"XYZ\"/>", "XYZ", ""},  // the attribute name ignores case
        {"<OPTS devicemodel=\"XYZ\"/>", kDefaultDeviceModel, kDefaultFile},
        {"<opts/>", "", kept},  // a missing setting gives the empty text
        {"<opts other=\"1\"/>", "", kept},
        {"<opts devicemodel/>", "", ""},
        {"<opts devicemodel='A &amp; B'/>", "A & B", ""},  // decoded
        {"<opts devicemodel='first' devicemodel='second'/>", "first", ""},
        {"\xEF\xBB\xBF<opts devicemodel=\"XYZ\"/>", "XYZ", ""},
        {"\xFF\xFE" + utf16le("<opts devicemodel=\"XYZ\"/>\r\n"), "XYZ", kept},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.bytes);
        EXPECT_EQ(row.model, modelFrom(row.bytes));
        if (!row.fileAfter.empty()) {
            EXPECT_EQ(row.fileAfter == kept ? row.bytes : row.fileAfter, fileBytes());
        }
    }
}

// An existing file that does not load is kept byte for byte beside the
// default that replaces it, and one line says where and why.
TEST_F(DeviceConfigTest, InvalidFilesAreKeptAsideBeforeTheDefaultIsWritten) {
    struct Case {
        std::string bytes;
        std::string problem;
    };
    const Case cases[] = {
        {"<?xml version=\"1.0\"?>\n<opts devicemodel=\"XYZ\"/>", "its element is not <opts>"},
        {"<opts devicemodel=\"XYZ\">", "XML parse code 1, line 1, column 25"},
        {"\xFF\xFE" + utf16le("<opts devicemodel=\"XYZ\">"), "XML parse code 1, line 1, column 25"},
        {"", "XML parse code 3, line 0, column 0"},
        {"<!-- model --><opts devicemodel=\"XYZ\"/>", "its element is not <opts>"},
        {"<opts devicemodel=\"X &nbsp; Y\"/>", "XML parse code 12, line 1, column 31"},
        {"\xFF\xFE" + utf16le("<opts devicemodel=\"") + std::string("\x00\xDC", 2) +
             utf16le("\"/>"),
         "XML parse code 14, line 0, column 0"},
    };
    const DataDirectory data(base_.path().string());
    const std::string path = data.filePath("DeviceConfig.xml");
    for (const Case& c : cases) {
        writeFile(c.bytes);
        const std::string invalid = path + " is invalid (" + c.problem + ")";
        EXPECT_EQ(invalid + ": a start keeps it as " + path + ".invalid and writes the default",
                  loadDeviceModel(data, DeviceConfigAccess::kReadOnly).notice);
        EXPECT_EQ(c.bytes, fileBytes());
        const DeviceModelRead read = loadDeviceModel(data, DeviceConfigAccess::kReadWrite);
        EXPECT_EQ(kDefaultDeviceModel, read.model);
        EXPECT_EQ(invalid + ": kept as " + path + ".invalid, the default written", read.notice);
        EXPECT_EQ(kDefaultFile, fileBytes());
        EXPECT_EQ(c.bytes, base_.read("Lumetra-RD-Service-Wrapper/DeviceConfig.xml.invalid"));
    }
}

TEST_F(DeviceConfigTest, DirectoryThatCannotBeCreatedGivesTheDefault) {
    // The base "folder" is a file, so nothing can be created below it.
    const std::string blocker = base_.write("blocker", "x");
    EXPECT_EQ(kDefaultDeviceModel, readDeviceModel(DataDirectory(blocker)));
    EXPECT_EQ("x", base_.read("blocker"));
}

TEST_F(DeviceConfigTest, ConcurrentCallsAllSeeAWholeFile) {
    constexpr int kThreads = 8;
    constexpr int kCalls = 25;
    for (int round = 0; round < 3; ++round) {
        fs::remove_all(directory());
        std::atomic<int> ready{0};
        std::atomic<int> wrong{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&] {
                ++ready;
                while (ready.load() < kThreads) std::this_thread::yield();
                for (int i = 0; i < kCalls; ++i) {
                    if (readModel() != kDefaultDeviceModel) ++wrong;
                }
            });
        }
        for (std::thread& thread : threads) thread.join();
        EXPECT_EQ(0, wrong.load());
        EXPECT_EQ(kDefaultFile, fileBytes());
    }
}

// --- XmlConfig ---------------------------------------------------------------

TEST_F(DeviceConfigTest, XmlConfigStartsEmptyAndSavesWhatWasSet) {
    XmlConfig config("settings");
    EXPECT_STREQ("", config.get("a"));
    config.set("a", "1 < 2");
    config.set("B", "x");
    config.set("b", "y");
    EXPECT_STREQ("y", config.get("B"));
    const std::string path = (base_.path() / "settings.xml").string();
    ASSERT_TRUE(config.save(path));
    EXPECT_EQ("<settings a=\"1 &lt; 2\" B=\"y\"/>" + kLineEnd, base_.read("settings.xml"));

    XmlConfig loaded("settings");
    ASSERT_TRUE(loaded.load(path));
    EXPECT_STREQ("1 < 2", loaded.get("a"));
    EXPECT_STREQ("y", loaded.get("b"));
}

TEST_F(DeviceConfigTest, XmlConfigRejectionKeepsTheSettings) {
    XmlConfig config("opts");
    config.set("devicemodel", "kept");
    EXPECT_FALSE(config.load(base_.write("wrong.xml", "<other devicemodel='x'/>")));
    EXPECT_FALSE(config.load((base_.path() / "missing.xml").string()));
    EXPECT_FALSE(config.load(""));
    EXPECT_STREQ("kept", config.get("devicemodel"));
}

TEST_F(DeviceConfigTest, XmlConfigSaveFailsWhenTheFileCannotBeOpened) {
    XmlConfig config("opts");
    EXPECT_FALSE(config.save(""));
    EXPECT_FALSE(config.save((base_.path() / "no" / "such" / "dir.xml").string()));
}
