// The call information query and the line callback over whatever a provider
// may put into a LINECALLINFO block: any bytes, any offsets and sizes, any
// dwNeededSize, a dwTotalSize scribbled over, failing results.
//
// Input (see fuzzplatform.h for the block answers):
//   u32 call handle, then the block answers of one direct QueryCallInfo;
//   then up to 64 messages, each
//     u8 flags (bit 0: the sink fails on this line; bit 1: message %= 32),
//     u32 message, u64 param1, u64 param2, u64 param3,
//   followed by the block answers of the queries that message causes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "fuzzinput.h"
#include "fuzzplatform.h"
#include "tapi/linetrace.h"
#include "tapi/tapiblock.h"
#include "tapi/tapiutil.h"
#include "util/utools.h"

namespace ordalyn::fuzz {
namespace {

constexpr int kMaxMessages = 64;

std::string Trimmed(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= 32) ++begin;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= 32) --end;
  return text.substr(begin, end - begin);
}

std::string Party(const std::vector<std::uint8_t>& block, std::size_t sizeField, std::size_t offsetField,
                  std::size_t nameSizeField, std::size_t nameOffsetField, bool trimName) {
  std::string id;
  if (FieldAt(block, sizeField) != 0) id = Trimmed(TextAt(block, FieldAt(block, offsetField)));
  if (id.empty() && FieldAt(block, nameSizeField) != 0) {
    const std::string name = TextAt(block, FieldAt(block, nameOffsetField));
    id = trimName ? Trimmed(name) : name;
  }
  return id;
}

// What the query should have produced from the blocks the platform filled, and
// a check that it asked for them as it should: a zero-filled block of
// LINECALLINFO's size, then at most one more of exactly dwNeededSize bytes.
CallInfo ExpectedInfo(const std::vector<BlockCall>& calls, std::size_t first, std::uint32_t handle) {
  const std::size_t count = calls.size() - first;
  FUZZ_CHECK(count == 1 || count == 2, std::to_string(count) + " lineGetCallInfoA calls for one query");
  for (std::size_t i = first; i < calls.size(); ++i) {
    FUZZ_CHECK(calls[i].handle == handle, "queried the wrong call");
  }
  const BlockCall& initial = calls[first];
  FUZZ_CHECK(initial.callerTotal == sizeof(LINECALLINFO),
             "first block of " + std::to_string(initial.callerTotal) + " bytes");
  // The block's real size decides, whatever the provider wrote over dwTotalSize.
  const DWORD needed = FieldAt(initial.after, offsetof(LINECALLINFO, dwNeededSize));
  const std::vector<std::uint8_t>* block = &initial.after;
  if (needed > initial.callerTotal) {
    if (needed > kMaxTapiBlockSize) {
      FUZZ_CHECK(count == 1, "an implausible dwNeededSize was allocated");
      return CallInfo{};
    }
    FUZZ_CHECK(count == 2, "no second query after dwNeededSize " + std::to_string(needed));
    FUZZ_CHECK(calls[first + 1].callerTotal == needed, "second block of " +
                                                           std::to_string(calls[first + 1].callerTotal) +
                                                           " bytes, needed " + std::to_string(needed));
    block = &calls[first + 1].after;
  } else {
    FUZZ_CHECK(count == 1, "a second query without need");
  }
  CallInfo info;
  info.callerId =
      Party(*block, offsetof(LINECALLINFO, dwCallerIDSize), offsetof(LINECALLINFO, dwCallerIDOffset),
            offsetof(LINECALLINFO, dwCallerIDNameSize), offsetof(LINECALLINFO, dwCallerIDNameOffset), true);
  info.calledId =
      Party(*block, offsetof(LINECALLINFO, dwCalledIDSize), offsetof(LINECALLINFO, dwCalledIDOffset),
            offsetof(LINECALLINFO, dwCalledIDNameSize), offsetof(LINECALLINFO, dwCalledIDNameOffset), false);
  info.connectedId = Party(
      *block, offsetof(LINECALLINFO, dwConnectedIDSize), offsetof(LINECALLINFO, dwConnectedIDOffset),
      offsetof(LINECALLINFO, dwConnectedIDNameSize), offsetof(LINECALLINFO, dwConnectedIDNameOffset), false);
  info.origin = FieldAt(*block, offsetof(LINECALLINFO, dwOrigin));
  info.reason = FieldAt(*block, offsetof(LINECALLINFO, dwReason));
  return info;
}

void CheckSame(const CallInfo& got, const CallInfo& expected) {
  FUZZ_CHECK(got.callerId == expected.callerId,
             "caller \"" + got.callerId + "\" instead of \"" + expected.callerId + "\"");
  FUZZ_CHECK(got.calledId == expected.calledId,
             "called \"" + got.calledId + "\" instead of \"" + expected.calledId + "\"");
  FUZZ_CHECK(got.connectedId == expected.connectedId,
             "connected \"" + got.connectedId + "\" instead of \"" + expected.connectedId + "\"");
  FUZZ_CHECK(got.origin == expected.origin && got.reason == expected.reason, "origin or reason");
}

std::string HandleText(std::uint32_t handle) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%.8X", static_cast<unsigned>(handle));
  return buffer;
}

bool EndsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace
}  // namespace ordalyn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ordalyn;
  using namespace ordalyn::fuzz;
  InputReader input(data, size);
  FuzzTapiPlatform platform(input);

  // One query on its own.
  const std::uint32_t call = input.U32();
  const CallInfo direct = QueryCallInfo(platform, static_cast<HCALL>(call));
  CheckSame(direct, ExpectedInfo(platform.callInfoCalls, 0, call));
  FUZZ_CHECK(direct.callerId == Trimmed(direct.callerId), "the caller is not trimmed");

  // Messages through the line callback, as TAPI delivers them.
  TapiState state;
  RecordingSink sink;
  LineEventTrace trace(platform, state, sink);
  int failures = 0;
  SetLineCallbackTarget(&trace);
  SetLineCallbackErrorHandler([&failures](std::exception_ptr) { ++failures; });
  for (int i = 0; i < kMaxMessages && !input.Empty(); ++i) {
    const std::uint8_t flags = input.U8();
    DWORD message = input.U32();
    if ((flags & 2) != 0) message %= 32;
    const std::uint64_t p1 = input.U64();
    const std::uint64_t p2 = input.U64();
    const std::uint64_t p3 = input.U64();
    const bool sinkFails = (flags & 1) != 0;
    sink.failNextLine = sinkFails;
    const std::size_t queriesBefore = platform.callInfoCalls.size();
    const std::size_t entriesBefore = sink.entries.size();
    const int failuresBefore = failures;
    const std::uint32_t callBefore = CallHandleValue(state.currentCall);

    LineCallback(flags, message, 0, static_cast<DWORD_PTR>(p1), static_cast<DWORD_PTR>(p2),
                 static_cast<DWORD_PTR>(p3));

    const bool withInfo = message == LINE_CALLSTATE || message == LINE_CALLINFO;
    const std::uint32_t current = CallHandleValue(state.currentCall);
    if (message == LINE_APPNEWCALL) {
      FUZZ_CHECK(current == static_cast<std::uint32_t>(p2), "LINE_APPNEWCALL did not take the call");
    } else {
      FUZZ_CHECK(current == callBefore, "the current call changed");
    }
    CallInfo expected;
    if (withInfo) {
      expected = ExpectedInfo(platform.callInfoCalls, queriesBefore, current);
    } else {
      FUZZ_CHECK(platform.callInfoCalls.size() == queriesBefore, "call information for another message");
    }
    if (sinkFails) {
      FUZZ_CHECK(failures == failuresBefore + 1, "the sink's failure did not reach the handler");
      FUZZ_CHECK(sink.entries.size() == entriesBefore, "a line despite the failure");
      continue;
    }
    FUZZ_CHECK(failures == failuresBefore, "a failure without cause");
    FUZZ_CHECK(sink.entries.size() == entriesBefore + 1, "not exactly one line per message");
    const std::string line = sink.entries.back().substr(1);
    if (Verbose()) std::fprintf(stderr, "%s\n", line.c_str());
    FUZZ_CHECK(line.find('\0') == std::string::npos, "a NUL inside the trace line");
    FUZZ_CHECK(line.rfind(LineMessageName(message), 0) == 0,
               "the line does not start with the name: " + line);
    const std::string raw = " - " + HexUpper(static_cast<std::uint32_t>(p1)) + "|" +
                            HexUpper(static_cast<std::uint32_t>(p2)) + "|" +
                            HexUpper(static_cast<std::uint32_t>(p3));
    FUZZ_CHECK(EndsWith(line, raw), "the line does not end with the raw parameters: " + line);
    if (message == LINE_APPNEWCALL) {
      FUZZ_CHECK(line.find(" - hCall: " + HandleText(current) + " - ") != std::string::npos,
                 "no call handle: " + line);
    }
    if (withInfo) {
      const std::string ids = " - hCall: " + HandleText(current) + " - CallerID: " + expected.callerId +
                              " - CalledID: " + expected.calledId;
      // Only names precede the identifiers, so the first match is theirs.
      const std::size_t at = line.find(ids);
      FUZZ_CHECK(at != std::string::npos, "identifiers missing: " + line);
      const std::string rest = line.substr(at + ids.size());
      const std::string connected = " - ConnectedID: ";
      if (expected.connectedId.empty()) {
        FUZZ_CHECK(rest.rfind(connected, 0) != 0, "an empty connected identifier is shown: " + line);
      } else {
        FUZZ_CHECK(rest.rfind(connected + expected.connectedId, 0) == 0,
                   "connected identifier missing: " + line);
      }
    }
  }
  SetLineCallbackTarget(nullptr);
  SetLineCallbackErrorHandler({});
  return 0;
}
