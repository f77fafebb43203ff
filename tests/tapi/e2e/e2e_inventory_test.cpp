// The line lists of start-up through the simulated platform, and the trace
// of the line a list entry names.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "e2erig.h"

namespace ordalyn::e2e {
namespace {

constexpr const char* kLegend = "* Suggested TAPI Voice Line";

struct InventoryCase {
  const char* name;
  std::string scenario;  // JSON, or "@file" for a file of examples/
  DWORD count;
  std::vector<std::string> longList;
  std::vector<std::string> shortList;
};

class E2eInventory : public ::testing::TestWithParam<InventoryCase> {};

TEST_P(E2eInventory, ListsAndTheirLineNumbers) {
  const InventoryCase& c = GetParam();
  auto rig = c.scenario.front() == '@' ? Rig::FromExample(c.scenario.substr(1))
                                       : std::make_unique<Rig>(std::string_view(c.scenario));
  std::vector<std::string> longList = {"left over"};
  std::vector<std::string> shortList = {"left over"};
  EXPECT_EQ(rig->EnumerateLong(longList), c.count);
  EXPECT_EQ(rig->sim->ApplicationCount(), 0u) << "the list leaves TAPI shut down";
  EXPECT_EQ(rig->EnumerateShort(shortList), c.count);
  EXPECT_EQ(rig->sim->ApplicationCount(), 0u);
  EXPECT_EQ(longList, c.longList);
  EXPECT_EQ(shortList, c.shortList);
  EXPECT_EQ(std::count(longList.begin(), longList.end(), kLegend),
            std::any_of(longList.begin(), longList.end(),
                        [](const std::string& e) { return e.size() > 2 && e.substr(e.size() - 2) == " *"; })
                ? 1
                : 0);
  // The drop-down list's positions equal the device numbers.
  for (std::size_t i = 0; i < shortList.size(); ++i) {
    EXPECT_EQ(LineNumberOfEntry(shortList[i]), static_cast<std::int32_t>(i)) << shortList[i];
  }
  EXPECT_TRUE(rig->Lines().empty()) << "the inventory writes no trace line";
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string json = R"({"lines": [)";
  for (std::size_t i = 0; i < lines.size(); ++i) json += (i ? "," : "") + lines[i];
  return json + "]}";
}

std::string Line(const std::string& name, const std::string& media, const std::string& more = "") {
  return "{\"name\": " + Json(name) + ", \"mediaModes\": \"" + media + "\"" +
         (more.empty() ? "" : ", " + more) + "}";
}

const std::string kVoice = "LINEMEDIAMODE_INTERACTIVEVOICE";

std::vector<std::string> ThirteenLines() {
  std::vector<std::string> lines;
  for (int i = 0; i < 12; ++i) lines.push_back(Line("Data " + std::to_string(i), "LINEMEDIAMODE_DATAMODEM"));
  lines.push_back(Line("Fax - Line 2", kVoice));
  return lines;
}

std::vector<std::string> ThirteenLong() {
  std::vector<std::string> entries;
  for (int i = 0; i < 12; ++i)
    entries.push_back("Line: " + std::to_string(i) + " - Data " + std::to_string(i) +
                      ", Media $10, TAPI-Version 2.2");
  entries.push_back("Line: 12 - Fax - Line 2, Media $4, TAPI-Version 2.2 *");
  entries.push_back(kLegend);
  return entries;
}

std::vector<std::string> ThirteenShort() {
  std::vector<std::string> entries;
  for (int i = 0; i < 12; ++i) entries.push_back(std::to_string(i) + " - Data " + std::to_string(i));
  entries.push_back("12 - Fax - Line 2");
  return entries;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, E2eInventory,
    ::testing::Values(
        InventoryCase{"OnlyLine2Suited",
                      Lines({Line("Fax", "LINEMEDIAMODE_G3FAX"),
                             Line("Data Modem", "LINEMEDIAMODE_DATAMODEM"), Line("Voice Line", kVoice)}),
                      3,
                      {"Line: 0 - Fax, Media $20, TAPI-Version 2.2",
                       "Line: 1 - Data Modem, Media $10, TAPI-Version 2.2",
                       "Line: 2 - Voice Line, Media $4, TAPI-Version 2.2 *", kLegend},
                      {"0 - Fax", "1 - Data Modem", "2 - Voice Line"}},
        InventoryCase{"TwoSuitedLines",
                      Lines({Line("Voice A", kVoice), Line("Voice B", kVoice)}),
                      2,
                      {"Line: 0 - Voice A, Media $4, TAPI-Version 2.2 *",
                       "Line: 1 - Voice B, Media $4, TAPI-Version 2.2", kLegend},
                      {"0 - Voice A", "1 - Voice B"}},
        InventoryCase{"VersionOneThreeIsNeverSuggested",
                      Lines({Line("Old Voice", kVoice, R"("maxApiVersion": "1.3")")}),
                      1,
                      {"Line: 0 - Old Voice, Media $4, TAPI-Version 1.3"},
                      {"0 - Old Voice"}},
        InventoryCase{"VersionOneThreeBeforeASuitedLine",
                      Lines({Line("Old Voice", kVoice, R"("maxApiVersion": "1.3")"),
                             Line("New Voice", kVoice, R"("minApiVersion": "1.4", "maxApiVersion": "1.4")")}),
                      2,
                      {"Line: 0 - Old Voice, Media $4, TAPI-Version 1.3",
                       "Line: 1 - New Voice, Media $4, TAPI-Version 1.4 *", kLegend},
                      {"0 - Old Voice", "1 - New Voice"}},
        InventoryCase{"UnknownMediaOrNoVoiceBearerIsNotSuited",
                      Lines({Line("Wave", kVoice + "|LINEMEDIAMODE_UNKNOWN"),
                             Line("Data Bearer", kVoice, R"("bearerModes": "LINEBEARERMODE_DATA")")}),
                      2,
                      {"Line: 0 - Wave, Media $6, TAPI-Version 2.2",
                       "Line: 1 - Data Bearer, Media $4, TAPI-Version 2.2"},
                      {"0 - Wave", "1 - Data Bearer"}},
        InventoryCase{"NameWithDashes", Lines(ThirteenLines()), 13, ThirteenLong(), ThirteenShort()},
        InventoryCase{"NamelessLine",
                      Lines({Line("", kVoice)}),
                      1,
                      {"Line: 0 - , Media $4, TAPI-Version 2.2 *", kLegend},
                      {"0 - "}},
        InventoryCase{"NoLines", "@no-lines.json", 0, {}, {}},
        InventoryCase{"FailedInitialisation", "@failing-tapi.json", 0, {}, {}},
        InventoryCase{"MoreDevicesThanLines",
                      "@device-count.json",
                      4,
                      {"Line: 0 - Line A, Media $10, TAPI-Version 2.2",
                       "Line: 1 - Line B, Media $4, TAPI-Version 2.2 *",
                       "Line: 2 - (not available: Invalid line device ID)",
                       "Line: 3 - (not available: Invalid line device ID)", kLegend},
                      {"0 - Line A", "1 - Line B", "2 - (not available: Invalid line device ID)",
                       "3 - (not available: Invalid line device ID)"}},
        InventoryCase{
            "LinesThatFailTheQuery",
            "@line-inventory.json",
            7,
            {"Line: 0 - (not available: Incompatible API version)",
             "Line: 1 - (not available: The device was removed, or the device class is not recognized)",
             "Line: 2 - (not available: The operation failed for unspecified reasons)",
             "Line: 3 - Old Voice Modem, Media $1C, TAPI-Version 1.3",
             "Line: 4 - Wave Line, Media $6, TAPI-Version 2.2",
             "Line: 5 - Voice - Line 5, Media $4, TAPI-Version 2.2 *",
             "Line: 6 - , Media $4, TAPI-Version 2.2", kLegend},
            {"0 - (not available: Incompatible API version)",
             "1 - (not available: The device was removed, or the device class is not recognized)",
             "2 - (not available: The operation failed for unspecified reasons)", "3 - Old Voice Modem",
             "4 - Wave Line", "5 - Voice - Line 5", "6 - "}}),
    [](const ::testing::TestParamInfo<InventoryCase>& param) { return std::string(param.param.name); });

// Start-up lists, then the trace of the entry the user picks, as the program
// runs them.
std::vector<std::string> TraceOfEntry(Rig& rig, std::size_t entry) {
  std::vector<std::string> longList;
  std::vector<std::string> shortList;
  rig.EnumerateLong(longList);
  rig.EnumerateShort(shortList);
  const std::string text = entry < shortList.size() ? shortList[entry] : std::string();
  rig.Logon(LineNumberOfEntry(text));
  rig.Run(100);
  rig.Logoff();
  return rig.Lines();
}

TEST(E2eInventoryTrace, AnEntryWhoseNameHoldsDashesTracesItsOwnLine) {
  Rig rig(Lines(ThirteenLines()));
  const auto trace = TraceOfEntry(rig, 12);
  ASSERT_EQ(trace.size(), 11u);
  EXPECT_EQ(trace[5], At(0, "LineOpen: OK"));
  EXPECT_EQ(trace[6], At(0, "TAPI - Logon (Version: 2.2) - Fax - Line 2 (TAPI-Line: 12)"));
}

TEST(E2eInventoryTrace, TheFirstEntryIsTracedWhateverLineIsSuggested) {
  Rig rig(Lines({Line("Fax", "LINEMEDIAMODE_G3FAX"), Line("Data Modem", "LINEMEDIAMODE_DATAMODEM"),
                 Line("Voice Line", kVoice)}));
  const auto trace = TraceOfEntry(rig, 0);
  ASSERT_EQ(trace.size(), 11u);
  EXPECT_EQ(trace[6], At(0, "TAPI - Logon (Version: 2.2) - Fax (TAPI-Line: 0)"));
}

TEST(E2eInventoryTrace, AnEmptyListTracesLine0) {
  auto rig = Rig::FromExample("no-lines.json");
  const auto trace = TraceOfEntry(*rig, 0);
  std::vector<std::string> expected = Header();
  const std::vector<std::string> rest = {
      At(0, "Initialise: OK"),
      At(0, "LineOpen: Error: 2147483650(Invalid line device ID)"),
      At(0, "TAPI - Logon (Version: 0.0) -  (TAPI-Line: 0)"),
      kSeparator,
      kSeparator,
      At(100, "LineShutDown: OK"),
      At(100, "TAPI - Logoff"),
  };
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(trace, expected);
}

TEST(E2eInventoryTrace, TheSuggestedLineThatCannotBeOpenedShowsTheOpenError) {
  auto rig = Rig::FromExample("line-inventory.json");
  const auto trace = TraceOfEntry(*rig, 5);
  ASSERT_EQ(trace.size(), 11u);
  EXPECT_EQ(trace[4], At(0, "Initialise: OK"));
  EXPECT_EQ(trace[5], At(0, "LineOpen: Error: 2147483649(The line device is already in use)"));
  EXPECT_EQ(trace[6], At(0, "TAPI - Logon (Version: 2.2) - Voice - Line 5 (TAPI-Line: 5)"));
}

}  // namespace
}  // namespace ordalyn::e2e
