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

std::size_t RFind(std::string_view text, std::string_view label) {
  if (text.size() < label.size()) {
    return std::string_view::npos;
  }
  for (std::size_t at = text.size() - label.size() + 1; at-- > 0;) {
    if (text[at + 1] == '-' && std::memcmp(text.data() + at, label.data(), label.size()) == 0) {
      return at;
    }
  }
  return std::string_view::npos;
}

// The raw parameters are written "%X"; a hand-edited trace may add zeros.
std::optional<std::uint32_t> ReadParam(std::string_view digits) { return ReadHex(digits, kHexLeadingZeros); }

// "p1|p2|p3" at the end of every event line.
bool ReadParams(std::string_view text, EventLineView& line) {
  const std::size_t first = text.find(kParamSeparator);
  const std::size_t second = first == std::string_view::npos ? first : text.find(kParamSeparator, first + 1);
  if (second == std::string_view::npos) {
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
bool ReadOriginReason(std::string_view text, EventLineView& line) {
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
  const auto origin = CallOriginValue(text);
  const auto reason = CallReasonValue(text);
  if (origin && reason) {
    line.originOrReason = *origin;
  } else if (origin) {
    line.origin = *origin;
  } else if (reason) {
    line.reason = *reason;
  }
  return origin || reason;
}

// "A - CalledID: B[ - ConnectedID: C][ - (ORIGIN, REASON)]" after the caller's label.
bool ReadCallInfo(std::string_view body, EventLineView& line) {
  if (!body.empty() && body.back() == kOriginReasonEnd.back()) {
    const std::size_t open = RFind(body, kOriginReasonStart);
    if (open != std::string_view::npos) {
      const std::size_t inner = open + kOriginReasonStart.size();
      if (ReadOriginReason(body.substr(inner, body.size() - inner - kOriginReasonEnd.size()), line)) {
        body = body.substr(0, open);
      }
    }
  }
  const std::size_t called = Find(body, kCalledLabel);
  if (called == std::string_view::npos) {
    return false;
  }
  const std::size_t calledText = called + kCalledLabel.size();
  const std::size_t connected = Find(body, kConnectedLabel, calledText);
  if (Find(body, kCalledLabel, calledText) != std::string_view::npos ||
      (connected != std::string_view::npos &&
       Find(body, kConnectedLabel, connected + kConnectedLabel.size()) != std::string_view::npos)) {
    line.identifiersAmbiguous = true;
    return true;
  }
  line.callerId = body.substr(0, called);
  if (connected == std::string_view::npos) {
    line.calledId = body.substr(calledText);
  } else {
    line.calledId = body.substr(calledText, connected - calledText);
    line.connectedId = body.substr(connected + kConnectedLabel.size());
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
    nameEnd = text.find_first_of(": ");
  } else {
    return std::nullopt;
  }
  if (nameEnd == std::string_view::npos || nameEnd > text.size()) {
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
  body.remove_prefix(kCallerLabel.size());
  const std::size_t paramsAt = RFind(body, kParamsStart);
  if (paramsAt == std::string_view::npos || !ReadParams(body.substr(paramsAt + kParamsStart.size()), line)) {
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
  if (!ReadCallInfo(body.substr(0, paramsAt), line)) {
    return std::nullopt;
  }
  return line;
}

}  // namespace ordalyn
