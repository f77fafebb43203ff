#include "report/tracereader.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "tapi/tapiutil.h"
#include "util/utools.h"

namespace ordalyn::report {

namespace {

constexpr DWORD kLineCallInfo = 1;
constexpr DWORD kLineCallState = 2;
constexpr DWORD kLineAppNewCall = 23;
// LINECALLINFOSTATE has names for bits 0 to 27 only.
constexpr DWORD kNamedCallInfoStates = 0x0FFFFFFF;
constexpr std::int64_t kMsPerHour = 3600000;
// An error text from TAPI's message table may bring line breaks; its closing
// parenthesis then stands on a later line.
constexpr int kMaxErrorTextLines = 8;

constexpr std::string_view kHeaderStart = "Ordalyn - ";
constexpr std::string_view kLogonStart = "TAPI - Logon (Version: ";
constexpr std::string_view kLogoff = "TAPI - Logoff";
constexpr std::string_view kHandleLabel = " - hCall: ";
constexpr std::string_view kCallerLabel = " - CallerID: ";
constexpr std::string_view kCalledLabel = " - CalledID: ";
constexpr std::string_view kConnectedLabel = " - ConnectedID: ";
constexpr std::string_view kDash = " - ";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && std::memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Finding the labels, which all begin " -": the dash is looked for first, as
// it is rare in a line, and the whole label only where it stands.
std::size_t Find(std::string_view text, std::string_view label) {
  std::size_t from = 1;
  while (from < text.size()) {
    const void* dash = std::memchr(text.data() + from, '-', text.size() - from);
    if (dash == nullptr) {
      break;
    }
    const auto at = static_cast<std::size_t>(static_cast<const char*>(dash) - text.data()) - 1;
    if (text.size() - at >= label.size() && std::memcmp(text.data() + at, label.data(), label.size()) == 0) {
      return at;
    }
    from = at + 2;
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

bool IsAll(std::string_view text, char c, std::size_t count) {
  return text.size() == count && text.find_first_not_of(c) == std::string_view::npos;
}

int Digit(char c) { return c - '0'; }

// "hh?nn?ss?zzz | " with one separator character, the same three times: the
// time of day in milliseconds, or none.
std::optional<std::int64_t> ReadStamp(std::string_view line) {
  if (line.size() < 15 || line[12] != ' ' || line[13] != '|' || line[14] != ' ') {
    return std::nullopt;
  }
  const char separator = line[2];
  if (IsDigit(separator) || line[5] != separator || line[8] != separator) {
    return std::nullopt;
  }
  for (const int i : {0, 1, 3, 4, 6, 7, 9, 10, 11}) {
    if (!IsDigit(line[static_cast<std::size_t>(i)])) {
      return std::nullopt;
    }
  }
  const int hour = Digit(line[0]) * 10 + Digit(line[1]);
  const int minute = Digit(line[3]) * 10 + Digit(line[4]);
  const int second = Digit(line[6]) * 10 + Digit(line[7]);
  const int milli = Digit(line[9]) * 100 + Digit(line[10]) * 10 + Digit(line[11]);
  if (hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }
  return ((hour * 60 + minute) * 60 + second) * std::int64_t{1000} + milli;
}

// Upper-case hexadecimal as "%X" writes it, at most eight digits.
std::optional<DWORD> ReadHex(std::string_view digits) {
  if (digits.empty() || digits.size() > 8) {
    return std::nullopt;
  }
  DWORD value = 0;
  for (const char c : digits) {
    if (IsDigit(c)) {
      value = value * 16 + static_cast<DWORD>(Digit(c));
    } else if (c >= 'A' && c <= 'F') {
      value = value * 16 + static_cast<DWORD>(c - 'A' + 10);
    } else {
      return std::nullopt;
    }
  }
  return value;
}

struct RawParams {
  DWORD p1 = 0, p2 = 0, p3 = 0;
};

// "p1|p2|p3" at the end of every event line.
std::optional<RawParams> ReadParams(std::string_view text) {
  const std::size_t first = text.find('|');
  const std::size_t second = first == std::string_view::npos ? first : text.find('|', first + 1);
  if (second == std::string_view::npos) {
    return std::nullopt;
  }
  const auto p1 = ReadHex(text.substr(0, first));
  const auto p2 = ReadHex(text.substr(first + 1, second - first - 1));
  const auto p3 = ReadHex(text.substr(second + 1));
  if (!p1 || !p2 || !p3) {
    return std::nullopt;
  }
  return RawParams{*p1, *p2, *p3};
}

// The call handle: eight upper-case hexadecimal digits ("%.8X").
std::optional<DWORD> ReadHandle(std::string_view text) {
  return text.size() == 8 ? ReadHex(text) : std::nullopt;
}

// "ORIGIN", "REASON" or "ORIGIN, REASON" as the trace names them. The trace
// writes the origin first and each only when it is not 0; a lone name that
// both tables could read (a fallback) is taken as the origin.
bool ReadOriginReason(std::string_view text, DWORD& origin, DWORD& reason) {
  const std::size_t comma = text.find(", ");
  if (comma != std::string_view::npos) {
    const auto o = CallOriginValue(text.substr(0, comma));
    const auto r = CallReasonValue(text.substr(comma + 2));
    if (!o || !r) {
      return false;
    }
    origin = *o;
    reason = *r;
    return true;
  }
  if (const auto o = CallOriginValue(text)) {
    origin = *o;
    return true;
  }
  if (const auto r = CallReasonValue(text)) {
    reason = *r;
    return true;
  }
  return false;
}

}  // namespace

void TraceReader::Feed(std::string_view bytes) {
  while (!bytes.empty()) {
    const void* found = std::memchr(bytes.data(), '\n', bytes.size());
    if (found == nullptr) {
      pending_.append(bytes);
      return;
    }
    const auto length = static_cast<std::size_t>(static_cast<const char*>(found) - bytes.data());
    if (pending_.empty()) {
      ReadLine(bytes.substr(0, length), false);
    } else {
      pending_.append(bytes.substr(0, length));
      ReadLine(pending_, false);
      pending_.clear();
    }
    bytes.remove_prefix(length + 1);
  }
}

void TraceReader::EndInput() {
  if (!pending_.empty()) {
    const std::uint64_t skippedBefore = report_.skipped;
    ReadLine(pending_, true);
    if (report_.skipped != skippedBefore) {
      report_.lastLineCut = true;
    }
    pending_.clear();
  }
  lineNumber_ = 0;
  headerLinesLeft_ = 0;
  errorTextLinesLeft_ = 0;
}

Report TraceReader::Finish() {
  openCalls_.clear();
  return std::move(report_);
}

TraceTime TraceReader::Absolute(std::int64_t timeOfDay) {
  if (lastTimeOfDay_ >= 0 && timeOfDay < lastTimeOfDay_ - kMsPerHour) {
    ++day_;
  }
  lastTimeOfDay_ = timeOfDay;
  return day_ * kMsPerDay + timeOfDay;
}

void TraceReader::ReadLine(std::string_view line, bool cut) {
  ++report_.lines;
  ++lineNumber_;
  if (!line.empty() && line.back() == '\r') {
    line.remove_suffix(1);
  }
  currentLine_ = line;
  const std::optional<std::int64_t> timeOfDay = ReadStamp(line);
  if (!timeOfDay) {
    if (IsAll(line, '-', 92)) {
      headerLinesLeft_ = 0;
      errorTextLinesLeft_ = 0;
      return;
    }
    if (StartsWith(line, kHeaderStart)) {
      StartSession();
      headerLinesLeft_ = 3;
      errorTextLinesLeft_ = 0;
      return;
    }
    if (headerLinesLeft_ > 0) {
      // The copyright line holds any text; the rule and the empty line follow.
      const bool fits = headerLinesLeft_ == 3 || (headerLinesLeft_ == 2 && IsAll(line, '=', 48)) ||
                        (headerLinesLeft_ == 1 && line.empty());
      --headerLinesLeft_;
      if (fits) {
        return;
      }
      headerLinesLeft_ = 0;
    }
    if (errorTextLinesLeft_ > 0 && !cut) {
      // The rest of an error text: it belongs to the last result line.
      --errorTextLinesLeft_;
      std::string& result = report_.sessions.back().results.back().result;
      result += (line.empty() || line.front() == ')') ? "" : " ";
      result += line;
      if (!line.empty() && line.back() == ')') {
        errorTextLinesLeft_ = 0;
      }
      return;
    }
    ++report_.skipped;
    return;
  }
  headerLinesLeft_ = 0;
  errorTextLinesLeft_ = 0;
  const TraceTime time = Absolute(*timeOfDay);
  if (!ReadText(line.substr(15), time)) {
    ++report_.skipped;
  }
}

Session& TraceReader::CurrentSession() {
  if (!haveSession_) {
    StartSession();
  }
  return report_.sessions.back();
}

void TraceReader::StartSession() {
  EndSession();
  report_.sessions.emplace_back();
  haveSession_ = true;
  sessionTimed_ = false;
}

// Logoff or a new session: TAPI's shutdown ends every call handle, so a call
// still open now stays open in the report, and its handle begins a new call.
void TraceReader::EndSession() { openCalls_.clear(); }

Call& TraceReader::BeginCall(DWORD handle, TraceTime time) {
  Call call;
  call.handle = handle;
  call.session = report_.sessions.size() - 1;
  call.start = time;
  call.lastSeen = time;
  call.states.reserve(6);  // the usual life of a call, without growing
  report_.calls.push_back(std::move(call));
  if (std::size_t* open = OpenCall(handle)) {
    *open = report_.calls.size() - 1;
  } else {
    openCalls_.emplace_back(handle, report_.calls.size() - 1);
  }
  return report_.calls.back();
}

std::size_t* TraceReader::OpenCall(DWORD handle) {
  for (auto& [openHandle, index] : openCalls_) {
    if (openHandle == handle) {
      return &index;
    }
  }
  return nullptr;
}

void TraceReader::CloseCall(DWORD handle) {
  for (std::size_t i = 0; i < openCalls_.size(); ++i) {
    if (openCalls_[i].first == handle) {
      openCalls_.erase(openCalls_.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
  }
}

bool TraceReader::ReadText(std::string_view text, TraceTime time) {
  const auto touch = [this, time](Session& session) {
    if (!sessionTimed_) {
      session.start = time;
      sessionTimed_ = true;
    }
    session.end = time;
  };

  // Event lines begin with the message name: "LINE_...", "PHONE_..." or the
  // fallback "Unknown (      1B)".
  if (StartsWith(text, "LINE_") || StartsWith(text, "PHONE_") || StartsWith(text, "Unknown (")) {
    std::size_t nameEnd = 0;
    if (text[0] == 'U') {
      nameEnd = 18;
    } else {
      nameEnd = text.find_first_of(": ");
    }
    if (nameEnd == std::string_view::npos || nameEnd > text.size()) {
      return false;
    }
    const auto message = LineMessageValue(text.substr(0, nameEnd));
    if (!message) {
      return false;
    }
    if (!haveSession_ || report_.sessions.back().loggedOff) {
      StartSession();  // the trace begins in the middle of a session
    }
    if (!ReadCallLine(*message, text.substr(nameEnd), time)) {
      return false;
    }
    touch(report_.sessions.back());
    return true;
  }

  if (StartsWith(text, kLogonStart)) {
    if (!ReadLogon(text)) {
      return false;
    }
    touch(report_.sessions.back());
    return true;
  }
  if (text == kLogoff) {
    Session& session = CurrentSession();
    session.loggedOff = true;
    touch(session);
    EndSession();
    return true;
  }
  const std::size_t colon = text.find(": ");
  if (colon == std::string_view::npos) {
    return false;
  }
  const std::string_view step = text.substr(0, colon);
  if (step != "Initialise" && step != "LineOpen" && step != "LineShutDown") {
    return false;
  }
  if (step == "Initialise") {
    const bool fresh = haveSession_ && !report_.sessions.back().loggedOn &&
                       !report_.sessions.back().loggedOff && report_.sessions.back().results.empty();
    if (!fresh) {
      StartSession();
    }
  }
  if (!ReadResult(step, text.substr(colon + 2), time)) {
    return false;
  }
  touch(report_.sessions.back());
  return true;
}

bool TraceReader::ReadResult(std::string_view step, std::string_view result, TraceTime time) {
  ResultLine line;
  line.time = time;
  line.step = std::string(step);
  if (result == "OK") {
    line.result = "OK";
  } else if (StartsWith(result, "Error: ")) {
    // "Error: 2147483720(text)": the number in decimal, the text in
    // parentheses right after it.
    const std::string_view error = result.substr(7);
    const std::size_t open = error.find('(');
    if (open == 0 || open == std::string_view::npos ||
        error.substr(0, open).find_first_not_of("0123456789") != std::string_view::npos) {
      return false;
    }
    if (std::count(error.begin(), error.end(), '(') > std::count(error.begin(), error.end(), ')')) {
      errorTextLinesLeft_ = kMaxErrorTextLines;
    }
    line.result = std::string(error);
    line.error = true;
  } else {
    return false;
  }
  CurrentSession().results.push_back(std::move(line));
  return true;
}

// "TAPI - Logon (Version: 2.2) - Office Extension 214 (TAPI-Line: 3)"; the
// line name may hold anything, so the line device is read from the end.
bool TraceReader::ReadLogon(std::string_view text) {
  constexpr std::string_view kDevice = " (TAPI-Line: ";
  const std::size_t device = text.rfind(kDevice);
  if (device == std::string_view::npos || text.back() != ')') {
    return false;
  }
  const auto line =
      ReadInteger(text.substr(device + kDevice.size(), text.size() - device - kDevice.size() - 1));
  const std::string_view head = text.substr(0, device);
  const std::size_t versionEnd = head.find(") - ", kLogonStart.size());
  if (!line || versionEnd == std::string_view::npos) {
    return false;
  }
  if (!haveSession_ || report_.sessions.back().loggedOn || report_.sessions.back().loggedOff) {
    StartSession();
  }
  Session& session = report_.sessions.back();
  session.loggedOn = true;
  session.line = *line;
  session.tapiVersion = std::string(head.substr(kLogonStart.size(), versionEnd - kLogonStart.size()));
  session.lineName = std::string(head.substr(versionEnd + 4));
  return true;
}

bool TraceReader::ReadCallLine(DWORD message, std::string_view rest, TraceTime time) {
  if (message != kLineCallState && message != kLineCallInfo && message != kLineAppNewCall) {
    // "NAME - p1|p2|p3"
    return StartsWith(rest, kDash) && ReadParams(rest.substr(kDash.size()));
  }
  if (message == kLineAppNewCall) {
    // "LINE_APPNEWCALL - hCall: 00010A2C - 0|10A2C|2": the handle is param2.
    if (!StartsWith(rest, kHandleLabel) || rest.size() < kHandleLabel.size() + 8) {
      return false;
    }
    const auto handle = ReadHandle(rest.substr(kHandleLabel.size(), 8));
    const std::string_view tail = rest.substr(kHandleLabel.size() + 8);
    const auto params = StartsWith(tail, kDash) ? ReadParams(tail.substr(kDash.size())) : std::nullopt;
    if (!handle || !params || params->p2 != *handle) {
      return false;
    }
    BeginCall(*handle, time);
    return true;
  }

  // "LINE_CALLSTATE: STATE; MODE - hCall: H - CallerID: A - CalledID: B
  // [ - ConnectedID: C][ - (ORIGIN, REASON)] - p1|p2|p3"
  if (!StartsWith(rest, ": ")) {
    return false;
  }
  const std::size_t handleAt = Find(rest, kHandleLabel);
  if (handleAt == std::string_view::npos || rest.size() < handleAt + kHandleLabel.size() + 8) {
    return false;
  }
  const std::string_view detail = rest.substr(2, handleAt - 2);
  const auto handle = ReadHandle(rest.substr(handleAt + kHandleLabel.size(), 8));
  std::string_view body = rest.substr(handleAt + kHandleLabel.size() + 8);
  if (!handle || !StartsWith(body, kCallerLabel)) {
    return false;
  }
  body.remove_prefix(kCallerLabel.size());
  const std::size_t paramsAt = RFind(body, kDash);
  if (paramsAt == std::string_view::npos) {
    return false;
  }
  const auto params = ReadParams(body.substr(paramsAt + kDash.size()));
  if (!params) {
    return false;
  }
  body = body.substr(0, paramsAt);

  // The names must say what the raw parameters say.
  DWORD state = 0;
  DWORD mode = 0;
  if (message == kLineCallState) {
    const std::size_t semicolon = detail.find("; ");
    const auto stateValue = CallStateValue(detail.substr(0, semicolon));
    if (!stateValue) {
      return false;
    }
    const auto modeValue = CallStateModeValue(
        *stateValue, semicolon == std::string_view::npos ? std::string_view() : detail.substr(semicolon));
    if (!modeValue || *stateValue != params->p1 || *modeValue != params->p2) {
      return false;
    }
    state = *stateValue;
    mode = *modeValue;
  } else {
    const auto flags = CallInfoStatesValue(detail);
    if (!flags || *flags != (params->p1 & kNamedCallInfoStates)) {
      return false;
    }
  }

  DWORD origin = 0;
  DWORD reason = 0;
  if (!body.empty() && body.back() == ')') {
    const std::size_t open = RFind(body, " - (");
    if (open != std::string_view::npos &&
        ReadOriginReason(body.substr(open + 4, body.size() - open - 5), origin, reason)) {
      body = body.substr(0, open);
    }
  }
  std::string_view connected;
  if (const std::size_t at = RFind(body, kConnectedLabel); at != std::string_view::npos) {
    connected = body.substr(at + kConnectedLabel.size());
    body = body.substr(0, at);
  }
  const std::size_t calledAt = RFind(body, kCalledLabel);
  if (calledAt == std::string_view::npos) {
    return false;
  }
  const std::string_view called = body.substr(calledAt + kCalledLabel.size());
  const std::string_view caller = body.substr(0, calledAt);

  std::size_t* open = OpenCall(*handle);
  Call& call = open != nullptr ? report_.calls[*open] : BeginCall(*handle, time);
  call.lastSeen = time;
  call.caller.Note(caller);
  call.called.Note(called);
  call.connected.Note(connected);
  if (origin != 0) {
    call.origin = origin;
  }
  if (reason != 0) {
    call.reason = reason;
  }
  if (message == kLineCallState) {
    StateChange change;
    change.time = time;
    change.state = state;
    change.mode = mode;
    change.lineNumber = static_cast<std::uint32_t>(std::min<std::uint64_t>(lineNumber_, UINT32_MAX));
    if (keepLines_) {
      report_.stateLines.emplace_back(currentLine_);
      change.lineText = static_cast<std::uint32_t>(report_.stateLines.size());
    }
    call.states.push_back(std::move(change));
    if (state == kStateIdle) {
      call.ended = true;
      CloseCall(*handle);
    }
  }
  return true;
}

}  // namespace ordalyn::report
