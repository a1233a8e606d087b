// The registrar of the module's registry script: parsing the script format and the order and kind
// of every registry operation on registration and removal, against a recording registry.

#include <gtest/gtest.h>

#include <set>

#include "shell/registrar.h"

namespace wharfling::shell {
namespace {

// A registry in memory that records each operation as text.
class RecordingRegistry final : public RegistryOps {
 public:
  bool IsKnownRoot(std::string_view root) const override { return root == "HKCR" || root == "HKCU"; }
  std::int32_t CreateKey(std::string_view root, const std::string& path) override {
    log.push_back("create " + Name(root, path));
    keys.insert(Name(root, path));
    return failOn == Name(root, path) ? kAccessDenied : 0;
  }
  std::int32_t SetValue(std::string_view root, const std::string& path, const std::string& name,
                        const ScriptValue& value) override {
    const std::string data =
        value.type == ScriptValue::Type::kDword ? "#" + std::to_string(value.dword) : "'" + value.text + "'";
    log.push_back("set " + Name(root, path) + " [" + name + "] = " + data);
    return 0;
  }
  bool KeyExists(std::string_view root, const std::string& path) override {
    return keys.count(Name(root, path)) > 0;
  }
  std::int32_t DeleteTree(std::string_view root, const std::string& path) override {
    log.push_back("delete-tree " + Name(root, path));
    return 0;
  }
  void DeleteKeyIfLeaf(std::string_view root, const std::string& path) override {
    log.push_back("delete-if-leaf " + Name(root, path));
  }
  void DeleteValue(std::string_view root, const std::string& path, const std::string& name) override {
    log.push_back("delete-value " + Name(root, path) + " [" + name + "]");
  }

  static constexpr std::int32_t kAccessDenied = static_cast<std::int32_t>(0x80070005u);
  std::vector<std::string> log;
  std::set<std::string> keys;
  std::string failOn;

 private:
  static std::string Name(std::string_view root, const std::string& path) {
    return std::string(root) + "\\" + path;
  }
};

// The module's own script, as shipped.
constexpr std::string_view kModuleScript = R"(HKCR
{
	NoRemove CLSID
	{
		ForceRemove {6F1D3A52-8C4B-4E27-9A1F-2B7C5D0E9F43} = s 'Tidewell'
		{
			InprocServer32 = s '%MODULE%'
			{
				val ThreadingModel = s 'Apartment'
			}
			val NeverShowExt = s ''
			DefaultIcon = s '%MODULE%,0'
			shellex
			{
				DropHandler = s '{6F1D3A52-8C4B-4E27-9A1F-2B7C5D0E9F43}'
			}
		}
	}
	.Wharfling = s 'CLSID\{6F1D3A52-8C4B-4E27-9A1F-2B7C5D0E9F43}'
}
)";
constexpr const char* kClass = "HKCR\\CLSID\\{6F1D3A52-8C4B-4E27-9A1F-2B7C5D0E9F43}";

ParsedScript ModuleScript() {
  return ParseRegistryScript(kModuleScript, {{"MODULE", "C:\\it's\\wharfling.dll"}});
}

TEST(Registrar, RegistrationWritesTheTableInScriptOrder) {
  RecordingRegistry registry;
  ASSERT_EQ(RegisterScript(ModuleScript(), registry), kRegistrarOk);
  const std::string c = kClass;
  EXPECT_EQ(registry.log,
            (std::vector<std::string>{
                "create HKCR\\CLSID",
                "delete-tree " + c,
                "create " + c,
                "set " + c + " [] = 'Tidewell'",
                "create " + c + "\\InprocServer32",
                "set " + c + "\\InprocServer32 [] = 'C:\\it's\\wharfling.dll'",
                "set " + c + "\\InprocServer32 [ThreadingModel] = 'Apartment'",
                "set " + c + " [NeverShowExt] = ''",
                "create " + c + "\\DefaultIcon",
                "set " + c + "\\DefaultIcon [] = 'C:\\it's\\wharfling.dll,0'",
                "create " + c + "\\shellex",
                "create " + c + "\\shellex\\DropHandler",
                "set " + c + "\\shellex\\DropHandler [] = '{6F1D3A52-8C4B-4E27-9A1F-2B7C5D0E9F43}'",
                "create HKCR\\.Wharfling",
                "set HKCR\\.Wharfling [] = 'CLSID\\{6F1D3A52-8C4B-4E27-9A1F-2B7C5D0E9F43}'",
            }));
}

TEST(Registrar, RemovalKeepsNoRemoveKeysAndTakesForceRemoveKeysWhole) {
  RecordingRegistry registry;
  registry.keys = {"HKCR\\CLSID", kClass, "HKCR\\.Wharfling"};
  ASSERT_EQ(UnregisterScript(ModuleScript(), registry), kRegistrarOk);
  EXPECT_EQ(registry.log, (std::vector<std::string>{"delete-tree " + std::string(kClass),
                                                    "delete-if-leaf HKCR\\.Wharfling"}));
}

TEST(Registrar, RemovalSkipsMissingKeysAndDeletesNamedValuesOfPlainKeys) {
  RecordingRegistry registry;
  registry.keys = {"HKCU\\Software", "HKCU\\Software\\App"};
  const auto script = ParseRegistryScript("HKCU { Software { App { val Mode = d 0x10 Gone = s 'x' } } }", {});
  ASSERT_EQ(UnregisterScript(script, registry), kRegistrarOk);
  EXPECT_EQ(registry.log, (std::vector<std::string>{"delete-value HKCU\\Software\\App [Mode]",
                                                    "delete-if-leaf HKCU\\Software\\App",
                                                    "delete-if-leaf HKCU\\Software"}));
}

TEST(Registrar, TheFirstFailureEndsRegistration) {
  RecordingRegistry registry;
  registry.failOn = std::string(kClass) + "\\InprocServer32";
  EXPECT_EQ(RegisterScript(ModuleScript(), registry), RecordingRegistry::kAccessDenied);
  EXPECT_EQ(registry.log.back(), "create " + registry.failOn);
}

TEST(Registrar, DeleteMarkRemovesOnRegistration) {
  RecordingRegistry registry;
  ASSERT_EQ(RegisterScript(ParseRegistryScript("HKCR { Delete Old { Child } New = d 7 }", {}), registry), 0);
  EXPECT_EQ(registry.log,
            (std::vector<std::string>{"delete-tree HKCR\\Old", "create HKCR\\New", "set HKCR\\New [] = #7"}));
}

TEST(RegistryScript, PlaceholdersAndQuotes) {
  const auto script = ParseRegistryScript("HKCU { 'Key Name' = s '100%% of ''%A%''' }", {{"A", "x"}});
  ASSERT_EQ(script.error, "");
  ASSERT_EQ(script.roots.size(), 1u);
  EXPECT_EQ(script.roots[0].keys[0].name, "Key Name");
  EXPECT_EQ(script.roots[0].keys[0].defaultValue->text, "100% of 'x'");
}

TEST(RegistryScript, FaultsAreReportedAndNothingIsRun) {
  const struct {
    std::string_view script;
    const char* error;
  } kCases[] = {
      {"HKCR { Key = s 'open", "unterminated quoted text"},
      {"HKCR { Key = s '%NOPE%' }", "unknown placeholder in '%NOPE%'"},
      {"HKCR { Key = b '00' }", "unknown value type 'b'"},
      {"HKCR { Key = d 12x }", "bad number '12x'"},
      {"HKCR { Key { val V = s 'x' }", "missing '}'"},
      {"HKCR { val V = s 'x' }", "a value needs a key"},
      {"HKCR Key", "expected '{'"},
  };
  for (const auto& c : kCases) {
    const auto parsed = ParseRegistryScript(c.script, {});
    EXPECT_EQ(parsed.error, c.error) << c.script;
    EXPECT_TRUE(parsed.roots.empty());
    RecordingRegistry registry;
    EXPECT_EQ(RegisterScript(parsed, registry), kRegistrarBadScript);
    EXPECT_TRUE(registry.log.empty());
  }
  RecordingRegistry registry;
  EXPECT_EQ(RegisterScript(ParseRegistryScript("HKXX { Key }", {}), registry), kRegistrarBadScript)
      << "an unknown root";
}

}  // namespace
}  // namespace wharfling::shell
