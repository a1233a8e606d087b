// Registering and unregistering the module under Wine: the registry content, the approval value,
// the Send To file, and the entry points' answers.

#include <filesystem>
#include <fstream>

#include "tests/wine/wine_test.h"

namespace wharfling::testing {
namespace {

namespace fs = std::filesystem;

class RegistrationTest : public WineTest {
 protected:
  std::string SendToFile() const { return WineSession::Get()->SendToFolder() + "/upload Parvault.Wharfling"; }
  // The "value" lines of a dump of the class key, the file type and the approval key.
  std::vector<std::string> RegisteredValues() {
    return wine()
        .Probe({"regdump", std::string("HKCR\\CLSID\\") + kClassIdText, "HKCR\\.Wharfling", kApprovedKey})
        .output.All("value");
  }
};

TEST_F(RegistrationTest, RegisterWritesTheTableAndAnEmptySendToFile) {
  SetApprovalKey(true);
  fs::create_directories(fs::path(SendToFile()).parent_path());
  std::ofstream(SendToFile()) << "left over";

  ASSERT_EQ(wine().Windows("regsvr32", {"/s", wine().ModuleWindowsPath()}).status, 0);

  const std::string module = wine().ModuleWindowsPath();
  const std::string classKey = std::string("CLSID\\") + kClassIdText;
  const std::string approved = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
  EXPECT_EQ(RegisteredValues(), (std::vector<std::string>{
                                    classKey + "||REG_SZ|Tidewell",
                                    classKey + "|NeverShowExt|REG_SZ|",
                                    classKey + "\\DefaultIcon||REG_SZ|" + module + ",0",
                                    classKey + "\\InprocServer32||REG_SZ|" + module,
                                    classKey + "\\InprocServer32|ThreadingModel|REG_SZ|Apartment",
                                    classKey + "\\shellex\\DropHandler||REG_SZ|" + kClassIdText,
                                    ".Wharfling||REG_SZ|" + classKey,
                                    approved + "||REG_SZ|",
                                    approved + "|" + kClassIdText + "|REG_SZ|Harbormist",
                                }));
  ASSERT_TRUE(fs::exists(SendToFile()));
  EXPECT_EQ(fs::file_size(SendToFile()), 0u) << "an existing Send To file is emptied";

  // Registering again gives the same content.
  ASSERT_EQ(wine().Windows("regsvr32", {"/s", wine().ModuleWindowsPath()}).status, 0);
  EXPECT_EQ(RegisteredValues().size(), 9u);
}

TEST_F(RegistrationTest, UnregisterRemovesWhatRegistrationAdded) {
  RegisterModule();
  ASSERT_EQ(wine().Windows("regsvr32", {"/s", "/u", wine().ModuleWindowsPath()}).status, 0);
  const auto dump = wine().Probe({"regdump", std::string("HKCR\\CLSID\\") + kClassIdText, "HKCR\\.Wharfling",
                                  "HKCR\\CLSID", kApprovedKey});
  EXPECT_EQ(dump.output.All("key").front(), "CLSID")
      << "the class key and the file type are gone, CLSID stays";
  for (const auto& value : dump.output.All("value")) {
    EXPECT_EQ(value.find(kClassIdText), std::string::npos) << value;
    EXPECT_EQ(value.find(".Wharfling"), std::string::npos) << value;
  }
  EXPECT_FALSE(fs::exists(SendToFile()));

  // Nothing left to remove still succeeds.
  EXPECT_EQ(wine().Probe({"unregister", wine().ModuleWindowsPath()}).output["hr"], "0x00000000");
}

TEST_F(RegistrationTest, WithoutTheApprovalKeyNothingIsRegistered) {
  wine().Windows("regsvr32", {"/s", "/u", wine().ModuleWindowsPath()});
  SetApprovalKey(false);
  EXPECT_EQ(wine().Probe({"register", wine().ModuleWindowsPath()}).output["hr"], "0x80070005");
  EXPECT_TRUE(RegisteredValues().empty());
  EXPECT_FALSE(fs::exists(SendToFile()));
  SetApprovalKey(true);
}

TEST_F(RegistrationTest, ClassObjectAndUnloading) {
  const auto classObject = wine().Probe({"classobject", wine().ModuleWindowsPath()}).output;
  const auto lifetime = wine().Probe({"lifetime", wine().ModuleWindowsPath()}).output;
  const struct {
    const ProbeOutput& output;
    const char* key;
    const char* expected;
  } kExpectations[] = {
      {classObject, "unknown.hr", "0x80040111"},  // CLASS_E_CLASSNOTAVAILABLE
      {classObject, "unknown.out", "null"},
      {classObject, "known.hr", "0x00000000"},
      {classObject, "known.out", "set"},
      {classObject, "null.hr", "0x80004003"},  // E_POINTER
      {lifetime, "idle", "0x00000000"},
      {lifetime, "create.hr", "0x00000000"},
      {lifetime, "alive", "0x00000001"},       // S_FALSE while a drop handler lives
      {lifetime, "missing.hr", "0x80004002"},  // E_NOINTERFACE
      {lifetime, "released", "0x00000000"},
      {lifetime, "locked", "0x00000001"},
      {lifetime, "unlocked", "0x00000000"},
      {lifetime, "aggregate.wrong.hr", "0x80040110"},  // CLASS_E_NOAGGREGATION
      {lifetime, "aggregate.hr", "0x00000000"},
      {lifetime, "aggregate.delegates", "yes"},
      {lifetime, "aggregate.released", "0x00000000"},
  };
  for (const auto& expectation : kExpectations) {
    EXPECT_EQ(expectation.output[expectation.key], expectation.expected) << expectation.key;
  }
}

}  // namespace
}  // namespace wharfling::testing
