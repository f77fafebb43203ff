#include "tapi/traceformat.h"

#include <cstring>

#include "tapi/tapiutil.h"
#include "util/utools.h"

namespace ordalyn {

using namespace traceformat;

namespace {

// LINECALLINFOSTATE has names for bits 0 to 27 only.
constexpr DWORD kNamedCallInfoStates = 0x0FFFFFFF;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && std::memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}

// Every label begins " -": the dash is looked for first, as it is rare in a
// line, and the whole label only where it stands. From the position from on.
std::size_t Find(std::string_view text, std::string_view label, std::size_t from = 0) {
  for (std::size_t dashFrom = from + 1; dashFrom < text.size();) {
    const void* dash = std::memchr(text.data() + dashFrom, '-', text.size() - dashFrom);
    if (dash == nullptr) {
      break;
    }
    const auto at = static_cast<std::size_t>(static_cast<const char*>(dash) - text.data()) - 1;
    if (text.size() - at >= label.size() && std::memcmp(text.data() + at, label.data(), label.size()) == 0) {
      return at;
    }
    dashFrom = at + 2;
  }
  return std::string_view::npos;
}

// The raw parameters are written "%X"; a hand-edited trace may add zeros.
std::optional<std::uint32_t> ReadParam(std::string_view digits) { return ReadHex(digits, kHexLeadingZeros); }

// "p1|p2|p3" at the end of every event line.
bool ReadParams(std::string_view text, EventLineView& line) {
  // A few characters: a plain loop, no memchr calls.
  std::size_t first = 0;
  while (first < text.size() && text[first] != kParamSeparator) {
    ++first;
  }
  std::size_t second = first + 1;
  while (second < text.size() && text[second] != kParamSeparator) {
    ++second;
  }
  if (second >= text.size()) {
    return false;
  }
  const auto p1 = ReadParam(text.substr(0, first));
  const auto p2 = ReadParam(text.substr(first + 1, second - first - 1));
  const auto p3 = ReadParam(text.substr(second + 1));
  if (!p1 || !p2 || !p3) {
    return false;
  }
  line.param1 = *p1;
  line.param2 = *p2;
  line.param3 = *p3;
  return true;
}

std::optional<std::uint32_t> ReadHandle(std::string_view text) {
  return text.size() == static_cast<std::size_t>(kHandleDigits) ? ReadHex(text, kHexLeadingZeros)
                                                                : std::nullopt;
}

// "ORIGIN", "REASON" or "ORIGIN, REASON": the origin is written first and
// each only when it is not 0. A lone fallback "Unknown (...)" fits both.
bool ParseOriginReason(std::string_view text, EventLineView& line) {
  const std::size_t join = text.find(kOriginReasonJoin);
  if (join != std::string_view::npos) {
    const auto origin = CallOriginValue(text.substr(0, join));
    const auto reason = CallReasonValue(text.substr(join + kOriginReasonJoin.size()));
    if (!origin || !reason) {
      return false;
    }
    line.origin = *origin;
    line.reason = *reason;
    return true;
  }
  // Only the fallback may be read by both tables.
  const bool fallback = !text.empty() && text.front() == 'U';
  const auto origin = fallback || StartsWith(text, "LINECALLORIGIN_") ? CallOriginValue(text) : std::nullopt;
  const auto reason = fallback || !origin ? CallReasonValue(text) : std::nullopt;
  if (origin && reason) {
    line.originOrReason = *origin;
  } else if (origin) {
    line.origin = *origin;
  } else if (reason) {
    line.reason = *reason;
  }
  return origin || reason;
}

// The lines of a call repeat its origin and reason: the last text read and
// what it gave are kept, so that a repeated text is compared, not looked up.
bool ReadOriginReason(std::string_view text, EventLineView& line) {
  struct Last {
    std::string text;
    bool read = false;
    DWORD origin = 0;
    DWORD reason = 0;
    DWORD originOrReason = 0;
  };
  thread_local Last last;
  if (text != last.text) {
    EventLineView read;
    last.read = ParseOriginReason(text, read);
    last.text.assign(text);
    last.origin = read.origin;
    last.reason = read.reason;
    last.originOrReason = read.originOrReason;
  }
  if (last.read) {
    line.origin = last.origin;
    line.reason = last.reason;
    line.originOrReason = last.originOrReason;
  }
  return last.read;
}

// Where the grammar's " - " pieces stand in the call information and the raw
// parameters after it, found in one pass.
struct Pieces {
  static constexpr int kKept = 3;
  std::size_t lastDash = std::string_view::npos;   // the raw parameters follow the last one
  std::size_t lastGroup = std::string_view::npos;  // " - (" of origin and reason
  std::size_t called[kKept] = {};
  int calledCount = 0;
  std::size_t connected[kKept] = {};
  int connectedCount = 0;
};

void Note(std::size_t at, std::size_t (&positions)[Pieces::kKept], int& count) {
  if (count < Pieces::kKept) {
    positions[count] = at;
  }
  ++count;
}

// From the dash at position from on.
Pieces FindPieces(std::string_view text, std::size_t from) {
  Pieces pieces;
  while (from + 1 < text.size()) {
    const void* found = std::memchr(text.data() + from, '-', text.size() - from - 1);
    if (found == nullptr) {
      break;
    }
    const auto dash = static_cast<std::size_t>(static_cast<const char*>(found) - text.data());
    from = dash + 1;
    if (text[dash - 1] != ' ' || text[dash + 1] != ' ') {
      continue;
    }
    const std::size_t at = dash - 1;
    const std::string_view rest = text.substr(at);
    pieces.lastDash = at;
    if (rest.size() > 3 && rest[3] == '(') {
      pieces.lastGroup = at;
    } else if (StartsWith(rest, kCalledLabel)) {
      Note(at, pieces.called, pieces.calledCount);
    } else if (StartsWith(rest, kConnectedLabel)) {
      Note(at, pieces.connected, pieces.connectedCount);
    }
  }
  return pieces;
}

// "A - CalledID: B[ - ConnectedID: C][ - (ORIGIN, REASON)]" after the
// caller's label, up to end, where the raw parameters begin. A label counts
// only where it does not overlap the label before it.
bool ReadCallInfo(std::string_view body, const Pieces& pieces, std::size_t end, EventLineView& line) {
  if (pieces.calledCount == 0) {
    return false;
  }
  // More labels than kept: too many to tell where the fields lie.
  bool ambiguous = pieces.calledCount > 1 || pieces.connectedCount > Pieces::kKept;
  const std::size_t called = pieces.called[0];
  const std::size_t calledText = called + kCalledLabel.size();
  std::size_t connected = std::string_view::npos;
  for (int i = 0; i < pieces.connectedCount && i < Pieces::kKept; ++i) {
    if (pieces.connected[i] >= calledText && pieces.connected[i] < end) {
      ambiguous = ambiguous || connected != std::string_view::npos;
      connected = pieces.connected[i];
    }
  }
  const std::size_t lastText =
      connected == std::string_view::npos ? calledText : connected + kConnectedLabel.size();
  if (pieces.lastGroup != std::string_view::npos && pieces.lastGroup >= lastText && end > pieces.lastGroup &&
      body[end - 1] == kOriginReasonEnd.back()) {
    const std::size_t inner = pieces.lastGroup + kOriginReasonStart.size();
    if (ReadOriginReason(body.substr(inner, end - inner - kOriginReasonEnd.size()), line)) {
      end = pieces.lastGroup;
    }
  }
  if (ambiguous) {
    line.identifiersAmbiguous = true;
    return true;
  }
  line.callerId = body.substr(kCallerLabel.size(), called - kCallerLabel.size());
  if (connected == std::string_view::npos) {
    line.calledId = body.substr(calledText, end - calledText);
  } else {
    line.calledId = body.substr(calledText, connected - calledText);
    line.connectedId = body.substr(lastText, end - lastText);
  }
  return true;
}

}  // namespace

bool NamesCallHandle(DWORD message) {
  return message == LINE_APPNEWCALL || message == LINE_CALLSTATE || message == LINE_CALLINFO;
}

bool CarriesCallInfo(DWORD message) { return message == LINE_CALLSTATE || message == LINE_CALLINFO; }

void AppendEventLine(std::string& text, DWORD message, std::uint32_t handle, const CallInfo* info,
                     std::uint32_t param1, std::uint32_t param2, std::uint32_t param3) {
  text += LineMessageName(message);
  if (message == LINE_CALLSTATE) {
    text += kDetailStart;
    text += CallStateName(param1);
    text += CallStateModeText(param1, param2);
  } else if (message == LINE_CALLINFO) {
    text += kDetailStart;
    text += CallInfoStatesText(param1);
  }
  if (NamesCallHandle(message)) {
    text += kHandleLabel;
    AppendHexUpper(text, handle, kHandleDigits);
  }
  if (CarriesCallInfo(message) && info != nullptr) {
    text += kCallerLabel;
    text += info->callerId;
    text += kCalledLabel;
    text += info->calledId;
    if (!info->connectedId.empty()) {
      text += kConnectedLabel;
      text += info->connectedId;
    }
    if (info->origin != 0 || info->reason != 0) {
      text += kOriginReasonStart;
      if (info->origin != 0) {
        text += CallOriginName(info->origin);
      }
      if (info->reason != 0) {
        if (info->origin != 0) {
          text += kOriginReasonJoin;
        }
        text += CallReasonName(info->reason);
      }
      text += kOriginReasonEnd;
    }
  }
  text += kParamsStart;
  AppendHexUpper(text, param1);
  text += kParamSeparator;
  AppendHexUpper(text, param2);
  text += kParamSeparator;
  AppendHexUpper(text, param3);
}

std::optional<EventLineView> ReadEventLine(std::string_view text) {
  // The message name: "LINE_...", "PHONE_..." or the fallback "Unknown (      1B)".
  std::size_t nameEnd = 0;
  if (StartsWith(text, "Unknown (")) {
    nameEnd = 18;
  } else if (StartsWith(text, "LINE_") || StartsWith(text, "PHONE_")) {
    // Not find_first_of: it calls memchr once for every character.
    nameEnd = 0;
    while (nameEnd < text.size() && text[nameEnd] != ':' && text[nameEnd] != ' ') {
      ++nameEnd;
    }
  } else {
    return std::nullopt;
  }
  if (nameEnd > text.size()) {
    return std::nullopt;
  }
  EventLineView line;
  const auto message = LineMessageValue(text.substr(0, nameEnd));
  if (!message) {
    return std::nullopt;
  }
  line.message = *message;
  std::string_view rest = text.substr(nameEnd);

  if (!NamesCallHandle(line.message)) {
    if (!StartsWith(rest, kParamsStart) || !ReadParams(rest.substr(kParamsStart.size()), line)) {
      return std::nullopt;
    }
    return line;
  }
  if (line.message == LINE_APPNEWCALL) {
    // "LINE_APPNEWCALL - hCall: 00010A2C - 0|10A2C|2": the handle is param2.
    if (!StartsWith(rest, kHandleLabel) || rest.size() < kHandleLabel.size() + kHandleDigits) {
      return std::nullopt;
    }
    const auto handle = ReadHandle(rest.substr(kHandleLabel.size(), kHandleDigits));
    const std::string_view tail = rest.substr(kHandleLabel.size() + kHandleDigits);
    if (!handle || !StartsWith(tail, kParamsStart) || !ReadParams(tail.substr(kParamsStart.size()), line) ||
        line.param2 != *handle) {
      return std::nullopt;
    }
    line.handle = *handle;
    return line;
  }

  if (!StartsWith(rest, kDetailStart)) {
    return std::nullopt;
  }
  const std::size_t handleAt = Find(rest, kHandleLabel);
  if (handleAt == std::string_view::npos || rest.size() < handleAt + kHandleLabel.size() + kHandleDigits) {
    return std::nullopt;
  }
  const std::string_view detail = rest.substr(kDetailStart.size(), handleAt - kDetailStart.size());
  const auto handle = ReadHandle(rest.substr(handleAt + kHandleLabel.size(), kHandleDigits));
  std::string_view body = rest.substr(handleAt + kHandleLabel.size() + kHandleDigits);
  if (!handle || !StartsWith(body, kCallerLabel)) {
    return std::nullopt;
  }
  line.handle = *handle;
  // The caller's label is the first piece; nothing may overlap it.
  const Pieces pieces = FindPieces(body, kCallerLabel.size() + 1);
  const std::size_t paramsAt = pieces.lastDash;
  if (paramsAt == std::string_view::npos || paramsAt < kCallerLabel.size() ||
      !ReadParams(body.substr(paramsAt + kParamsStart.size()), line)) {
    return std::nullopt;
  }

  // The names must say what the raw parameters say.
  if (line.message == LINE_CALLSTATE) {
    const std::size_t modeAt = detail.find(kModeStart);
    const auto state = CallStateValue(detail.substr(0, modeAt));
    if (!state) {
      return std::nullopt;
    }
    const auto mode = CallStateModeValue(
        *state, modeAt == std::string_view::npos ? std::string_view() : detail.substr(modeAt));
    if (!mode || *state != line.param1 || *mode != line.param2) {
      return std::nullopt;
    }
  } else {
    const auto flags = CallInfoStatesValue(detail);
    if (!flags || *flags != (line.param1 & kNamedCallInfoStates)) {
      return std::nullopt;
    }
  }
  if (!ReadCallInfo(body, pieces, paramsAt, line)) {
    return std::nullopt;
  }
  return line;
}

}  // namespace ordalyn
