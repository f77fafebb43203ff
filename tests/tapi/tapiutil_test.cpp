#include "tapi/tapiutil.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace ordalyn {
namespace {

LONG Code(std::uint32_t bits) { return static_cast<LONG>(bits); }

bool StartsWith(const std::string& text, const std::string& prefix) { return text.rfind(prefix, 0) == 0; }

// The unit's own tables answer when there is no message table at all.
std::string OwnText(std::uint32_t code) { return TapiErrorText(Code(code), MessageTableLookup{}); }

// --- IsTapiError -----------------------------------------------------------

struct ErrorTestCase {
  std::uint32_t code;
  bool isError;
};

TEST(IsTapiErrorTest, NegativeCodesAreErrors) {
  const ErrorTestCase cases[] = {
      {0, false},         {1, false},         {0x7FFFFFFF, false}, {0x80000000, true},
      {0x80000048, true}, {0x90000023, true}, {0xFFFFFFEE, true},  {0xFFFFFFFF, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsTapiError(Code(c.code)), c.isError) << std::hex << c.code;
  }
}

// --- TapiErrorMessageId ----------------------------------------------------

TEST(TapiErrorMessageIdTest, FollowsTheFormatMessageRule) {
  const std::uint32_t cases[][2] = {
      {0x80000001, 0xE001}, {0x80000048, 0xE048}, {0x8000005C, 0xE05C}, {0x90000001, 0xF001},
      {0x90000023, 0xF023}, {0xFFFFFFFF, 0xFFFF}, {0xFFFFFFEE, 0xFFEE}, {0xFFFF0001, 0x0001},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TapiErrorMessageId(c[0]), c[1]) << std::hex << c[0];
  }
}

// --- TapiErrorText without a message-table text -----------------------------

struct TextTestCase {
  std::uint32_t code;
  const char* text;
};

const TextTestCase OwnErrorTextCases[] = {
    // Line errors: first, last, empty entries, the range ends and texts easy to get wrong.
    {0x80000001, "The line device is already in use"},
    {0x80000002, "Invalid line device ID"},
    {0x80000004, "Unknown TAPI error $80000004"},
    {0x80000008, "The ''$'' dial modifier is not supported"},
    {0x80000009, "The ''W'' dial modifier is not supported"},
    {0x8000000A, "The ''?'' dial modifier is not supported"},
    {0x8000000B, "The ''@'' dial modifier is not supported"},
    {0x80000019, "Invalid LINECALLPARAMS structure"},
    {0x80000030, "Invalid message ID"},
    {0x80000031, "Unknown TAPI error $80000031"},
    {0x80000032, "Invalid parameter"},
    {0x80000042, "The device was removed, or the device class is not recognized"},
    {0x80000046, "The application is does not have OWNER privilege on the call"},
    {0x80000048, "The operation failed for unspecified reasons"},
    {0x8000004D, "The application failed to allocate sufficient memory for the minimum structure size"},
    {0x80000052, "The operation cannot be completed until all TAPI applications call lineShutdown"},
    {0x8000005B, "Invalid agent activity"},
    {0x8000005C, "The '':'' dial modifier is not supported"},
    {0x8000005D, "Unknown TAPI error $8000005D"},
    {0x80000000, "Unknown TAPI error $80000000"},
    {0xA0000001, "Unknown TAPI error $A0000001"},
    // Phone errors.
    {0x90000001, "The phone device is already in use"},
    {0x90000007, "Invalid TAPI phone application handle"},
    {0x9000000F, "Invalid hookswitch device ID"},
    {0x9000001B, "The application is does not have OWNER privilege on the phone"},
    {0x9000001D, "The operation is not supported by the underlying service provider"},
    {0x9000001E, "Unknown TAPI error $9000001E"},
    {0x9000001F, "A resource needed to fulfill the request is not available"},
    {0x90000023, "The operation cannot be completed until all TAPI applications call phoneShutdown"},
    {0x90000024, "Unknown TAPI error $90000024"},
    {0x90000000, "Unknown TAPI error $90000000"},
    {0xB0000001, "Unknown TAPI error $B0000001"},
    // Assisted-telephony request errors.
    {0xFFFFFFFF, "The call was disconnected"},
    {0xFFFFFFFC, "The phone number is invalid or improperly formatted"},
    {0xFFFFFFF6, "The device is already in use"},
    {0xFFFFFFEF, "The request was cancelled"},
    {0xFFFFFFEE, "Invalid pointer"},
    {0xFFFFFFED, "Unknown TAPI error $FFFFFFED"},
    {0xFFFF0001, "Unknown TAPI error $FFFF0001"},
    // Codes outside every family still get a text.
    {0x00000000, "Unknown TAPI error $00000000"},
    {0x0000ABCD, "Unknown TAPI error $0000ABCD"},
};

TEST(TapiErrorTextTest, WithoutMessageTableTheOwnTablesAnswer) {
  for (const auto& c : OwnErrorTextCases) {
    EXPECT_EQ(OwnText(c.code), c.text) << std::hex << c.code;
  }
}

TEST(TapiErrorTextTest, MessageTableWithoutTextFallsBackToOwnTables) {
  int calls = 0;
  const MessageTableLookup noText = [&calls](DWORD) -> std::optional<std::string> {
    ++calls;
    return std::nullopt;
  };
  for (const auto& c : OwnErrorTextCases) {
    EXPECT_EQ(TapiErrorText(Code(c.code), noText), c.text) << std::hex << c.code;
  }
  EXPECT_EQ(calls, static_cast<int>(std::size(OwnErrorTextCases)));
}

// Every code of a family from n = 1 on: the entries with text, the empty ones,
// and the first code past the table, which falls back to hexadecimal.
struct FamilyCase {
  const char* family;
  std::uint32_t (*codeOf)(std::uint32_t n);
  std::uint32_t entries;
  std::vector<std::uint32_t> emptyEntries;
};

TEST(TapiErrorTextTest, EveryFamilyHasItsEntryCountAndEmptyEntries) {
  const FamilyCase families[] = {
      {"line", [](std::uint32_t n) { return 0x80000000u + n; }, 92, {4, 49}},
      {"phone", [](std::uint32_t n) { return 0x90000000u + n; }, 35, {30}},
      {"request", [](std::uint32_t n) { return 0u - n; }, 18, {}},
  };
  for (const auto& family : families) {
    std::vector<std::uint32_t> withoutText;
    std::uint32_t lastWithText = 0;
    for (std::uint32_t n = 1; n <= family.entries + 8; ++n) {
      if (StartsWith(OwnText(family.codeOf(n)), "Unknown TAPI error $")) {
        withoutText.push_back(n);
      } else {
        lastWithText = n;
      }
    }
    EXPECT_EQ(lastWithText, family.entries) << family.family;
    std::vector<std::uint32_t> expected = family.emptyEntries;
    for (std::uint32_t n = family.entries + 1; n <= family.entries + 8; ++n) {
      expected.push_back(n);
    }
    EXPECT_EQ(withoutText, expected) << family.family;
  }
}

// --- TapiErrorText with a message-table text --------------------------------

TEST(TapiErrorTextTest, MessageTableTextIsReturnedUnchanged) {
  const struct {
    std::uint32_t code;
    DWORD messageId;
  } cases[] = {
      {0x80000048, 0xE048},  // has an own text, which must not be used
      {0x80000004, 0xE004},  // empty own entry
      {0x90000023, 0xF023}, {0xFFFFFFEE, 0xFFEE}, {0x8000005D, 0xE05D},  // outside the own tables
  };
  for (const auto& c : cases) {
    std::vector<DWORD> asked;
    const MessageTableLookup table = [&asked](DWORD id) -> std::optional<std::string> {
      asked.push_back(id);
      return std::string("Text from the message table.\r\n");
    };
    EXPECT_EQ(TapiErrorText(Code(c.code), table), "Text from the message table.\r\n") << std::hex << c.code;
    EXPECT_EQ(asked, std::vector<DWORD>{c.messageId}) << std::hex << c.code;
  }
}

TEST(TapiErrorTextTest, MessageTableTextEndsAtItsFirstNul) {
  const MessageTableLookup table = [](DWORD) -> std::optional<std::string> {
    return std::string("Line one\r\n\0garbage", 19);
  };
  EXPECT_EQ(TapiErrorText(Code(0x80000048), table), "Line one\r\n");
}

TEST(TapiErrorTextTest, EmptyMessageTableTextCountsAsNoText) {
  const MessageTableLookup empty = [](DWORD) -> std::optional<std::string> { return std::string(); };
  const MessageTableLookup onlyNul = [](DWORD) -> std::optional<std::string> {
    return std::string("\0rest", 5);
  };
  EXPECT_EQ(TapiErrorText(Code(0x80000048), empty), "The operation failed for unspecified reasons");
  EXPECT_EQ(TapiErrorText(Code(0x80000048), onlyNul), "The operation failed for unspecified reasons");
  EXPECT_EQ(TapiErrorText(Code(0x8000005D), empty), "Unknown TAPI error $8000005D");
}

// --- Names ----------------------------------------------------------------

struct NameCase {
  std::uint32_t value;
  const char* name;
};

TEST(LineMessageNameTest, NamesAndFallback) {
  const NameCase cases[] = {
      {0, "LINE_ADDRESSSTATE"},
      {1, "LINE_CALLINFO"},
      {2, "LINE_CALLSTATE"},
      {8, "LINE_LINEDEVSTATE"},
      {13, "LINE_REQUEST"},
      {14, "PHONE_BUTTON"},
      {18, "PHONE_STATE"},
      {19, "LINE_CREATE"},
      {20, "PHONE_CREATE"},
      {23, "LINE_APPNEWCALL"},
      {25, "LINE_REMOVE"},
      {26, "PHONE_REMOVE"},
      {27, "Unknown (      1B)"},
      {0x100, "Unknown (     100)"},
      {0x12345678, "Unknown (12345678)"},
      {0xFFFFFFFF, "Unknown (FFFFFFFF)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LineMessageName(c.value), c.name) << c.value;
  }
}

TEST(LineMessageNameTest, ExactlyMessagesZeroToTwentySixHaveNames) {
  for (std::uint32_t message = 0; message < 64; ++message) {
    EXPECT_EQ(StartsWith(LineMessageName(message), "Unknown ("), message > 26) << message;
  }
}

TEST(CallStateNameTest, NamesAndFallback) {
  const NameCase cases[] = {
      {0x1, "LINECALLSTATE_IDLE"},
      {0x2, "LINECALLSTATE_OFFERING"},
      {0x80, "LINECALLSTATE_SPECIALINFO"},
      {0x100, "LINECALLSTATE_CONNECTED"},
      {0x1000, "LINECALLSTATE_ONHOLDPENDCONF"},
      {0x2000, "LINECALLSTATE_ONHOLDPENDTRANSFER"},
      {0x4000, "LINECALLSTATE_DISCONNECTED"},
      {0x8000, "LINECALLSTATE_UNKNOWN"},
      {0, "Unknown (0)"},
      {0x102, "Unknown (102)"},
      {0x10000, "Unknown (10000)"},
      {0xFFFFFFFF, "Unknown (FFFFFFFF)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CallStateName(c.value), c.name) << std::hex << c.value;
  }
}

// The single-bit values that a name function knows: those whose text does not
// begin with the function's fallback.
template <typename NameOf>
std::vector<std::uint32_t> NamedBits(NameOf nameOf, const std::string& fallback = "Unknown (") {
  std::vector<std::uint32_t> bits;
  for (int bit = 0; bit < 32; ++bit) {
    if (!StartsWith(nameOf(std::uint32_t{1} << bit), fallback)) {
      bits.push_back(std::uint32_t{1} << bit);
    }
  }
  return bits;
}

std::vector<std::uint32_t> BitsUpTo(int lastBit) {
  std::vector<std::uint32_t> bits;
  for (int bit = 0; bit <= lastBit; ++bit) {
    bits.push_back(std::uint32_t{1} << bit);
  }
  return bits;
}

TEST(CallStateNameTest, SixteenStatesHaveNames) { EXPECT_EQ(NamedBits(CallStateName), BitsUpTo(15)); }

TEST(CallOriginNameTest, NamesAndFallback) {
  const NameCase cases[] = {
      {0x1, "LINECALLORIGIN_OUTBOUND"}, {0x2, "LINECALLORIGIN_INTERNAL"}, {0x4, "LINECALLORIGIN_EXTERNAL"},
      {0x10, "LINECALLORIGIN_UNKNOWN"}, {0x20, "LINECALLORIGIN_UNAVAIL"}, {0x40, "LINECALLORIGIN_CONFERENCE"},
      {0x80, "LINECALLORIGIN_INBOUND"}, {0x8, "Unknown (       8)"},      {0, "Unknown (       0)"},
      {0x5, "Unknown (       5)"},      {0x100, "Unknown (     100)"},    {0xFFFFFFFF, "Unknown (FFFFFFFF)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CallOriginName(c.value), c.name) << std::hex << c.value;
  }
  EXPECT_EQ(NamedBits(CallOriginName), (std::vector<std::uint32_t>{0x1, 0x2, 0x4, 0x10, 0x20, 0x40, 0x80}));
}

TEST(CallReasonNameTest, NamesAndFallback) {
  const NameCase cases[] = {
      {0x1, "LINECALLREASON_DIRECT"},
      {0x4, "LINECALLREASON_FWDNOANSWER"},
      {0x80, "LINECALLREASON_CALLCOMPLETION"},
      {0x400, "LINECALLREASON_UNKNOWN"},
      {0x800, "LINECALLREASON_UNAVAIL"},
      {0x1000, "LINECALLREASON_INTRUDE"},
      {0x2000, "Unknown (    2000)"},
      {0, "Unknown (       0)"},
      {0x3, "Unknown (       3)"},
      {0x80000000, "Unknown (80000000)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CallReasonName(c.value), c.name) << std::hex << c.value;
  }
  EXPECT_EQ(NamedBits(CallReasonName), BitsUpTo(12));
}

// --- CallStateModeText -----------------------------------------------------

constexpr DWORD Idle = 0x1;
constexpr DWORD Offering = 0x2;
constexpr DWORD DialTone = 0x8;
constexpr DWORD Busy = 0x40;
constexpr DWORD SpecialInfo = 0x80;
constexpr DWORD Connected = 0x100;
constexpr DWORD Disconnected = 0x4000;

TEST(CallStateModeTextTest, ModesOfEachState) {
  const struct {
    DWORD state;
    DWORD mode;
    const char* text;
  } cases[] = {
      {Offering, 0x1, "; ACTIVE"},
      {Offering, 0x2, "; INACTIVE"},
      {Offering, 0x4, "; Undefined (4)"},
      {DialTone, 0x1, "; NORMAL"},
      {DialTone, 0x8, "; EXTERNAL"},
      {DialTone, 0x20, "; UNAVAIL"},
      {Busy, 0x1, "; STATION"},
      {Busy, 0x8, "; UNAVAIL"},
      {Busy, 0x3, "; Undefined (3)"},
      {SpecialInfo, 0x2, "; CUSTIRREG"},
      {SpecialInfo, 0x8, "; UNKNOWN"},
      {SpecialInfo, 0x10, "; UNAVAIL"},
      {Connected, 0, ""},
      {Connected, 0x1, "; ACTIVE"},
      {Connected, 0x8, "; INACTIVEHELD"},
      {Connected, 0x10, "; CONFIRMED"},
      {Connected, 0x20, "; Undefined (20)"},
      {Disconnected, 0x1, "; NORMAL"},
      {Disconnected, 0x2, "; UNKNOWN"},
      {Disconnected, 0x100, "; UNREACHABLE"},
      {Disconnected, 0x1000, "; NODIALTONE"},
      {Disconnected, 0x2000, "; Undefined (2000)"},
      {Disconnected, 0, ""},
      {Idle, 0, ""},
      {Idle, 0x4, "; Undefined (4)"},
      {Idle, 0xFFFFFFFF, "; Undefined (FFFFFFFF)"},
      {0, 0x1, "; Undefined (1)"},
      {0x102, 0x1, "; Undefined (1)"},  // two states at once have no mode table
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CallStateModeText(c.state, c.mode), c.text) << std::hex << c.state << " " << c.mode;
  }
}

TEST(CallStateModeTextTest, EachStateHasItsNumberOfModes) {
  const struct {
    DWORD state;
    int lastModeBit;
  } cases[] = {
      {Offering, 1},  {DialTone, 5},      {Busy, 3},  {SpecialInfo, 4},
      {Connected, 4}, {Disconnected, 12}, {Idle, -1},
  };
  for (const auto& c : cases) {
    const auto modeText = [&c](std::uint32_t mode) { return CallStateModeText(c.state, mode); };
    EXPECT_EQ(NamedBits(modeText, "; Undefined ("), BitsUpTo(c.lastModeBit)) << std::hex << c.state;
  }
}

// --- CallInfoStatesText ----------------------------------------------------

TEST(CallInfoStatesTextTest, NamesInAscendingBitOrder) {
  const NameCase cases[] = {
      {0, ""},
      {0x10000000, ""},
      {0xF0000000, ""},
      {0x1, "LINECALLINFOSTATE_OTHER"},
      {0x8000001, "LINECALLINFOSTATE_OTHER LINECALLINFOSTATE_MONITORMODES"},
      {0x18000, "LINECALLINFOSTATE_CALLERID LINECALLINFOSTATE_CALLEDID"},
      {0x10000300, "LINECALLINFOSTATE_ORIGIN LINECALLINFOSTATE_REASON"},
      {0x20000, "LINECALLINFOSTATE_CONNECTEDID"},
      {0x200000, "LINECALLINFOSTATE_USERUSERINFO"},
      {0x4000000, "LINECALLINFOSTATE_DIALPARAMS"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CallInfoStatesText(c.value), c.name) << std::hex << c.value;
  }
}

TEST(CallInfoStatesTextTest, TwentyEightFlagsEachWithOneName) {
  std::string all;
  for (int bit = 0; bit < 32; ++bit) {
    const std::string name = CallInfoStatesText(std::uint32_t{1} << bit);
    if (bit < 28) {
      EXPECT_TRUE(StartsWith(name, "LINECALLINFOSTATE_")) << bit << ": " << name;
      EXPECT_EQ(name.find(' '), std::string::npos) << bit;
      all += (all.empty() ? "" : " ") + name;
    } else {
      EXPECT_EQ(name, "") << bit;
    }
  }
  EXPECT_EQ(CallInfoStatesText(0xFFFFFFFF), all);
  EXPECT_EQ(CallInfoStatesText(0x0FFFFFFF), all);
}

// Reading names back: every value of interest comes back from its own text,
// and texts the forward functions never give are refused.
TEST(ValueFromNameTest, NamesReadBackIntoTheirValues) {
  std::vector<DWORD> values = {0, 0x8, 0x1B, 0x10000, 0x2000, 0x7FFFFFFF, 0xFFFFFFFF};
  for (int bit = 0; bit < 32; ++bit) {
    values.push_back(DWORD{1} << bit);
    values.push_back(static_cast<DWORD>(bit));
  }
  for (const DWORD v : values) {
    EXPECT_EQ(LineMessageValue(LineMessageName(v)), v) << std::hex << v;
    EXPECT_EQ(CallStateValue(CallStateName(v)), v) << std::hex << v;
    EXPECT_EQ(CallOriginValue(CallOriginName(v)), v) << std::hex << v;
    EXPECT_EQ(CallReasonValue(CallReasonName(v)), v) << std::hex << v;
    EXPECT_EQ(CallInfoStatesValue(CallInfoStatesText(v)), v & 0x0FFFFFFF) << std::hex << v;
    for (const DWORD state : {0x2u, 0x8u, 0x40u, 0x80u, 0x100u, 0x4000u, 0x1u, 0x10000u}) {
      EXPECT_EQ(CallStateModeValue(state, CallStateModeText(state, v)), v) << std::hex << state << " " << v;
    }
  }
  const std::pair<std::optional<DWORD> (*)(std::string_view), const char*> refused[] = {
      {LineMessageValue, "LINE_CALLSTATES"},
      {LineMessageValue, "Unknown (       2)"},
      {LineMessageValue, "Unknown (1B)"},
      {CallStateValue, "Unknown (2)"},
      {CallStateValue, "Unknown (0010000)"},
      {CallStateValue, "Unknown (10000"},
      {CallStateValue, "linecallstate_idle"},
      {CallOriginValue, "LINECALLREASON_DIRECT"},
      {CallReasonValue, "Unknown (      1b)"},
      {CallInfoStatesValue, "LINECALLINFOSTATE_CALLEDID LINECALLINFOSTATE_CALLERID"},
      {CallInfoStatesValue, "LINECALLINFOSTATE_CALLERID "},
      {CallInfoStatesValue, "LINECALLINFOSTATE_OTHER  LINECALLINFOSTATE_RATE"},
  };
  for (const auto& [lookup, text] : refused) {
    EXPECT_EQ(lookup(text), std::nullopt) << text;
  }
  EXPECT_EQ(CallStateModeValue(0x2, "; Undefined (1)"), std::nullopt);
  EXPECT_EQ(CallStateModeValue(0x2, "; NORMAL"), std::nullopt);
  EXPECT_EQ(CallStateModeValue(0x4000, "; Undefined (0)"), std::nullopt);
}

}  // namespace
}  // namespace ordalyn
