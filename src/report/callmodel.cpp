#include "report/callmodel.h"

#include <algorithm>

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
  const long long day = time >= 0 ? time / kMsPerDay : 0;
  const long long ms = time >= 0 ? time % kMsPerDay : 0;
  // "+Nd hh:mm:ss.zzz" composed in one small buffer and appended at once;
  // every field of the clock has its fixed width (hours below 24).
  char buffer[40];
  char* end = buffer + sizeof buffer;
  char* first = end;
  const auto two = [&first](unsigned value) {
    *--first = static_cast<char>('0' + value % 10);
    *--first = static_cast<char>('0' + value / 10);
  };
  const auto millis = static_cast<unsigned>(ms % 1000);
  const auto seconds = static_cast<unsigned>(ms / 1000);
  *--first = static_cast<char>('0' + millis % 10);
  *--first = static_cast<char>('0' + millis / 10 % 10);
  *--first = static_cast<char>('0' + millis / 100);
  *--first = '.';
  two(seconds % 60);
  *--first = ':';
  two(seconds / 60 % 60);
  *--first = ':';
  two(seconds / 3600);
  if (day > 0 && day <= 999999999) {
    *--first = ' ';
    *--first = 'd';
    auto count = static_cast<unsigned>(day);
    do {
      *--first = static_cast<char>('0' + count % 10);
      count /= 10;
    } while (count != 0);
    *--first = '+';
  } else if (day > 0) {
    text += '+';
    AppendDecimal(text, static_cast<int>(day), 1);
    text += "d ";
  }
  text.append(first, end);
}

std::string DurationText(TraceTime duration) {
  std::string text;
  AppendDurationText(text, duration);
  return text;
}

void AppendDurationText(std::string& text, TraceTime duration) {
  if (duration < 0) {
    text += '-';
  }
  const long long ms = duration < 0 ? -duration : duration;
  if (ms >= 3600000) {
    AppendDecimal(text, static_cast<int>(ms / 3600000), 1);
    text += ':';
    AppendDecimal(text, static_cast<int>(ms / 60000 % 60), 2);
    text += ':';
  } else if (ms >= 60000) {
    AppendDecimal(text, static_cast<int>(ms / 60000), 1);
    text += ':';
  }
  AppendDecimal(text, static_cast<int>(ms / 1000 % 60), ms >= 60000 ? 2 : 1);
  text += '.';
  AppendDecimal(text, static_cast<int>(ms % 1000), 3);
}

}  // namespace ordalyn::report
