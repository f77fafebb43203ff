#include "report/callmodel.h"

#include <algorithm>

#include "report/digitpairs.h"
#include "util/utools.h"

namespace ordalyn::report {

namespace {

// The disconnect modes that tell of a call that could not be made.
constexpr DWORD kDisconnectFailures = LINEDISCONNECTMODE_BADADDRESS | LINEDISCONNECTMODE_UNREACHABLE |
                                      LINEDISCONNECTMODE_CONGESTION | LINEDISCONNECTMODE_INCOMPATIBLE |
                                      LINEDISCONNECTMODE_UNAVAIL | LINEDISCONNECTMODE_NODIALTONE;

}  // namespace

bool IsDialingState(DWORD state) {
  return state == LINECALLSTATE_DIALTONE || state == LINECALLSTATE_DIALING ||
         state == LINECALLSTATE_RINGBACK || state == LINECALLSTATE_PROCEEDING;
}

void IdentifierHistory::Add(std::string_view value) {
  joined_ += '\0';
  lastStart_ = static_cast<std::uint32_t>(joined_.size());
  joined_ += value;
}

std::vector<std::string_view> IdentifierHistory::Values() const {
  std::vector<std::string_view> values;
  std::string_view rest = joined_;
  while (!rest.empty()) {
    rest.remove_prefix(1);
    const std::size_t end = std::min(rest.find('\0'), rest.size());
    values.push_back(rest.substr(0, end));
    rest.remove_prefix(end);
  }
  return values;
}

std::vector<std::string_view> IdentifierHistory::Earlier() const {
  std::vector<std::string_view> values = Values();
  if (!values.empty()) {
    values.pop_back();
  }
  return values;
}

const char* OutcomeText(Outcome outcome) {
  switch (outcome) {
    case Outcome::kAnswered:
      return "answered";
    case Outcome::kMissed:
      return "missed";
    case Outcome::kOutgoing:
      return "outgoing";
    case Outcome::kBusy:
      return "busy";
    case Outcome::kFailed:
      return "failed";
    case Outcome::kUnknown:
      return "unknown";
    case Outcome::kStillOpen:
      break;
  }
  return "still open";
}

Outcome CallOutcome(const Call& call) {
  if (!call.ended) {
    return Outcome::kStillOpen;
  }
  bool connected = false;
  bool busy = false;
  bool failed = false;
  bool offered = false;
  // The origin counts only as the named value: an unnamed one is no flag.
  bool dialled = call.origin == LINECALLORIGIN_OUTBOUND;
  for (const StateChange& change : call.states) {
    switch (change.state) {
      case LINECALLSTATE_OFFERING:
        offered = true;
        break;
      case LINECALLSTATE_CONNECTED:
        connected = true;
        break;
      case LINECALLSTATE_BUSY:
        busy = true;
        break;
      case LINECALLSTATE_SPECIALINFO:
        failed = true;
        break;
      case LINECALLSTATE_DISCONNECTED:
        busy = busy || change.mode == LINEDISCONNECTMODE_BUSY;
        failed = failed || (change.mode & kDisconnectFailures) != 0;
        break;
      default:
        dialled = dialled || IsDialingState(change.state);
        break;
    }
  }
  if (!connected && busy) {
    return Outcome::kBusy;
  }
  if (!connected && failed) {
    return Outcome::kFailed;
  }
  if (dialled) {
    return Outcome::kOutgoing;
  }
  if (connected) {
    return Outcome::kAnswered;
  }
  return offered ? Outcome::kMissed : Outcome::kUnknown;
}

std::optional<TraceTime> Duration(const Call& call) {
  if (!call.ended) {
    return std::nullopt;
  }
  return call.lastElapsed - call.startElapsed;
}

std::optional<TraceTime> OfferingToConnected(const Call& call) {
  std::optional<TraceTime> offered;
  for (const StateChange& change : call.states) {
    if (change.state == LINECALLSTATE_OFFERING && !offered) {
      offered = change.elapsed;
    } else if (change.state == LINECALLSTATE_CONNECTED && offered) {
      return change.elapsed - *offered;
    }
  }
  return std::nullopt;
}

TraceTime TimeConnected(const Call& call) {
  TraceTime total = 0;
  for (std::size_t i = 0; i < call.states.size(); ++i) {
    if (call.states[i].state == LINECALLSTATE_CONNECTED) {
      const TraceTime until = i + 1 < call.states.size() ? call.states[i + 1].elapsed : call.lastElapsed;
      total += until - call.states[i].elapsed;
    }
  }
  return total;
}

std::optional<DWORD> FinalState(const Call& call) {
  if (call.states.empty()) {
    return std::nullopt;
  }
  return call.states.back().state;
}

std::string TimeText(TraceTime time) {
  std::string text;
  AppendTimeText(text, time);
  return text;
}

void AppendTimeText(std::string& text, TraceTime time) {
  char buffer[kClockTextBytes];
  text.append(buffer, WriteTimeText(buffer, time));
}

namespace {

// The number in at least `width` digits.
char* WriteNumber(char* at, std::uint64_t value, int width) {
  char digits[20];
  int count = 0;
  do {
    digits[count++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0 || count < width);
  while (count > 0) {
    *at++ = digits[--count];
  }
  return at;
}

char* WriteMillis(char* at, unsigned millis) {
  *at++ = static_cast<char>('0' + millis / 100);
  return WriteDigitPair(at, millis % 100);
}

}  // namespace

// Every field of the clock has its fixed width (hours below 24). The fields
// come from one division after another in 32 bits.
char* WriteTimeText(char* at, TraceTime time) {
  const auto since = static_cast<std::uint64_t>(time >= 0 ? time : 0);
  auto ms = static_cast<std::uint32_t>(since);
  if (since >= static_cast<std::uint64_t>(kMsPerDay)) {
    *at++ = '+';
    at = WriteNumber(at, since / kMsPerDay, 1);
    *at++ = 'd';
    *at++ = ' ';
    ms = static_cast<std::uint32_t>(since % kMsPerDay);
  }
  const std::uint32_t seconds = ms / 1000;
  const std::uint32_t minutes = seconds / 60;
  const std::uint32_t hours = minutes / 60;
  at = WriteDigitPair(at, hours);
  *at++ = ':';
  at = WriteDigitPair(at, minutes - hours * 60);
  *at++ = ':';
  at = WriteDigitPair(at, seconds - minutes * 60);
  *at++ = '.';
  return WriteMillis(at, ms - seconds * 1000);
}

std::string DurationText(TraceTime duration) {
  std::string text;
  AppendDurationText(text, duration);
  return text;
}

void AppendDurationText(std::string& text, TraceTime duration) {
  char buffer[kClockTextBytes];
  text.append(buffer, WriteDurationText(buffer, duration));
}

char* WriteDurationText(char* at, TraceTime duration) {
  if (duration < 0) {
    *at++ = '-';
  }
  // The magnitude without overflow, also of the most negative value.
  const std::uint64_t ms =
      duration < 0 ? 0 - static_cast<std::uint64_t>(duration) : static_cast<std::uint64_t>(duration);
  if (ms >= 3600000) {
    at = WriteNumber(at, ms / 3600000, 1);
    *at++ = ':';
    at = WriteDigitPair(at, static_cast<unsigned>(ms / 60000 % 60));
    *at++ = ':';
  } else if (ms >= 60000) {
    at = WriteNumber(at, ms / 60000, 1);
    *at++ = ':';
  }
  const auto seconds = static_cast<unsigned>(ms / 1000 % 60);
  if (ms >= 60000 || seconds >= 10) {
    at = WriteDigitPair(at, seconds);
  } else {
    *at++ = static_cast<char>('0' + seconds);
  }
  *at++ = '.';
  return WriteMillis(at, static_cast<unsigned>(ms % 1000));
}

}  // namespace ordalyn::report
