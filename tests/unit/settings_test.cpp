#include "session/settings.h"

#include <gtest/gtest.h>

#include <optional>

#include "platform/posix/encoding.h"
#include "session/site_catalogue.h"
#include "tests/support/memory_settings_store.h"

namespace wharfling {
namespace {

using testing::MemorySettingsStore;

DialogSettings Load(MemorySettingsStore& store) {
  DialogSettings settings;
  LoadSettings(store, EndpointTable::Defaults(), settings);
  return settings;
}

TEST(LoadSettings, EmptyProfileGivesDestinationOneDefaults) {
  MemorySettingsStore store;
  const DialogSettings settings = Load(store);
  EXPECT_EQ(settings.siteIndex, 1);
  EXPECT_EQ(settings.chooseSiteAtStart, 0);
  EXPECT_EQ(settings.maxFilesPerRun, -1);
  EXPECT_EQ(settings.account.uid, 1);
  EXPECT_EQ(settings.account.id, "");
  EXPECT_EQ(settings.account.password, "");
  EXPECT_EQ(settings.account.maxFileSize, 2000000u);
  EXPECT_EQ(settings.account.url, "http://www.parvault.example");
  EXPECT_EQ(CatalogueRow(settings.siteIndex).caption, "Parvault");
  EXPECT_TRUE(store.writes.empty()) << "nothing is written at first start";
}

TEST(LoadSettings, EachDestinationReadsItsOwnValues) {
  const struct {
    int site;
    const char* idValue;
    const char* passwordValue;
    const char* maxSizeValue;
    std::uint32_t defaultMaxSize;
    const char* defaultUrl;
    const char* caption;  // UTF-8
  } cases[] = {
      {2, "Id002", "Pw002", "iparvault_maxsize", 4000000, "http://127.0.0.1:8780/ParvaultAsp2",
       "社内Parvault"},
      {3, "Id003", "Pw003", "z_maxsize", 5000000, "http://www.zorg.example", "Zorg"},
      {4, "Id004", "Pw004", "h_maxsize", 5000000, "https://www.hatena.example", "はてな"},
      {5, "Id005", "Pw005", "p_maxsize", 5000000, "http://photo.creativepeople.example", "ﾋﾟｰﾌﾟﾙﾌｫﾄ"},
      {7, "Id007", "Pw007", "mixi_maxsize", 5000000, "http://mixi.example", "MIXI"},
      {9, "Id009", "Pw009", "iiiro_maxsize", 5000000, "https://www.iiiro.example", "いい色"},
      {12, "Id012", "Pw012", "raku_maxsize", 5000000, "https://account.rakuten.example", "楽天"},
      {13, "Id013", "Pw013", "pic_maxsize", 5000000, "https://secure.picmate.example", "PicMate"},
      {14, "Id014", "Pw014", "snap_maxsize", 5000000, "http://www.snapfish.example", "Snapfish"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.site);
    MemorySettingsStore store;
    store.values[{"Settings", "Select001"}] = c.site;
    DialogSettings settings = Load(store);
    EXPECT_EQ(settings.account.uid, c.site);
    EXPECT_EQ(settings.account.maxFileSize, c.defaultMaxSize);
    EXPECT_EQ(settings.account.url, c.defaultUrl);
    EXPECT_EQ(posix::Cp932ToUtf8(CatalogueRow(c.site).caption), c.caption);

    store.values[{"Settings", c.idValue}] = Text("user");
    store.values[{"Settings", c.passwordValue}] = Text("secret");
    store.values[{"Settings", c.maxSizeValue}] = 123;
    store.values[{"Settings", NumberedValueName("Uid", c.site)}] = 1;
    store.values[{"Settings", NumberedValueName("Url", c.site)}] = Text("http://elsewhere");
    settings = Load(store);
    EXPECT_EQ(settings.account.id, "user");
    EXPECT_EQ(settings.account.password, "secret");
    EXPECT_EQ(settings.account.maxFileSize, 123u);
    EXPECT_EQ(settings.account.uid, 1);
    EXPECT_EQ(settings.account.url, "http://elsewhere");
  }
}

TEST(LoadSettings, OutOfRangeSelectionBehavesAsOneButIsKept) {
  for (const int stored : {0, -3, 15, 1000}) {
    MemorySettingsStore store;
    store.values[{"Settings", "Select001"}] = stored;
    store.values[{"Settings", "ParvaultD"}] = Text("me");
    const DialogSettings settings = Load(store);
    EXPECT_EQ(settings.siteIndex, stored);
    EXPECT_EQ(settings.account.id, "me");
    EXPECT_EQ(settings.account.uid, 1);
    EXPECT_EQ(CatalogueRow(settings.siteIndex).caption, "Parvault");

    SaveSettings(store, settings, false);
    EXPECT_EQ(std::get<std::int32_t>(store.values[{"Settings", "Select001"}]), stored);
    EXPECT_EQ(store.writes,
              (std::vector<std::string>{"Settings/Select001", "Settings/ParvaultD", "Settings/ParvaultW"}));
  }
}

TEST(LoadSettings, ModeValues) {
  MemorySettingsStore store;
  store.values[{"Mode", "multi"}] = 2;
  store.values[{"Mode", "rule"}] = 0;
  const DialogSettings settings = Load(store);
  EXPECT_EQ(settings.chooseSiteAtStart, 2);
  EXPECT_EQ(settings.maxFilesPerRun, 0);
}

TEST(LoadSettings, SizeLimitIsUnsigned32Bit) {
  MemorySettingsStore store;
  store.values[{"Settings", "Size"}] = -1;  // a DWORD of 0xFFFFFFFF
  EXPECT_EQ(Load(store).account.maxFileSize, 4294967295u);
}

TEST(SaveSettings, SelectionOnlyWritesJustTheSelection) {
  MemorySettingsStore store;
  DialogSettings settings;
  settings.siteIndex = 3;
  settings.account.id = "a";
  settings.account.password = "";
  SaveSettings(store, settings, true);
  EXPECT_EQ(store.writes, std::vector<std::string>{"Settings/Select001"});
  SaveSettings(store, settings, false);
  EXPECT_EQ(store.writes, (std::vector<std::string>{"Settings/Select001", "Settings/Select001",
                                                    "Settings/Id003", "Settings/Pw003"}));
  EXPECT_EQ(std::get<Text>(store.values[{"Settings", "Pw003"}]), "")
      << "an empty text is written, not deleted";
}

TEST(EndpointTable, OverridesOnlyKnownKeysWithUsableHosts) {
  EndpointTable table = EndpointTable::Defaults();
  EXPECT_TRUE(table.Override("hatena.photo", "127.0.0.1:9000"));
  EXPECT_EQ(table.Host("hatena.photo"), "127.0.0.1:9000");
  EXPECT_FALSE(table.Override("hatena.nothing", "x"));
  EXPECT_FALSE(table.Override("zorg.web", "evil.example/path"));
  EXPECT_FALSE(table.Override("zorg.web", ""));
  EXPECT_EQ(table.Host("zorg.web"), "www.zorg.example");
  EXPECT_EQ(table.entries().size(), 20u);
}

TEST(LoadSettings, PhotoOptionsAreOffUnlessTheProfileTurnsThemOn) {
  const struct {
    std::optional<int> fit, noLocation;
  } cases[] = {{std::nullopt, std::nullopt}, {1, std::nullopt}, {std::nullopt, 1}, {1, 1}, {0, 0}};
  for (const auto& c : cases) {
    MemorySettingsStore store;
    if (c.fit) store.WriteInt(kModeSection, "fit", *c.fit);
    if (c.noLocation) store.WriteInt(kModeSection, "nolocation", *c.noLocation);
    const DialogSettings settings = Load(store);
    EXPECT_EQ(settings.fit, c.fit.value_or(0));
    EXPECT_EQ(settings.noLocation, c.noLocation.value_or(0));
  }
}

TEST(SavePhotoOptions, WritesBothModeValuesAndNothingElse) {
  MemorySettingsStore store;
  DialogSettings settings;
  settings.fit = 1;
  SavePhotoOptions(store, settings);
  EXPECT_EQ(store.writes, (std::vector<std::string>{"Mode/fit", "Mode/nolocation"}));
  const DialogSettings loaded = Load(store);
  EXPECT_EQ(loaded.fit, 1);
  EXPECT_EQ(loaded.noLocation, 0);
}

}  // namespace
}  // namespace wharfling
