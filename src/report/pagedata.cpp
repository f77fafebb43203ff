#include "report/pagedata.h"

#include <charconv>
#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "report/reporttext.h"
#include "tapi/tapiutil.h"

namespace ordalyn::report {

namespace {

// Texts by first use, each once: a name repeated on ten thousand calls costs
// its index, not its letters.
class TextTable {
 public:
  explicit TextTable(bool withEmpty) {
    if (withEmpty) {
      Index(std::string());
    }
  }
  std::int64_t Index(const std::string& text) {
    const auto [at, added] = indices_.try_emplace(text, static_cast<std::int64_t>(texts_.size()));
    if (added) {
      texts_.push_back(text);
    }
    return at->second;
  }
  void Write(std::ostream& out, const char* name) const {
    out << ",\n\"" << name << "\":[";
    for (std::size_t i = 0; i < texts_.size(); ++i) {
      out << (i > 0 ? "," : "") << JsonString(texts_[i]);
    }
    out << ']';
  }

 private:
  std::unordered_map<std::string, std::int64_t> indices_;
  std::vector<std::string> texts_;
};

// A column of integers, written through one buffer rather than one stream
// insertion per number: a week's trace has millions of them.
void WriteColumn(std::ostream& out, const char* name, const std::vector<std::int64_t>& values) {
  out << ",\n\"" << name << "\":[";
  std::string buffer;
  buffer.reserve(1 << 16);
  char number[24];
  for (std::size_t i = 0; i < values.size(); ++i) {
    if (i > 0) {
      buffer += ',';
    }
    const auto result = std::to_chars(number, number + sizeof number, values[i]);
    buffer.append(number, result.ptr);
    if (buffer.size() > (1 << 16) - 32) {
      out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
      buffer.clear();
    }
  }
  out.write(buffer.data(), static_cast<std::streamsize>(buffer.size()));
  out << ']';
}

// "caller was 5550100 | 5550101; called was 200": the values an identifier
// had before its last one.
std::string EarlierText(const Call& call) {
  std::string text;
  const std::pair<const char*, const IdentifierHistory*> histories[] = {
      {"caller", &call.caller}, {"called", &call.called}, {"connected", &call.connected}};
  for (const auto& [name, history] : histories) {
    const std::string values = Earlier(*history);
    if (!values.empty()) {
      text += std::string(text.empty() ? "" : "; ") + name + " was " + values;
    }
  }
  return Utf8(text);
}

std::int64_t OutcomeIndex(Outcome outcome) {
  for (std::size_t i = 0; i < std::size(kOutcomes); ++i) {
    if (kOutcomes[i] == outcome) {
      return static_cast<std::int64_t>(i);
    }
  }
  return 0;
}

}  // namespace

void WritePageData(std::ostream& out, const Report& report, const Selection& selection) {
  const std::size_t count = selection.calls.size();
  TraceTime first = 0;
  TraceTime last = 0;
  for (std::size_t i = 0; i < count; ++i) {
    first = i == 0 ? selection.calls[i]->start : std::min(first, selection.calls[i]->start);
    last = std::max(last, selection.calls[i]->lastSeen);
  }

  TextTable texts(true);
  TextTable states(false);
  TextTable modes(true);
  enum Field {
    kHandle,
    kSession,
    kStart,
    kLen,
    kEnded,
    kOutcome,
    kCaller,
    kCalled,
    kConnected,
    kOrigin,
    kReason,
    kEarlier,
    kFinal,
    kStateCount,
    kFieldCount
  };
  static constexpr const char* kFieldNames[kFieldCount] = {
      "handle", "session",   "start",  "len",    "ended",   "outcome", "caller",
      "called", "connected", "origin", "reason", "earlier", "final",   "ns"};
  std::vector<std::int64_t> fields[kFieldCount];
  for (auto& field : fields) {
    field.reserve(count);
  }
  enum StateField { kTime, kState, kMode, kLine, kStateFieldCount };
  static constexpr const char* kStateFieldNames[kStateFieldCount] = {"st", "ss", "sm", "sl"};
  std::vector<std::int64_t> stateFields[kStateFieldCount];
  bool linesKept = false;

  TraceTime previousStart = first;
  std::int64_t previousLine = 0;
  for (const Call* call : selection.calls) {
    const auto finalState = FinalState(*call);
    const std::int64_t values[kFieldCount] = {
        call->handle,
        static_cast<std::int64_t>(call->session) + 1,
        call->start - previousStart,
        call->lastSeen - call->start,
        call->ended ? 1 : 0,
        OutcomeIndex(CallOutcome(*call)),
        texts.Index(Utf8(call->caller.Last())),
        texts.Index(Utf8(call->called.Last())),
        texts.Index(Utf8(call->connected.Last())),
        texts.Index(OriginText(*call)),
        texts.Index(ReasonText(*call)),
        texts.Index(EarlierText(*call)),
        finalState ? states.Index(ShortStateName(*finalState)) : -1,
        static_cast<std::int64_t>(call->states.size()),
    };
    for (int f = 0; f < kFieldCount; ++f) {
      fields[f].push_back(values[f]);
    }
    previousStart = call->start;
    for (const StateChange& change : call->states) {
      const std::string mode = CallStateModeText(change.state, change.mode);
      stateFields[kTime].push_back(change.time - call->start);
      stateFields[kState].push_back(states.Index(ShortStateName(change.state)));
      stateFields[kMode].push_back(modes.Index(mode.size() > 2 ? mode.substr(2) : std::string()));
      stateFields[kLine].push_back(static_cast<std::int64_t>(change.lineNumber) - previousLine);
      previousLine = change.lineNumber;
      linesKept = linesKept || change.lineText != 0;
    }
  }

  out << "{\"t0\":" << first << ",\"t1\":" << last << ",\n\"outcomes\":[";
  for (std::size_t i = 0; i < std::size(kOutcomes); ++i) {
    out << (i > 0 ? "," : "") << JsonString(OutcomeText(kOutcomes[i]));
  }
  out << ']';
  states.Write(out, "states");
  modes.Write(out, "modes");
  texts.Write(out, "text");
  for (int f = 0; f < kFieldCount; ++f) {
    WriteColumn(out, kFieldNames[f], fields[f]);
  }
  for (int f = 0; f < kStateFieldCount; ++f) {
    WriteColumn(out, kStateFieldNames[f], stateFields[f]);
  }
  if (linesKept) {
    out << ",\n\"lines\":[";
    bool firstLine = true;
    for (const Call* call : selection.calls) {
      for (const StateChange& change : call->states) {
        out << (firstLine ? "" : ",") << JsonString(Utf8(report.StateLine(change)));
        firstLine = false;
      }
    }
    out << ']';
  }
  out << "}";
}

}  // namespace ordalyn::report
