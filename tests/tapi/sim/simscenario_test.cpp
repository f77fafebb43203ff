// Scenario files: how values are written, how broken files are refused, and
// how the platform is chosen from the environment.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "simtestsupport.h"
#include "support/scratchdir.h"
#include "tapi/sim/simconstants.h"

namespace ordalyn {
namespace {

using simtest::Initialize;
using simtest::Recorder;

struct ValueCase {
  const char* json;  // the value of lines[0].mediaModes
  DWORD expected;
};

void PrintTo(const ValueCase& value, std::ostream* out) { *out << value.json; }

class SimValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(SimValueTest, NumbersHexTextsAndConstantNamesAreRead) {
  const std::string json =
      std::string(R"({"lines": [{"name": "A", "mediaModes": )") + GetParam().json + "}]}";
  const SimScenarioResult result = ParseSimScenario(json, "v.json");
  ASSERT_TRUE(result.Ok()) << result.error->Text();
  EXPECT_EQ(result.scenario->lines[0].mediaModes, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, SimValueTest,
    ::testing::Values(ValueCase{"4", 4}, ValueCase{"0", 0}, ValueCase{"4294967295", 0xFFFFFFFF},
                      ValueCase{R"("0x8000")", 0x8000}, ValueCase{R"("0X1c")", 0x1C},
                      ValueCase{R"("28")", 28}, ValueCase{R"("LINEMEDIAMODE_INTERACTIVEVOICE")", 4},
                      ValueCase{R"("LINEMEDIAMODE_INTERACTIVEVOICE|LINEMEDIAMODE_UNKNOWN")", 6},
                      ValueCase{R"(" LINEMEDIAMODE_G3FAX | 0x10 | 1 ")", 0x31},
                      ValueCase{R"("LINEMEDIAMODE_VIDEO")", 0x8000}));

TEST(SimScenarioTest, EveryFieldIsRead) {
  const SimScenarioResult result = ParseSimScenario(R"({
    "comment": "all keys once",
    "tapiVersion": "2.2",
    "initializeResult": "LINEERR_NOMEM",
    "shutdownResult": -1,
    "deviceCount": 4,
    "lines": [{
      "comment": "a line", "name": "Voice", "mediaModes": 4, "bearerModes": "LINEBEARERMODE_DATA",
      "minApiVersion": "1.4", "maxApiVersion": "0x00030001", "negotiateResult": "0x80000048",
      "devCapsResult": "LINEERR_OPERATIONFAILED", "openResult": 0, "providerInfo": "P",
      "devSpecific": "0a 0B ff", "permanentLineId": 77,
      "script": [{"message": "LINE_CLOSE"}], "repeat": {"count": 2, "periodMs": 10}
    }],
    "calls": [{"handle": 5, "callerID": " 1 ", "callerIDName": "M\u00fcller \u20ac", "calledID": "",
               "calledIDName": null, "connectedID": "2", "connectedIDName": "C", "callerIDFlags": "LINECALLPARTYID_BLOCKED",
               "calledIDFlags": 0, "connectedIDFlags": null, "origin": "LINECALLORIGIN_INTERNAL",
               "reason": "LINECALLREASON_TRANSFER", "addressID": 1, "bearerMode": 2, "mediaMode": 8, "callID": 99,
               "devSpecific": 3}],
    "script": [{"delayMs": 7, "message": 300, "param1": "LINECALLSTATE_DISCONNECTED", "param2": "LINEDISCONNECTMODE_BUSY",
                "param3": "0xFFFFFFFF", "hDevice": "0x44", "call": 5, "set": {"connectedID": null, "origin": 2}}],
    "repeat": {"count": "forever", "periodMs": 1000},
    "traffic": {"seed": 18446744073709551615},
    "messageTable": {"0xE048": "Text\r\n", "57417": "Other"}
  })",
                                                    "all.json");
  ASSERT_TRUE(result.Ok()) << result.error->Text();
  const SimScenario& s = *result.scenario;
  EXPECT_EQ(s.tapiVersion, 0x00020002u);
  EXPECT_EQ(s.initializeResult, LINEERR_NOMEM);
  EXPECT_EQ(s.shutdownResult, -1);
  EXPECT_EQ(s.deviceCount, 4u);
  const SimLine& line = s.lines.at(0);
  EXPECT_EQ(line.name, "Voice");
  EXPECT_EQ(line.bearerModes, 8u);
  EXPECT_EQ(line.minApiVersion, 0x00010004u);
  EXPECT_EQ(line.maxApiVersion, 0x00030001u);
  EXPECT_EQ(line.negotiateResult, LINEERR_OPERATIONFAILED);
  EXPECT_EQ(line.devCapsResult, LINEERR_OPERATIONFAILED);
  EXPECT_EQ(line.openResult, 0);
  EXPECT_EQ(line.providerInfo, "P");
  EXPECT_EQ(line.devSpecific, (std::vector<std::uint8_t>{0x0A, 0x0B, 0xFF}));
  EXPECT_EQ(line.permanentLineId, 77u);
  ASSERT_TRUE(line.script.has_value());
  EXPECT_EQ(line.script->messages.at(0).message, LINE_CLOSE);
  EXPECT_EQ(line.script->repeat.count, 2u);
  EXPECT_EQ(line.script->repeat.periodMs, 10u);
  const SimCall& call = s.calls.at(0);
  EXPECT_EQ(call.handle, 5u);
  EXPECT_EQ(call.info.callerID, " 1 ");
  EXPECT_EQ(call.info.callerIDName, "M\xFCller \x80");  // code page 1252
  EXPECT_EQ(call.info.calledID, "");
  EXPECT_EQ(call.info.calledIDName, std::nullopt);
  EXPECT_EQ(call.info.callerIDFlags, 1u);
  EXPECT_EQ(call.info.calledIDFlags, 0u);
  EXPECT_EQ(call.info.connectedIDFlags, std::nullopt);
  EXPECT_EQ(call.info.origin, 2u);
  EXPECT_EQ(call.info.reason, 0x100u);
  EXPECT_EQ(call.info.callID, 99u);
  EXPECT_EQ(call.info.devSpecific, (std::vector<std::uint8_t>{0, 1, 2}));
  const SimMessage& message = s.script.messages.at(0);
  EXPECT_EQ(message.delayMs, 7u);
  EXPECT_EQ(message.message, 300u);
  EXPECT_EQ(message.param1, 0x4000u);
  EXPECT_EQ(message.param2, 0x20u);
  EXPECT_EQ(message.param3, 0xFFFFFFFFu);
  EXPECT_EQ(message.target, SimDeviceTarget::kValue);
  EXPECT_EQ(message.hDevice, 0x44u);
  EXPECT_EQ(message.call, 5u);
  EXPECT_EQ(message.update.fields, static_cast<std::uint32_t>(kSimConnectedID | kSimOrigin));
  EXPECT_TRUE(s.script.repeat.endless);
  EXPECT_EQ(s.traffic->seed, 18446744073709551615ull);
  EXPECT_EQ(s.messageTable.at(0xE048), "Text\r\n");
  EXPECT_EQ(s.messageTable.at(57417), "Other");
}

struct BrokenCase {
  const char* name;
  std::string json;
  const char* error;  // the whole message after "b.json: "
};

std::string Lines(std::size_t count) {
  std::string json = R"({"lines": [)";
  for (std::size_t i = 0; i < count; ++i)
    json += std::string(i ? "," : "") + R"({"name": "L", "mediaModes": 4})";
  return json + "]}";
}

std::string Script(std::size_t count) {
  std::string json = R"({"lines": [], "script": [)";
  for (std::size_t i = 0; i < count; ++i) json += std::string(i ? "," : "") + R"({"message": 1})";
  return json + "]}";
}

const BrokenCase kBroken[] = {
    {"SyntaxError", R"({"lines": [})",
     "line 1, column 12: invalid JSON: syntax error while parsing value - unexpected '}'; expected '[', '{', "
     "or a "
     "literal"},
    {"SyntaxOnLaterLine", "{\n  \"lines\": [],\n  \"deviceCount\": 1,,\n}",
     "line 3, column 20: invalid JSON: syntax error while parsing object key - unexpected ','; expected "
     "string "
     "literal"},
    {"Empty", "",
     "line 1, column 1: invalid JSON: syntax error while parsing value - unexpected end of input; expected "
     "'[', '{', "
     "or a literal"},
    {"NotAnObject", "[]", "(top level): expected an object, not an array"},
    {"RepeatedTopKey", "{\"lines\": [],\n \"lines\": []}", "line 2, column 2: lines: the key is given twice"},
    {"RepeatedKeyInALine",
     R"({"lines": [{"name": "A", "mediaModes": 4}, {"name": "B", "mediaModes": 4, "n\u0061me": "C"}]})",
     "line 1, column 75: lines[1].name: the key is given twice"},
    // Texts after an empty object in a list are values, not keys.
    {"ValuesAfterEmptyObjectsAreNoKeys", R"({"lines": [{}, "a", {}, "a"]})", "lines[0].name: missing"},
    {"SameKeyInTwoObjectsIsNoRepeat", R"({"lines": [{"name": "A", "x": 1}, {"name": "B"}]})",
     "lines[0].x: unknown key (known keys: name, mediaModes, bearerModes, minApiVersion, maxApiVersion, "
     "negotiateResult, devCapsResult, openResult, providerInfo, devSpecific, permanentLineId, script, "
     "repeat, "
     "comment)"},
    {"LinesMissing", "{}", "lines: missing"},
    {"LinesNotArray", R"({"lines": {}})", "lines: expected an array, not an object"},
    {"NameMissing", R"({"lines": [{"mediaModes": 4}]})", "lines[0].name: missing"},
    {"MediaMissing", R"({"lines": [{"name": "A"}, {"name": "B"}]})", "lines[0].mediaModes: missing"},
    {"UnknownKey", R"({"lines": [{"name": "x", "meidaModes": 4}]})",
     "lines[0].meidaModes: unknown key (known keys: name, mediaModes, bearerModes, minApiVersion, "
     "maxApiVersion, "
     "negotiateResult, devCapsResult, openResult, providerInfo, devSpecific, permanentLineId, script, "
     "repeat, "
     "comment)"},
    {"UnknownTopKey", R"({"lines": [], "line": []})",
     "line: unknown key (known keys: lines, calls, script, repeat, traffic, tapiVersion, initializeResult, "
     "shutdownResult, deviceCount, messageTable, comment)"},
    {"WrongTypeBoolean", R"({"lines": [{"name": "x", "mediaModes": true}]})",
     "lines[0].mediaModes: expected a number or a TAPI constant name, not true"},
    {"WrongTypeName", R"({"lines": [{"name": 5, "mediaModes": 4}]})",
     "lines[0].name: expected a text, not a number"},
    {"WrongTypeNull", R"({"lines": [{"name": null, "mediaModes": 4}]})",
     "lines[0].name: expected a text, not null"},
    {"UnknownConstant", R"({"lines": [{"name": "x", "mediaModes": "LINEMEDIAMODE_VOIC"}]})",
     "lines[0].mediaModes: unknown TAPI constant name \"LINEMEDIAMODE_VOIC\""},
    {"UnknownConstantInCombination", R"({"lines": [{"name": "x", "mediaModes": "4|LINEMEDIAMODE_FAX"}]})",
     "lines[0].mediaModes: unknown TAPI constant name \"LINEMEDIAMODE_FAX\""},
    {"LowerCaseConstant", R"({"lines": [{"name": "x", "mediaModes": "linemediamode_unknown"}]})",
     "lines[0].mediaModes: unknown TAPI constant name \"linemediamode_unknown\" (constant names are upper "
     "case)"},
    {"ConstantOfAnotherFamily", R"({"lines": [{"name": "x", "mediaModes": "LINEBEARERMODE_VOICE"}]})",
     "lines[0].mediaModes: \"LINEBEARERMODE_VOICE\" is not one of the LINEMEDIAMODE_* constants"},
    {"MessageOfAnotherFamily", R"({"lines": [], "script": [{"message": "LINECALLSTATE_IDLE"}]})",
     "script[0].message: \"LINECALLSTATE_IDLE\" is not one of the LINE_* or PHONE_* constants"},
    {"ResultOfAnotherFamily", R"({"lines": [], "initializeResult": "LINEMEDIAMODE_UNKNOWN"})",
     "initializeResult: \"LINEMEDIAMODE_UNKNOWN\" is not one of the LINEERR_* or PHONEERR_* or TAPIERR_* "
     "constants"},
    {"HexTooLarge", R"({"lines": [{"name": "x", "mediaModes": "0x100000000"}]})",
     "lines[0].mediaModes: \"0x100000000\" does not fit in 32 bits"},
    {"BadHex", R"({"lines": [{"name": "x", "mediaModes": "0x4G"}]})",
     "lines[0].mediaModes: invalid hexadecimal number \"0x4G\""},
    {"NumberTooLarge", R"({"lines": [{"name": "x", "mediaModes": 4294967296}]})",
     "lines[0].mediaModes: 4294967296 does not fit in 32 bits"},
    {"Fraction", R"({"lines": [{"name": "x", "mediaModes": 1.5}]})",
     "lines[0].mediaModes: expected a whole number, not 1.5"},
    {"EmptyPart", R"({"lines": [{"name": "x", "mediaModes": "4||2"}]})",
     "lines[0].mediaModes: empty part in \"4||2\""},
    {"EmptyValue", R"({"lines": [{"name": "x", "mediaModes": " "}]})", "lines[0].mediaModes: empty value"},
    {"EmptyVersionRange",
     R"({"lines": [{"name": "x", "mediaModes": 4, "minApiVersion": "2.2", "maxApiVersion": "1.4"}]})",
     "lines[0].maxApiVersion: the version range is empty: minApiVersion 0x20002 is above maxApiVersion "
     "0x10004"},
    {"BadVersion", R"({"lines": [], "tapiVersion": "2.x"})", "tapiVersion: invalid version \"2.x\""},
    {"NegativeDelay", R"({"lines": [], "script": [{"delayMs": -5, "message": 1}]})",
     "script[0].delayMs: must not be negative"},
    {"DelayTooLong", R"({"lines": [], "script": [{"delayMs": 86400001, "message": 1}]})",
     "script[0].delayMs: must be at most 86400000"},
    {"MessageMissing", R"({"lines": [], "script": [{"param1": 1}]})", "script[0].message: missing"},
    {"UndeclaredCall", R"({"lines": [], "script": [{"message": 1, "call": 5}]})",
     "script[0].call: no call with the handle 0x5 is declared in \"calls\""},
    {"SetWithoutCall", R"({"lines": [], "script": [{"message": 1, "set": {"callerID": "1"}}]})",
     "script[0].set: needs the message's \"call\", the call to change"},
    {"UnknownSetKey",
     R"({"lines": [], "calls": [{"handle": 1}], "script": [{"message": 1, "call": 1, "set": {"handle": 2}}]})",
     "script[0].set.handle: unknown key (known keys: callerID, callerIDName, calledID, calledIDName, "
     "connectedID, "
     "connectedIDName, callerIDFlags, calledIDFlags, connectedIDFlags, origin, reason, addressID, "
     "bearerMode, "
     "mediaMode, callID, devSpecific, comment)"},
    {"CallDeviceWithoutCall", R"({"lines": [], "script": [{"message": 2, "hDevice": "call"}]})",
     "script[0].hDevice: \"call\" needs the message's \"call\""},
    {"RepeatCountZero", R"({"lines": [], "repeat": {"count": 0}})", "repeat.count: must be at least 1"},
    {"RepeatCountTooHigh", R"({"lines": [], "repeat": {"count": 1000001}})",
     "repeat.count: must be at most 1000000"},
    {"PeriodShorterThanScript",
     R"({"lines": [], "script": [{"message": 1, "delayMs": 100}], "repeat": {"count": 2, "periodMs": 50}})",
     "repeat.periodMs: is shorter than one run of the script (100 ms)"},
    {"ForeverWithoutTime", R"({"lines": [], "script": [{"message": 1}], "repeat": {"count": "forever"}})",
     "repeat: a script that takes no time needs a \"periodMs\" of at least 1 to repeat"},
    {"LineRepeatWithoutScript", R"({"lines": [{"name": "x", "mediaModes": 4, "repeat": {}}]})",
     "lines[0].repeat: repeats nothing: the line has no \"script\""},
    {"CallHandleZero", R"({"lines": [], "calls": [{"handle": 0}]})", "calls[0].handle: must not be 0"},
    {"CallHandleMissing", R"({"lines": [], "calls": [{"callerID": "1"}]})", "calls[0].handle: missing"},
    {"CallDeclaredTwice", R"({"lines": [], "calls": [{"handle": 1}, {"handle": "0x1"}]})",
     "calls[1].handle: the call 0x1 is declared twice"},
    {"TextWithNul", R"({"lines": [], "calls": [{"handle": 1, "callerID": "a\u0000b"}]})",
     "calls[0].callerID: contains a NUL character"},
    {"TextOutsideCodePage", R"({"lines": [], "calls": [{"handle": 1, "callerID": "\u4e2d"}]})",
     "calls[0].callerID: holds a character that code page 1252 cannot represent"},
    {"TextTooLong", R"({"lines": [{"name": ")" + std::string(1025, 'x') + R"(", "mediaModes": 4}]})",
     "lines[0].name: is longer than 1024 bytes"},
    {"OddHexBytes", R"({"lines": [], "calls": [{"handle": 1, "devSpecific": "ABC"}]})",
     "calls[0].devSpecific: hexadecimal digits must come in pairs"},
    {"TooManyBytes", R"({"lines": [], "calls": [{"handle": 1, "devSpecific": 16385}]})",
     "calls[0].devSpecific: must be at most 16384"},
    {"DeviceCountTooHigh", R"({"lines": [], "deviceCount": 1025})", "deviceCount: must be at most 1024"},
    {"TooManyLines", Lines(257), "lines: holds 257 lines; at most 256 are allowed"},
    {"TooManyMessages", Script(10001), "script: holds 10001 messages; at most 10000 are allowed"},
    {"MessageTableName", R"({"lines": [], "messageTable": {"LINEERR_NOMEM": "x"}})",
     "messageTable.LINEERR_NOMEM: expected a number, not the name \"LINEERR_NOMEM\""},
    {"NegativeSeed", R"({"lines": [], "traffic": {"seed": -1}})", "traffic.seed: must not be negative"},
};

void PrintTo(const BrokenCase& broken, std::ostream* out) { *out << broken.name; }

class SimBrokenScenarioTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(SimBrokenScenarioTest, IsRefusedWithItsReasonAndInifileCorrupt) {
  const BrokenCase& broken = GetParam();
  const SimScenarioResult result = ParseSimScenario(broken.json, "b.json");
  ASSERT_FALSE(result.Ok());
  ASSERT_TRUE(result.error.has_value());
  EXPECT_EQ(result.error->Text(), std::string("b.json: ") + broken.error);

  ManualMessagePump pump;
  Recorder::Reset(&pump);
  std::ostringstream diagnostics;
  auto platform = SimTapiPlatform::FromJson(pump, broken.json, "b.json", &diagnostics);
  EXPECT_EQ(platform->Scenario(), nullptr);
  const auto session = Initialize(*platform);
  EXPECT_EQ(session.result, LINEERR_INIFILECORRUPT);
  EXPECT_EQ(session.app, 0u);
  EXPECT_EQ(Initialize(*platform).result, LINEERR_INIFILECORRUPT);
  EXPECT_EQ(diagnostics.str(), std::string("Ordalyn: TAPI scenario rejected: b.json: ") + broken.error + "\n")
      << "the reason is written once";
  // Everything else answers as TAPI does without an initialisation.
  DWORD version = 0;
  LINEEXTENSIONID extension;
  HLINE line = 0;
  simtest::Block info(sizeof(LINECALLINFO));
  EXPECT_EQ(platform->lineNegotiateAPIVersion(0, 0, 0x00010003, 0x00020002, &version, &extension),
            LINEERR_INVALAPPHANDLE);
  EXPECT_EQ(simtest::Open(*platform, 0, 0, 0x00020002, &line), LINEERR_INVALAPPHANDLE);
  EXPECT_EQ(platform->lineGetCallInfoA(1, info.As<LINECALLINFO>()), LINEERR_UNINITIALIZED);
  EXPECT_EQ(platform->lineShutdown(0), LINEERR_INVALAPPHANDLE);
  EXPECT_EQ(platform->MessageTableText(0xE048), std::nullopt);
  Recorder::Reset(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Files, SimBrokenScenarioTest, ::testing::ValuesIn(kBroken),
                         [](const auto& testCase) { return std::string(testCase.param.name); });

TEST(SimScenarioTest, TheDataBudgetBoundsTheWholeScenario) {
  // Many lines, each with a script just within the per-script bound, add up
  // to more than the simulator keeps.
  std::string json = R"({"lines": [)";
  for (int line = 0; line < 8; ++line) {
    json += std::string(line ? "," : "") + R"({"name": "L", "mediaModes": 4, "script": [)";
    for (int i = 0; i < 7000; ++i) json += std::string(i ? "," : "") + R"({"message":1})";
    json += "]}";
  }
  json += "]}";
  ASSERT_LT(json.size(), SimLimits::kMaxFileBytes);
  const SimScenarioResult result = ParseSimScenario(json, "big.json");
  ASSERT_FALSE(result.Ok());
  EXPECT_EQ(result.error->reason, "the scenario holds more data than the simulator accepts (16777216 bytes)");
  EXPECT_EQ(result.error->location.rfind("lines[", 0), 0u) << result.error->location;
}

TEST(SimScenarioTest, OversizedTextIsRefusedBeforeParsing) {
  const std::string json(SimLimits::kMaxFileBytes + 1, ' ');
  const SimScenarioResult result = ParseSimScenario(json, "huge.json");
  ASSERT_FALSE(result.Ok());
  EXPECT_EQ(result.error->Text(), "huge.json: the scenario is larger than 1048576 bytes");
}

TEST(SimScenarioTest, Utf8TextsBecomeCodePage1252) {
  EXPECT_EQ(Utf8ToCp1252("Plain 123"), "Plain 123");
  EXPECT_EQ(Utf8ToCp1252("M\xC3\xBCller"), "M\xFCller");
  EXPECT_EQ(Utf8ToCp1252("\xE2\x82\xAC \xE2\x80\x9Cq\xE2\x80\x9D"), "\x80 \x93q\x94");
  EXPECT_EQ(Utf8ToCp1252("\xC2\xA0\xC3\xBF"), "\xA0\xFF");
  EXPECT_EQ(Utf8ToCp1252("\xE4\xB8\xAD"), std::nullopt);  // a CJK character
  EXPECT_EQ(Utf8ToCp1252("\xC2\x81"), std::nullopt);      // a C1 control has no place
  EXPECT_EQ(Utf8ToCp1252("\xC0\x80"), std::nullopt);      // overlong
  EXPECT_EQ(Utf8ToCp1252("\xC3"), std::nullopt);          // cut short
  EXPECT_EQ(Utf8ToCp1252("\xFF"), std::nullopt);
}

TEST(SimScenarioTest, ConstantNamesHaveTheirTapiValues) {
  const std::pair<const char*, DWORD> known[] = {
      {"LINE_CALLINFO", 1},
      {"LINE_CALLSTATE", 2},
      {"LINE_LINEDEVSTATE", 8},
      {"LINE_APPNEWCALL", 23},
      {"PHONE_REMOVE", 26},
      {"LINECALLSTATE_OFFERING", 0x2},
      {"LINECALLSTATE_DISCONNECTED", 0x4000},
      {"LINEOFFERINGMODE_ACTIVE", 1},
      {"LINEDISCONNECTMODE_NOANSWER", 0x40},
      {"LINECALLINFOSTATE_CALLERID", 0x8000},
      {"LINECALLORIGIN_EXTERNAL", 0x4},
      {"LINECALLREASON_DIRECT", 0x1},
      {"LINEMEDIAMODE_UNKNOWN", 0x2},
      {"LINEBEARERMODE_DATA", 0x8},
      {"LINECALLPRIVILEGE_MONITOR", 0x2},
      {"LINEDEVSTATE_RINGING", 0x2},
      {"LINEERR_ALLOCATED", 0x80000001},
      {"LINEERR_INIFILECORRUPT", 0x8000000E},
      {"LINEERR_OPERATIONFAILED", 0x80000048},
      {"LINEERR_DIALVOICEDETECT", 0x8000005C},
      {"PHONEERR_REINIT", 0x90000023},
      {"TAPIERR_INVALPOINTER", 0xFFFFFFEE},
  };
  for (const auto& [name, value] : known) EXPECT_EQ(FindTapiConstant(name), value) << name;
  EXPECT_EQ(FindTapiConstant("LINEMEDIAMODE_VOICE"), std::nullopt);
  EXPECT_EQ(FindTapiConstant("line_callstate"), std::nullopt);
  EXPECT_GT(TapiConstants().size(), 300u);
}

void SetVariable(const char* value) {
#ifdef _WIN32
  _putenv_s(kSimScenarioVariable, value == nullptr ? "" : value);
#else
  if (value == nullptr) {
    unsetenv(kSimScenarioVariable);
  } else {
    setenv(kSimScenarioVariable, value, 1);
  }
#endif
}

class SimFileTest : public ::testing::Test {
 protected:
  void SetUp() override { Recorder::Reset(&pump); }
  void TearDown() override {
    SetVariable(nullptr);
    Recorder::Reset(nullptr);
  }
  std::string Write(const std::string& name, const std::string& text) {
    const std::string path = (directory / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  const test::ScratchDir scratch;
  const std::filesystem::path& directory = scratch.path();
  ManualMessagePump pump;
};

TEST_F(SimFileTest, ReadsAScenarioFile) {
  const std::string path =
      Write("ok.json", R"({"lines": [{"name": "A", "mediaModes": 4}], "deviceCount": 9})");
  const SimScenarioResult result = LoadSimScenarioFile(path);
  ASSERT_TRUE(result.Ok()) << result.error->Text();
  EXPECT_EQ(result.scenario->deviceCount, 9u);
}

TEST_F(SimFileTest, ErrorsNameTheFile) {
  const std::string missing = (directory / "missing.json").string();
  EXPECT_EQ(LoadSimScenarioFile(missing).error->Text(),
            missing + ": cannot be read: No such file or directory");
  const std::string bad =
      Write("bad.json", "{\n  \"lines\": [\n    {\"name\": \"A\", \"mediaModes\": 4,}\n  ]\n}");
  EXPECT_EQ(LoadSimScenarioFile(bad).error->Text(),
            bad +
                ": line 3, column 35: invalid JSON: syntax error while parsing object key - unexpected '}'; "
                "expected string literal");
  const std::string big = Write("big.json", std::string(SimLimits::kMaxFileBytes + 1, ' '));
  EXPECT_EQ(LoadSimScenarioFile(big).error->Text(), big + ": the file is larger than 1048576 bytes");
#ifndef _WIN32
  EXPECT_EQ(LoadSimScenarioFile(directory.string()).error->Text(),
            directory.string() + ": cannot be read: Is a directory");
#endif
}

TEST_F(SimFileTest, TheEnvironmentChoosesTheScenario) {
  SetVariable(nullptr);
  auto standard = CreateSimTapiPlatformFromEnvironment(pump);
  ASSERT_NE(standard->Scenario(), nullptr);
  EXPECT_EQ(standard->Scenario()->lines.size(), DefaultSimScenario().lines.size());

  SetVariable("");
  EXPECT_EQ(CreateSimTapiPlatformFromEnvironment(pump)->Scenario()->lines.size(), 5u);

  const std::string path = Write("two.json", R"({"lines": [{"name": "A", "mediaModes": 4},
                                                           {"name": "B", "mediaModes": 4}]})");
  SetVariable(path.c_str());
  auto chosen = CreateSimTapiPlatformFromEnvironment(pump);
  const auto session = Initialize(*chosen);
  EXPECT_EQ(session.result, 0);
  EXPECT_EQ(session.devices, 2u);

  const std::string missing = (directory / "none.json").string();
  SetVariable(missing.c_str());
  std::ostringstream diagnostics;
  auto broken = CreateSimTapiPlatformFromEnvironment(pump, &diagnostics);
  EXPECT_EQ(Initialize(*broken).result, LINEERR_INIFILECORRUPT);
  EXPECT_EQ(diagnostics.str(),
            "Ordalyn: TAPI scenario rejected: " + missing + ": cannot be read: No such file or directory\n");
}

// A named scenario runs on every system, Windows included.
TEST_F(SimFileTest, TheProgramsDefaultPlatformRunsANamedScenario) {
  const std::string path =
      Write("one.json", R"({"lines": [{"name": "A", "mediaModes": 4}], "deviceCount": 6})");
  SetVariable(path.c_str());
  auto platform = CreateDefaultTapiPlatform(pump);
  ASSERT_NE(dynamic_cast<SimTapiPlatform*>(platform.get()), nullptr);
  EXPECT_EQ(Initialize(*platform).devices, 6u);
}

// Without a scenario the program talks to tapi32 on Windows, and to the
// built-in environment everywhere else.
TEST_F(SimFileTest, WithoutAScenarioTheDefaultPlatformIsTheSystemsOwn) {
  SetVariable(nullptr);
  auto platform = CreateDefaultTapiPlatform(pump);
#ifdef _WIN32
  EXPECT_EQ(dynamic_cast<SimTapiPlatform*>(platform.get()), nullptr);
#else
  ASSERT_NE(dynamic_cast<SimTapiPlatform*>(platform.get()), nullptr);
  EXPECT_EQ(Initialize(*platform).devices, 5u);
#endif
}

TEST(SimExamplesTest, EveryExampleScenarioIsValid) {
  int examples = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ORDALYN_EXAMPLES_DIR)) {
    if (entry.path().extension() != ".json") continue;
    ++examples;
    const SimScenarioResult result = LoadSimScenarioFile(entry.path().string());
    EXPECT_TRUE(result.Ok()) << result.error->Text();
  }
  EXPECT_GE(examples, 4);
}

TEST(SimExamplesTest, LargeBlocksExampleOutgrowsTheFirstBlocks) {
  ManualMessagePump pump;
  Recorder::Reset(&pump);
  auto platform = SimTapiPlatform::FromFile(pump, std::string(ORDALYN_EXAMPLES_DIR) + "/large-blocks.json");
  ASSERT_NE(platform->Scenario(), nullptr);
  const auto session = Initialize(*platform);
  EXPECT_EQ(simtest::DevCaps(*platform, session.app, 0, 0x00020002).attempts, 2);
  HLINE line = 0;
  ASSERT_EQ(simtest::Open(*platform, session.app, 0, 0x00020002, &line), 0);
  EXPECT_EQ(simtest::CallInfo(*platform, 0x2001).attempts, 1);
  pump.RunFor(600);  // the offering adds a name and 200 bytes of device-specific data
  ASSERT_EQ(Recorder::messages.size(), 2u);
  const auto grown = simtest::CallInfo(*platform, 0x2001);
  EXPECT_EQ(grown.attempts, 2);
  EXPECT_EQ(grown.result, 0);
  EXPECT_EQ(SIMTEST_FIELD(grown.block, LINECALLINFO, CallerIDName), "Caller with a long display name");
  Recorder::Reset(nullptr);
}

}  // namespace
}  // namespace ordalyn
