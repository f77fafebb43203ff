// Line capabilities and call information that outgrow the first block: the
// trace fetches them a second time into a block of exactly the size asked for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2erig.h"

namespace ordalyn::e2e {
namespace {

constexpr DWORD kFirstDevCapsSize = 292;
constexpr DWORD kFirstCallInfoSize = 344;

// The queries of one kind, grouped into fetches: each fetch starts with the
// first block size and, when that was too small, has a second query.
std::vector<std::vector<BlockQuery>> Fetches(const std::vector<BlockQuery>& queries, const std::string& call,
                                             DWORD firstSize) {
  std::vector<std::vector<BlockQuery>> fetches;
  for (const auto& query : queries) {
    if (query.call != call) continue;
    if (query.totalSize == firstSize || fetches.empty()) {
      fetches.emplace_back();
    }
    fetches.back().push_back(query);
  }
  return fetches;
}

// Every fetch is one query that fitted, or a too-small first query followed
// by exactly one query with a block of dwNeededSize bytes. Returns the number
// of fetches that grew.
int CheckFetches(const std::vector<std::vector<BlockQuery>>& fetches, DWORD firstSize) {
  int grown = 0;
  for (std::size_t i = 0; i < fetches.size(); ++i) {
    const auto& fetch = fetches[i];
    SCOPED_TRACE("fetch " + std::to_string(i));
    EXPECT_EQ(fetch.front().totalSize, firstSize);
    if (fetch.front().neededSize <= fetch.front().totalSize) {
      EXPECT_EQ(fetch.size(), 1u);
      continue;
    }
    ++grown;
    EXPECT_EQ(fetch.size(), 2u) << "no third attempt, and no missing second one";
    if (fetch.size() != 2) continue;
    EXPECT_EQ(fetch[1].totalSize, fetch[0].neededSize);
    EXPECT_LE(fetch[1].neededSize, fetch[1].totalSize);
    EXPECT_EQ(fetch[1].result, 0);
  }
  return grown;
}

TEST(E2eBlocks, LargeCapabilitiesAndCallInformationAreFetchedTwice) {
  auto rig = Rig::FromExample("large-blocks.json");
  std::vector<std::string> longList;
  rig->EnumerateLong(longList);
  const std::string name =
      "Line with a very long name that goes on and on - Channel 1 - Trunk Group North - Building 7, Floor 3";
  EXPECT_EQ(longList, (std::vector<std::string>{"Line: 0 - " + name + ", Media $4, TAPI-Version 2.2 *",
                                                "* Suggested TAPI Voice Line"}));

  rig->Logon(0);
  rig->Run(4000);
  rig->Logoff();
  std::vector<std::string> expected = Header();
  const std::vector<std::string> rest = {
      At(0, "Initialise: OK"),
      At(0, "LineOpen: OK"),
      At(0, "TAPI - Logon (Version: 2.2) - " + name + " (TAPI-Line: 0)"),
      kSeparator,
      At(500, "LINE_APPNEWCALL - hCall: 00002001 - 0|2001|2"),
      At(505,
         "LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE - hCall: 00002001 - CallerID: 5550100 - CalledID: "
         "200 - "
         "2|1|0"),
      At(3505,
         "LINE_CALLSTATE: LINECALLSTATE_IDLE - hCall: 00002001 - CallerID: 5550100 - CalledID: 200 - 1|0|0"),
      kSeparator,
      At(4000, "LineShutDown: OK"),
      At(4000, "TAPI - Logoff"),
  };
  expected.insert(expected.end(), rest.begin(), rest.end());
  EXPECT_EQ(rig->Lines(), expected);

  const auto devCaps = Fetches(rig->recorder.blockQueries, "lineGetDevCapsA", kFirstDevCapsSize);
  ASSERT_EQ(devCaps.size(), 2u) << "one fetch for the list, one for the logon";
  EXPECT_EQ(CheckFetches(devCaps, kFirstDevCapsSize), 2);
  const auto callInfo = Fetches(rig->recorder.blockQueries, "lineGetCallInfoA", kFirstCallInfoSize);
  ASSERT_EQ(callInfo.size(), 2u) << "one fetch per call-state line";
  EXPECT_EQ(CheckFetches(callInfo, kFirstCallInfoSize), 2);
}

TEST(E2eBlocks, BlocksThatFitAreFetchedOnce) {
  Rig rig(R"({
    "lines": [{"name": "Short", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE", "maxApiVersion": "1.4"}],
    "calls": [{"handle": 9, "callerID": "1"}],
    "script": [{"delayMs": 1, "message": "LINE_APPNEWCALL", "param2": 9},
               {"delayMs": 1, "message": "LINE_CALLINFO", "call": 9, "param1": "LINECALLINFOSTATE_CALLERID"}]
  })");
  const auto events = EventLines(rig.Trace(0, 10));
  EXPECT_EQ(events.back(),
            At(2,
               "LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 00000009 - CallerID: 1 - CalledID:  - "
               "8000|0|0"));
  for (const auto& query : rig.recorder.blockQueries) {
    EXPECT_LE(query.neededSize, query.totalSize) << query.call;
  }
  EXPECT_EQ(CheckFetches(Fetches(rig.recorder.blockQueries, "lineGetDevCapsA", kFirstDevCapsSize),
                         kFirstDevCapsSize),
            0);
  EXPECT_EQ(CheckFetches(Fetches(rig.recorder.blockQueries, "lineGetCallInfoA", kFirstCallInfoSize),
                         kFirstCallInfoSize),
            0);
}

// Every text lies beyond the first block; without the second fetch the line
// would show no identifiers at all.
TEST(E2eBlocks, LargestDataTheScenarioAllowsIsStillRead) {
  Rig rig(R"({
    "lines": [{"name": "Big", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE", "devSpecific": 16384}],
    "calls": [{"handle": 7, "devSpecific": 16384, "callerID": "5550100", "calledIDName": " Reception ",
               "connectedIDName": "Operator", "origin": 4}],
    "script": [{"delayMs": 1, "message": "LINE_APPNEWCALL", "param2": 7},
               {"delayMs": 1, "message": "LINE_CALLSTATE", "call": 7, "param1": "LINECALLSTATE_CONNECTED",
                "param2": "LINECONNECTEDMODE_CONFIRMED"}]
  })");
  const auto trace = rig.Trace(0, 10);
  EXPECT_EQ(EventLines(trace).back(),
            At(2,
               "LINE_CALLSTATE: LINECALLSTATE_CONNECTED; CONFIRMED - hCall: 00000007 - CallerID: 5550100 - "
               "CalledID:  Reception  - ConnectedID: Operator - (LINECALLORIGIN_EXTERNAL) - 100|10|0"));
  EXPECT_EQ(trace[6], At(0, "TAPI - Logon (Version: 2.2) - Big (TAPI-Line: 0)"));
  const auto callInfo = Fetches(rig.recorder.blockQueries, "lineGetCallInfoA", kFirstCallInfoSize);
  ASSERT_EQ(CheckFetches(callInfo, kFirstCallInfoSize), 1);
  EXPECT_GT(callInfo[0][1].totalSize, 16384u);
}

}  // namespace
}  // namespace ordalyn::e2e
