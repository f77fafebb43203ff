// Every event line the tracer writes reads back to the values that made it,
// over generated traffic: the "Unknown (...)" fallbacks, empty and long
// identifiers, code page 1252 bytes and identifiers holding the grammar's own
// separators. Where the text cannot tell, the line says so; it never gives a
// wrong value.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tapi/tapiutil.h"
#include "tapi/traceformat.h"

namespace ordalyn {
namespace {

// Identifiers as providers fill them, and as a trace cannot tell apart.
std::string Identifier(std::mt19937& random) {
  static const std::vector<std::string> kPieces = {
      "",
      "5550100",
      "+49 30 5550199",
      "Dr. M\xFC"
      "ller",
      "\x80\xA0\xFF",
      " - (",
      ")",
      " - CalledID: ",
      " - CallerID: ",
      " - hCall: 00000001",
      " - 1|2|3",
      " - ConnectedID: ",
      "(LINECALLORIGIN_INBOUND)",
      ", ",
      "\x1b[31m",
      // Pieces that would overlap the label before them.
      "- CalledID: ",
      "- ConnectedID: ",
      "- (LINECALLORIGIN_INBOUND)",
      "- (",
      "- 1|2|3",
  };
  std::string id;
  const int pieces = static_cast<int>(random() % 4);
  for (int i = 0; i < pieces; ++i) id += kPieces[random() % kPieces.size()];
  if (random() % 40 == 0) id = std::string(300, static_cast<char>('A' + random() % 26));
  return id;
}

std::size_t Occurrences(std::string_view text, std::string_view label) {
  std::size_t count = 0;
  for (std::size_t at = text.find(label); at != std::string_view::npos; at = text.find(label, at + 1))
    ++count;
  return count;
}

DWORD Pick(std::mt19937& random, std::initializer_list<DWORD> values) {
  return *(values.begin() + random() % values.size());
}

// The cases the text alone cannot decide, where the fixed order of the fields
// wins: a called or connected identifier that ends like the origin's
// parentheses, and a called identifier holding " - ConnectedID: " when there
// is no connected one.
bool OrderDecides(const CallInfo& info) {
  const std::string& last = info.connectedId.empty() ? info.calledId : info.connectedId;
  const bool endsLikeOrigin = info.origin == 0 && info.reason == 0 && last.size() > 4 && last.back() == ')' &&
                              last.find(" - (") != std::string::npos;
  const bool calledHoldsLabel =
      info.connectedId.empty() && info.calledId.find(traceformat::kConnectedLabel) != std::string::npos;
  return endsLikeOrigin || calledHoldsLabel;
}

TEST(TraceFormat, EveryLineReadsBackToItsValues) {
  std::mt19937 random(20261209);
  int exact = 0;
  int ambiguous = 0;
  for (int round = 0; round < 20000; ++round) {
    const DWORD message = Pick(random, {LINE_CALLSTATE, LINE_CALLSTATE, LINE_CALLINFO, LINE_APPNEWCALL,
                                        LINE_LINEDEVSTATE, LINE_REPLY, 0x1B, 0xFFFFFFFF});
    CallInfo info;
    info.callerId = Identifier(random);
    info.calledId = Identifier(random);
    info.connectedId = Identifier(random);
    info.origin = Pick(random, {0, 0, LINECALLORIGIN_OUTBOUND, LINECALLORIGIN_INBOUND, 0x81, 0x8});
    info.reason = Pick(random, {0, 0, 0x1, 0x400, 0x81, 0x4000});
    const std::uint32_t handle = Pick(random, {0, 1, 0x10A2C, 0xFFFFFFFF});
    std::uint32_t p1 = Pick(random, {0, 1, 2, 0x100, 0x4000, 0x8000, 0x10000, 0x8001, 0x10000000});
    std::uint32_t p2 = Pick(random, {0, 1, 0x20, 0x40, 0x3, 0xFFFFFFFF});
    const std::uint32_t p3 = Pick(random, {0, 2, 0xABCDEF});
    if (message == LINE_APPNEWCALL) p2 = handle;
    if (message == LINE_CALLINFO) p1 |= 0x8000;

    std::string line;
    AppendEventLine(line, message, handle, &info, p1, p2, p3);
    const auto read = ReadEventLine(line);
    ASSERT_TRUE(read.has_value()) << line;
    EXPECT_EQ(read->message, message) << line;
    EXPECT_EQ(read->param1, p1) << line;
    EXPECT_EQ(read->param2, p2) << line;
    EXPECT_EQ(read->param3, p3) << line;
    if (!NamesCallHandle(message)) continue;
    EXPECT_EQ(read->handle, handle) << line;
    if (!CarriesCallInfo(message) || OrderDecides(info)) continue;

    // Origin and reason: each as named, a lone fallback kept as either.
    const std::string group = info.origin != 0 ? CallOriginName(info.origin) : CallReasonName(info.reason);
    const bool loneFallback = (info.origin == 0) != (info.reason == 0) &&
                              CallOriginValue(group).has_value() && CallReasonValue(group).has_value();
    if (loneFallback) {
      EXPECT_EQ(read->originOrReason, info.origin | info.reason) << line;
      EXPECT_EQ(read->origin, 0u) << line;
      EXPECT_EQ(read->reason, 0u) << line;
    } else {
      EXPECT_EQ(read->origin, info.origin) << line;
      EXPECT_EQ(read->reason, info.reason) << line;
      EXPECT_EQ(read->originOrReason, 0u) << line;
    }
    if (read->identifiersAmbiguous) {
      ++ambiguous;
      // Only a label that stands twice makes a line ambiguous.
      EXPECT_TRUE(Occurrences(line, traceformat::kCalledLabel) > 1 ||
                  Occurrences(line, traceformat::kConnectedLabel) > 1)
          << line;
      EXPECT_TRUE(read->callerId.empty() && read->calledId.empty() && read->connectedId.empty());
      continue;
    }
    ++exact;
    EXPECT_EQ(read->callerId, info.callerId) << line;
    EXPECT_EQ(read->calledId, info.calledId) << line;
    EXPECT_EQ(read->connectedId, info.connectedId) << line;
  }
  // The generator reached both kinds.
  EXPECT_GT(exact, 3000);
  EXPECT_GT(ambiguous, 100);
}

// What the order of the fields decides, and lines whose pieces disagree.
TEST(TraceFormat, OrderDecidesAndDisagreementsAreNoLines) {
  const auto read = ReadEventLine(
      "LINE_CALLSTATE: LINECALLSTATE_CONNECTED; ACTIVE - hCall: 00000007 - CallerID: a - ConnectedID: b - "
      "CalledID: c - (Unknown (      81)) - 100|1|0");
  ASSERT_TRUE(read.has_value());
  EXPECT_EQ(read->callerId, "a - ConnectedID: b");  // the connected party comes after the called one
  EXPECT_EQ(read->calledId, "c");
  EXPECT_EQ(read->connectedId, "");
  EXPECT_EQ(read->originOrReason, 0x81u);
  EXPECT_EQ(read->origin, 0u);

  for (const char* bad : {
           "LINE_CALLSTATE: LINECALLSTATE_CONNECTED; ACTIVE - hCall: 00000007 - CallerID:  - CalledID:  - "
           "2|1|0",
           "LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 00000007 - CallerID:  - CalledID:  - 1|0|0",
           "LINE_APPNEWCALL - hCall: 00000007 - 0|8|2",
           "LINE_CALLSTATE: LINECALLSTATE_IDLE - hCall: 00000007 - CallerID:  - 1|0|0",
           "LINE_CALLSTATE: LINECALLSTATE_IDLE - hCall: 0000007 - CallerID:  - CalledID:  - 1|0|0",
           "LINE_REPLY - 1|2",
           "LINE_NOSUCH - 1|2|3",
           "Unknown (1B) - 1|2|3",
           // The raw parameters at the end: one to eight upper-case digits each, after " - ".
           "LINE_LINEDEVSTATE - 2|0|123456789",
           "LINE_LINEDEVSTATE - 2|0|a",
           "LINE_LINEDEVSTATE - 2||1",
           "LINE_LINEDEVSTATE - 1|2|0|1",
           "LINE_LINEDEVSTATE -2|0|1",
           "LINE_LINEDEVSTATE - 2|0|1 ",
           "LINE_CALLSTATE: LINECALLSTATE_IDLE - hCall: 00000007 - CallerID:  - CalledID: 1|0|0",
           "LINE_CALLSTATE: LINECALLSTATE_IDLE - hCall: 0000000a - CallerID:  - CalledID:  - 1|0|0",
           "LINE_CALLSTATE: LINECALLSTATE_IDLE; ACTIVE - hCall: 00000007 - CallerID:  - CalledID:  - 1|0|0",
           "LINE_CALLSTATE: LINECALLSTATE_IDLE - hCall: 00000007 - CallerID: - 1|0|0",
           "LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 00000007 - CallerID:  - CalledID:  - 8001|0|0",
       }) {
    EXPECT_FALSE(ReadEventLine(bad).has_value()) << bad;
  }

  // Zeros in front of a raw parameter, and information flags that name nothing.
  const auto zeros = ReadEventLine("LINE_LINEDEVSTATE - 00000002|0|00001");
  ASSERT_TRUE(zeros.has_value());
  EXPECT_EQ(zeros->param1, 2u);
  EXPECT_EQ(zeros->param3, 1u);
  const auto noFlags = ReadEventLine("LINE_CALLINFO:  - hCall: 00000007 - CallerID: a - CalledID: b - 0|0|0");
  ASSERT_TRUE(noFlags.has_value());
  EXPECT_EQ(noFlags->calledId, "b");
}

// The names before the handle are compared with the texts the raw parameters
// give, kept for the values seen last: however many states, modes and flags
// follow one another, each line reads its own.
TEST(TraceFormat, ManyStatesInTurnEachReadTheirOwn) {
  struct Line {
    std::string text;
    DWORD message;
    DWORD param1;
    DWORD param2;
  };
  std::vector<Line> lines;
  const CallInfo info{"1", "2", "", 0, 0};
  for (int round = 0; round < 2; ++round) {
    for (DWORD bit = 0; bit < 32; ++bit) {
      for (const DWORD mode : {0u, 1u, 2u, 0x40u, 0x80000000u}) {
        Line state{"", LINE_CALLSTATE, DWORD{1} << bit, mode};
        AppendEventLine(state.text, LINE_CALLSTATE, 7, &info, state.param1, state.param2, 0);
        lines.push_back(state);
        Line flags{"", LINE_CALLINFO, (DWORD{1} << bit) | 0x10000000, 0};
        AppendEventLine(flags.text, LINE_CALLINFO, 7, &info, flags.param1, 0, 0);
        lines.push_back(flags);
      }
    }
  }
  for (const Line& line : lines) {
    const auto read = ReadEventLine(line.text);
    ASSERT_TRUE(read.has_value()) << line.text;
    EXPECT_EQ(read->message, line.message) << line.text;
    EXPECT_EQ(read->param1, line.param1) << line.text;
    EXPECT_EQ(read->param2, line.param2) << line.text;
  }
}

}  // namespace
}  // namespace ordalyn
