#include "tapi/traceformat.h"

#include <cstring>
#include <iterator>

#include "tapi/tapiutil.h"
#include "util/samebytes.h"
#include "util/utools.h"

namespace ordalyn {

using namespace traceformat;

namespace {

// LINECALLINFOSTATE has names for bits 0 to 27 only.
constexpr DWORD kNamedCallInfoStates = 0x0FFFFFFF;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameBytes(text.data(), prefix.data(), prefix.size());
}

// "p1|p2|p3" at the end of every event line, after " - ", read from the
// back: each parameter 1 to 8 upper-case hexadecimal digits (written "%X";
// a hand-edited trace may add zeros). Where p1 begins, or npos when the line
// does not end so.
std::size_t ReadParamsAtEnd(std::string_view text, EventLineView& line) {
  constexpr std::size_t kMaxDigits = 8;
  std::uint32_t values[3] = {};
  std::size_t end = text.size();
  for (int i = 2;; --i) {
    // The digits from the back, each in its place.
    std::uint32_t value = 0;
    std::size_t begin = end;
    unsigned shift = 0;
    for (; begin > 0 && shift <= 4 * kMaxDigits; --begin, shift += 4) {
      const unsigned digit = detail::kHexDigits[static_cast<unsigned char>(text[begin - 1])];
      if (digit >= 16) {
        break;
      }
      value |= shift < 32 ? digit << shift : 0;
    }
    if (begin == end || end - begin > kMaxDigits) {
      return std::string_view::npos;
    }
    values[i] = value;
    if (i == 0) {
      if (begin < kParamsStart.size() ||
          !SameBytes(text.data() + begin - kParamsStart.size(), kParamsStart.data(), kParamsStart.size())) {
        return std::string_view::npos;
      }
      line.param1 = values[0];
      line.param2 = values[1];
      line.param3 = values[2];
      return begin;
    }
    if (begin == 0 || text[begin - 1] != kParamSeparator) {
      return std::string_view::npos;
    }
    end = begin - 1;
  }
}

// The handle's eight upper-case hexadecimal digits.
std::optional<std::uint32_t> ReadHandle(std::string_view text) {
  static_assert(kHandleDigits == 8);
  if (text.size() != static_cast<std::size_t>(kHandleDigits)) {
    return std::nullopt;
  }
  std::uint32_t value = 0;
  unsigned refused = 0;
  for (const char c : text) {
    const unsigned digit = detail::kHexDigits[static_cast<unsigned char>(c)];
    refused |= digit;
    value = value << 4 | (digit & 0xF);
  }
  return refused < 16 ? std::optional(value) : std::nullopt;
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

// From the dash at position from on, up to the raw parameters' " - " at
// paramsAt (which is lastDash).
Pieces FindPieces(std::string_view text, std::size_t from, std::size_t paramsAt) {
  Pieces pieces;
  pieces.lastDash = paramsAt;
  while (from < paramsAt) {
    const void* found = std::memchr(text.data() + from, '-', paramsAt - from);
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

// The call information of body up to end, read once for each text: the lines
// of a call mostly repeat it, so the last text read and what it gave are kept,
// and a repeated text is compared, not read again.
bool ReadCallInfoOnce(std::string_view body, std::size_t end, EventLineView& line) {
  // An identifier as where it stands in the text and how long it is.
  struct Place {
    std::size_t at = 0;
    std::size_t size = 0;
  };
  struct Last {
    std::string text;
    bool read = false;
    Place caller, called, connected;
    DWORD origin = 0;
    DWORD reason = 0;
    DWORD originOrReason = 0;
    bool ambiguous = false;
  };
  thread_local Last last;
  if (end != last.text.size() || !SameBytes(body.data(), last.text.data(), end)) {
    EventLineView read;
    last.read = ReadCallInfo(body, FindPieces(body, kCallerLabel.size() + 1, end), end, read);
    last.text.assign(body.substr(0, end));
    const auto place = [&body](std::string_view id) {
      return id.empty() ? Place{} : Place{static_cast<std::size_t>(id.data() - body.data()), id.size()};
    };
    last.caller = place(read.callerId);
    last.called = place(read.calledId);
    last.connected = place(read.connectedId);
    last.origin = read.origin;
    last.reason = read.reason;
    last.originOrReason = read.originOrReason;
    last.ambiguous = read.identifiersAmbiguous;
  }
  if (!last.read) {
    return false;
  }
  line.callerId = body.substr(last.caller.at, last.caller.size);
  line.calledId = body.substr(last.called.at, last.called.size);
  line.connectedId = body.substr(last.connected.at, last.connected.size);
  line.origin = last.origin;
  line.reason = last.reason;
  line.originOrReason = last.originOrReason;
  line.identifiersAmbiguous = last.ambiguous;
  return true;
}

// The message name: "LINE_...", "PHONE_..." or the fallback "Unknown (      1B)",
// ended by ':' or ' '. The messages that make up most of a trace are
// compared whole first.
bool ReadMessageName(std::string_view text, DWORD& message, std::size_t& nameEnd) {
  static const DWORD kFrequent[] = {LINE_CALLSTATE, LINE_CALLINFO, LINE_APPNEWCALL, LINE_LINEDEVSTATE};
  static const std::string kFrequentNames[] = {LineMessageName(kFrequent[0]), LineMessageName(kFrequent[1]),
                                               LineMessageName(kFrequent[2]), LineMessageName(kFrequent[3])};
  for (std::size_t i = 0; i < std::size(kFrequent); ++i) {
    const std::string& name = kFrequentNames[i];
    if (text.size() > name.size() && (text[name.size()] == ':' || text[name.size()] == ' ') &&
        SameBytes(text.data(), name.data(), name.size())) {
      message = kFrequent[i];
      nameEnd = name.size();
      return true;
    }
  }
  if (StartsWith(text, "Unknown (")) {
    nameEnd = 18;
  } else if (StartsWith(text, "LINE_") || StartsWith(text, "PHONE_")) {
    // Not find_first_of: it calls memchr once for every character.
    nameEnd = 0;
    while (nameEnd < text.size() && text[nameEnd] != ':' && text[nameEnd] != ' ') {
      ++nameEnd;
    }
  } else {
    return false;
  }
  if (nameEnd > text.size()) {
    return false;
  }
  const auto value = LineMessageValue(text.substr(0, nameEnd));
  if (!value) {
    return false;
  }
  message = *value;
  return true;
}

// The detail a LINE_CALLSTATE or LINE_CALLINFO line shows for its raw
// parameters: the state's name and mode ("LINECALLSTATE_OFFERING; ACTIVE"),
// or the names of the information flags. A line is read by comparing its
// detail with this text, made once for each value and kept in a small cache.
const std::string& ExpectedDetail(DWORD message, std::uint32_t param1, std::uint32_t param2) {
  struct Entry {
    bool made = false;
    DWORD message = 0;
    std::uint32_t param1 = 0;
    std::uint32_t param2 = 0;
    std::string text;
  };
  constexpr unsigned kEntryBits = 6;
  constexpr std::size_t kEntries = std::size_t{1} << kEntryBits;
  thread_local Entry entries[kEntries];
  if (message != LINE_CALLSTATE) {
    param1 &= kNamedCallInfoStates;
    param2 = 0;
  }
  const std::uint32_t mixed = param1 * 0x9E3779B1u + param2 * 0x85EBCA77u + message * 0xC2B2AE3Du;
  // A value's text is looked for in a few slots from its own on; when all
  // of them hold others, its own slot is made anew.
  constexpr std::size_t kProbes = 4;
  const std::size_t home = (mixed * 0x9E3779B1u) >> (32 - kEntryBits);
  Entry* entry = &entries[home];
  for (std::size_t probe = 0; probe < kProbes; ++probe) {
    Entry& candidate = entries[(home + probe) % kEntries];
    if (!candidate.made ||
        (candidate.message == message && candidate.param1 == param1 && candidate.param2 == param2)) {
      entry = &candidate;
      break;
    }
  }
  if (!entry->made || entry->message != message || entry->param1 != param1 || entry->param2 != param2) {
    entry->made = true;
    entry->message = message;
    entry->param1 = param1;
    entry->param2 = param2;
    entry->text = message == LINE_CALLSTATE ? CallStateName(param1) + CallStateModeText(param1, param2)
                                            : CallInfoStatesText(param1);
  }
  return entry->text;
}

}  // namespace

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

bool ReadEventLine(std::string_view text, EventLineView& line) {
  std::size_t nameEnd = 0;
  if (!ReadMessageName(text, line.message, nameEnd)) {
    return false;
  }
  const std::string_view rest = text.substr(nameEnd);
  // The raw parameters end every event line; what stands before them is
  // checked against them and against the message's fixed order of fields.
  const std::size_t paramsAt = ReadParamsAtEnd(rest, line);
  if (paramsAt == std::string_view::npos) {
    return false;
  }
  if (!NamesCallHandle(line.message)) {
    return paramsAt == kParamsStart.size();
  }
  if (line.message == LINE_APPNEWCALL) {
    // "LINE_APPNEWCALL - hCall: 00010A2C - 0|10A2C|2": the handle is param2.
    constexpr std::size_t kHandleEnd = kHandleLabel.size() + kHandleDigits;
    if (paramsAt != kHandleEnd + kParamsStart.size() || !StartsWith(rest, kHandleLabel)) {
      return false;
    }
    const auto handle = ReadHandle(rest.substr(kHandleLabel.size(), kHandleDigits));
    if (!handle || line.param2 != *handle) {
      return false;
    }
    line.handle = *handle;
    return true;
  }

  // ": DETAIL - hCall: HHHHHHHH - CallerID: ...": the detail must be what the
  // raw parameters name (the state and its mode, or the information flags).
  const std::string& detail = ExpectedDetail(line.message, line.param1, line.param2);
  const std::size_t handleAt = kDetailStart.size() + detail.size();
  const std::size_t bodyAt = handleAt + kHandleLabel.size() + kHandleDigits;
  if (paramsAt < bodyAt + kCallerLabel.size() || !StartsWith(rest, kDetailStart) ||
      !SameBytes(rest.data() + kDetailStart.size(), detail.data(), detail.size()) ||
      !StartsWith(rest.substr(handleAt), kHandleLabel)) {
    return false;
  }
  const auto handle = ReadHandle(rest.substr(handleAt + kHandleLabel.size(), kHandleDigits));
  const std::string_view body = rest.substr(bodyAt);
  if (!handle || !StartsWith(body, kCallerLabel)) {
    return false;
  }
  line.handle = *handle;
  // The caller's label is the first piece; nothing may overlap it.
  const std::size_t bodyParamsAt = paramsAt - kParamsStart.size() - bodyAt;
  if (bodyParamsAt < kCallerLabel.size()) {
    return false;
  }
  return ReadCallInfoOnce(body, bodyParamsAt, line);
}

}  // namespace ordalyn
