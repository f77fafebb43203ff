#include "report/reportwriters.h"

#include "report/reporttext.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>

#include "report/digitpairs.h"
#include "tapi/tapiutil.h"
#include "util/cp1252map.h"
#include "util/utools.h"

namespace ordalyn::report {

using namespace std::string_view_literals;

namespace {

// Whether the texts being written are UTF-8 already: set by each writer for
// the time it writes.
thread_local bool g_utf8Input = false;

}  // namespace

InputTexts::InputTexts(bool utf8) : before_(g_utf8Input) { g_utf8Input = utf8; }
InputTexts::~InputTexts() { g_utf8Input = before_; }

std::string HandleText(DWORD handle) {
  std::string text;
  AppendHexUpper(text, handle, 8);
  return text;
}

std::string ShortStateName(DWORD state) {
  std::string name = CallStateName(state);
  constexpr std::string_view kPrefix = "LINECALLSTATE_";
  if (name.compare(0, kPrefix.size(), kPrefix) == 0) {
    name.erase(0, kPrefix.size());
  }
  return name;
}

std::string FinalStateText(const Call& call, bool full) {
  const auto state = FinalState(call);
  if (!state) {
    return "";
  }
  return full ? CallStateName(*state) : ShortStateName(*state);
}

std::string OriginText(const Call& call) { return call.origin != 0 ? CallOriginName(call.origin) : ""; }
std::string ReasonText(const Call& call) { return call.reason != 0 ? CallReasonName(call.reason) : ""; }
std::string OriginOrReasonText(const Call& call) {
  return call.originOrReason != 0 ? CallOriginName(call.originOrReason) : "";
}

std::string Utf8(std::string_view text) { return g_utf8Input ? std::string(text) : Cp1252ToUtf8(text); }

namespace {

// UTF-8 text for a terminal: control characters (C0, DEL and C1) become
// "\x1b" and the like, so that none of them reaches the terminal raw.
std::string Visible(std::string utf8) {
  std::size_t at = 0;
  while (at < utf8.size()) {
    const auto byte = static_cast<unsigned char>(utf8[at]);
    unsigned code = 0;
    std::size_t length = 0;
    if (byte < 0x20 || byte == 0x7F) {
      code = byte;
      length = 1;
    } else if (byte == 0xC2 && at + 1 < utf8.size() && static_cast<unsigned char>(utf8[at + 1]) < 0xA0) {
      code = static_cast<unsigned char>(utf8[at + 1]);
      length = 2;
    } else {
      ++at;
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", code);
    utf8.replace(at, length, escaped);
    at += 4;
  }
  return utf8;
}

}  // namespace

std::string Earlier(const IdentifierHistory& history) {
  std::string text;
  for (const std::string_view value : history.Earlier()) {
    if (!text.empty()) {
      text += " | ";
    }
    text += value;
  }
  return text;
}

namespace {

std::string OptionalMs(const std::optional<TraceTime>& value) {
  return value ? std::to_string(*value) : std::string();
}

// Characters, not bytes, of UTF-8 text: for the table's columns.
std::size_t Width(std::string_view utf8) {
  std::size_t width = 0;
  for (const char c : utf8) {
    width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  }
  return width;
}

// A telephone number after a leading "+" or "-": digits, blanks and "()-./",
// at least one digit.
bool IsTelephoneNumber(std::string_view text) {
  bool digit = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (std::string_view(" ()-./").find(c) == std::string_view::npos) {
      return false;
    }
  }
  return digit;
}

}  // namespace

namespace {

// The bytes a JSON string escapes: control characters, '"', '\\' and '<'.
constexpr auto kJsonEscaped = [] {
  std::array<bool, 256> escaped{};
  for (std::size_t byte = 0; byte < 0x20; ++byte) escaped[byte] = true;
  escaped['"'] = escaped['\\'] = escaped['<'] = true;
  return escaped;
}();

}  // namespace

void AppendJsonString(std::string& out, std::string_view utf8) {
  out += '"';
  std::size_t plain = 0;  // the bytes from here on need no escape so far
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    const auto byte = static_cast<unsigned char>(c);
    if (!kJsonEscaped[byte]) {
      continue;
    }
    out.append(utf8.data() + plain, i - plain);
    plain = i + 1;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", byte);
      out += buffer;
    }
  }
  out.append(utf8.data() + plain, utf8.size() - plain);
  out += '"';
}

std::string JsonString(std::string_view utf8) {
  std::string out;
  AppendJsonString(out, utf8);
  return out;
}

std::string HtmlText(std::string_view utf8) {
  std::string out;
  for (const char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string SessionText(const Session& session) {
  std::string text = TimeText(session.start) + " - " + TimeText(session.end) + "  ";
  if (session.loggedOn) {
    text += "line " + std::to_string(session.line) + " \"" + Utf8(session.lineName) + "\", TAPI " +
            Utf8(session.tapiVersion);
  } else {
    text += "no logon line";
  }
  for (const ResultLine& result : session.results) {
    text += "; " + result.step + " " + (result.error ? "error" : result.result);
  }
  if (!session.loggedOff) {
    text += "; no logoff";
  }
  if (session.linesWithoutCall > 0) {
    text += "; " + std::to_string(session.linesWithoutCall) + " lines without a call";
  }
  return text;
}

namespace {

// Code page 1252 bytes that the table shows as they are, one character each:
// no control character, none of the five the code page leaves undefined.
constexpr auto kPlainCp1252 = [] {
  std::array<bool, 256> plain{};
  for (std::size_t byte = 0x20; byte < 0x100; ++byte) {
    plain[byte] =
        byte != 0x7F && byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D;
  }
  return plain;
}();

bool PlainCp1252(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return kPlainCp1252[static_cast<unsigned char>(c)]; });
}

// How many decimal digits a number has: from its bit width, corrected by one
// comparison (an odd number has as many digits as the even one before it).
std::size_t DecimalDigits(std::uint64_t value) {
  static constexpr auto kPowers = [] {
    std::array<std::uint64_t, 20> powers{};
    std::uint64_t power = 1;
    for (std::uint64_t& entry : powers) {
      entry = power;
      power *= 10;
    }
    return powers;
  }();
  const std::uint64_t odd = value | 1;
  const auto estimate = static_cast<std::size_t>((std::bit_width(odd) * 1233) >> 12);
  return estimate + 1 - (odd < kPowers[estimate] ? 1 : 0);
}

// Beyond these the widths are measured on the composed text.
constexpr long long kMaxCountedDays = 1000000;
constexpr long long kMaxCountedHours = 1000000;

// The width of AppendTimeText's "+Nd hh:mm:ss.zzz" without composing it; 0
// for a time too far out to count.
std::size_t TimeTextWidth(TraceTime time) {
  const long long day = time >= 0 ? time / kMsPerDay : 0;
  if (day >= kMaxCountedDays) {
    return 0;
  }
  return 12 + (day > 0 ? 3 + DecimalDigits(day) : 0);
}

// The width of AppendDurationText's "h:mm:ss.zzz", "m:ss.zzz" or "s.zzz";
// 0 for a duration too long to count.
std::size_t DurationTextWidth(TraceTime duration) {
  const long long ms = duration < 0 ? -duration : duration;
  const std::size_t sign = duration < 0 ? 1 : 0;
  if (ms / 3600000 >= kMaxCountedHours || ms < 0) {
    return 0;
  }
  if (ms >= 3600000) {
    return sign + DecimalDigits(ms / 3600000) + 10;
  }
  if (ms >= 60000) {
    return sign + DecimalDigits(ms / 60000) + 7;
  }
  return sign + DecimalDigits(ms / 1000) + 4;
}

bool Ascii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return (c & 0x80) == 0; });
}

// Whether the text is ASCII that a JSON string holds as it is (no control
// character, '"', '\\' or '<'): eight bytes at a time.
bool PlainJsonAscii(std::string_view text) {
  constexpr std::uint64_t kOnes = 0x0101010101010101ull;
  constexpr std::uint64_t kHighs = 0x8080808080808080ull;
  // Bytes below 0x20, and bytes equal to c: their high bit set in the result.
  const auto below = [](std::uint64_t word, std::uint64_t n) { return (word - n * kOnes) & ~word & kHighs; };
  const auto equal = [&below](std::uint64_t word, char c) {
    return below(word ^ (static_cast<std::uint64_t>(static_cast<unsigned char>(c)) * kOnes), 1);
  };
  std::size_t at = 0;
  for (; at + 8 <= text.size(); at += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + at, 8);
    if (((word & kHighs) | below(word, 0x20) | equal(word, '"') | equal(word, '\\') | equal(word, '<')) !=
        0) {
      return false;
    }
  }
  for (; at < text.size(); ++at) {
    const auto byte = static_cast<unsigned char>(text[at]);
    if (byte >= 0x80 || kJsonEscaped[byte]) {
      return false;
    }
  }
  return true;
}

// A literal piece at `at`; returns its end.
template <std::size_t N>
char* Put(char* at, const char (&text)[N]) {
  std::memcpy(at, text, N - 1);
  return at + N - 1;
}

// The digits of a number, two at a time from the back, ending at `end`.
template <typename Unsigned>
void PutDigitsBefore(char* end, Unsigned magnitude) {
  while (magnitude >= 100) {
    end -= 2;
    std::memcpy(end, &kDigitPairs[2 * (magnitude % 100)], 2);
    magnitude /= 100;
  }
  if (magnitude >= 10) {
    std::memcpy(end - 2, &kDigitPairs[2 * magnitude], 2);
  } else {
    end[-1] = static_cast<char>('0' + magnitude);
  }
}

// A whole number as JSON writes it at `at` (at most 20 bytes); returns its
// end. Numbers of 32 bits take 32-bit divisions.
constexpr std::size_t kDecimalRoom = 20;
char* PutDecimal(char* at, std::int64_t value) {
  const std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  if (value < 0) {
    *at++ = '-';
  }
  char* const end = at + DecimalDigits(magnitude);
  if (magnitude <= UINT32_MAX) {
    PutDigitsBefore(end, static_cast<std::uint32_t>(magnitude));
  } else {
    PutDigitsBefore(end, magnitude);
  }
  return end;
}

// Composes text (a call's JSON, the table's rows) through a pointer into a
// buffer that is made large enough before each piece, instead of appending
// to a string piece by piece. The buffer is a string kept between uses; only
// its first Used() bytes are the text.
class TextCursor {
 public:
  explicit TextCursor(std::string& buffer) : buffer_(buffer) {
    if (buffer_.size() < kInitialBytes) {
      buffer_.resize(kInitialBytes);
    }
    at_ = buffer_.data();
    end_ = at_ + buffer_.size();
  }

  // Room for count more bytes.
  void Need(std::size_t count) {
    if (static_cast<std::size_t>(end_ - at_) < count) {
      const std::size_t used = Used();
      buffer_.resize(std::max(2 * buffer_.size(), used + count));
      at_ = buffer_.data() + used;
      end_ = buffer_.data() + buffer_.size();
    }
  }
  // Room for count more bytes and where they go: the caller writes them
  // through a pointer of its own, which spares the cursor's reload after
  // every byte, and hands back where it stopped.
  char* Reserve(std::size_t count) {
    Need(count);
    return at_;
  }
  void Commit(char* end) { at_ = end; }
  std::size_t Used() const { return static_cast<std::size_t>(at_ - buffer_.data()); }
  const char* Data() const { return buffer_.data(); }
  // Starts again at the buffer's beginning.
  void Restart() { at_ = buffer_.data(); }
  void Fill(char c, std::size_t count) {
    Need(count);
    std::memset(at_, c, count);
    at_ += count;
  }

  // A literal piece; the room is the caller's to make (it is one of the fixed
  // pieces that kFixedBytes counts).
  template <std::size_t N>
  void Literal(const char (&text)[N]) {
    at_ = Put(at_, text);
  }
  void Char(char c) { *at_++ = c; }
  void Text(std::string_view text) {
    Need(text.size());
    std::memcpy(at_, text.data(), text.size());
    at_ += text.size();
  }

  // Whole numbers as JSON writes them.
  void Number(std::int64_t value) {
    Need(1 + kDecimalRoom);
    at_ = PutDecimal(at_, value);
  }
  void OptionalNumber(const std::optional<TraceTime>& value) {
    if (value) {
      Number(*value);
    } else {
      Need(4);
      Literal("null");
    }
  }

  // AppendTimeText's "+Nd hh:mm:ss.zzz", written in place.
  void Time(TraceTime time) {
    Need(kClockTextBytes);
    at_ = WriteTimeText(at_, time);
  }

  // A text of the trace as a JSON string: ASCII and UTF-8 input need no
  // conversion; bytes that need no escape are copied in runs.
  void TraceText(std::string_view raw) {
    if (PlainJsonAscii(raw)) {
      Need(raw.size() + 2);
      Char('"');
      std::memcpy(at_, raw.data(), raw.size());
      at_ += raw.size();
      Char('"');
      return;
    }
    std::string converted;
    if (!g_utf8Input && !Ascii(raw)) {
      converted = Cp1252ToUtf8(raw);
      raw = converted;
    }
    // At most six bytes ("\u001f") for each byte, and the quotes.
    Need(6 * raw.size() + 2);
    Char('"');
    std::size_t plain = 0;
    for (std::size_t i = 0; i < raw.size(); ++i) {
      const auto byte = static_cast<unsigned char>(raw[i]);
      if (!kJsonEscaped[byte]) {
        continue;
      }
      std::memcpy(at_, raw.data() + plain, i - plain);
      at_ += i - plain;
      plain = i + 1;
      if (byte == '"' || byte == '\\') {
        Char('\\');
        Char(static_cast<char>(byte));
      } else {
        constexpr char kHex[] = "0123456789abcdef";
        Literal("\\u00");
        Char(kHex[byte >> 4]);
        Char(kHex[byte & 0xF]);
      }
    }
    std::memcpy(at_, raw.data() + plain, raw.size() - plain);
    at_ += raw.size() - plain;
    Char('"');
  }

  // AppendDurationText's "h:mm:ss.zzz", "m:ss.zzz" or "s.zzz", written in
  // place.
  void Duration(TraceTime duration) {
    Need(kClockTextBytes);
    at_ = WriteDurationText(at_, duration);
  }

  void Handle(DWORD handle) {
    Need(8);
    constexpr char kHex[] = "0123456789ABCDEF";
    for (int shift = 28; shift >= 0; shift -= 4) {
      Char(kHex[(handle >> shift) & 0xF]);
    }
  }

 private:
  static constexpr std::size_t kInitialBytes = 16 * 1024;
  std::string& buffer_;
  char* at_;
  char* end_;
};

enum Column { kHandle, kStart, kDuration, kOutcome, kCaller, kCalled, kConnected, kFinalState, kColumnCount };

constexpr std::string_view kColumnTitles[kColumnCount] = {"Handle", "Start",  "Duration",  "Outcome",
                                                          "Caller", "Called", "Connected", "Final state"};

// The table's cells, appended to a row without a string of their own, and
// their widths in characters, mostly without composing them.
class TableCells {
 public:
  explicit TableCells(bool utf8) : utf8_(utf8) {}

  // Writes the cell's text; its width. The call's outcome is given: it was
  // worked out once for both passes.
  std::size_t Write(TextCursor& row, const Call& call, Column column, Outcome outcome) {
    const std::size_t before = row.Used();
    switch (column) {
      case kHandle:
        row.Handle(call.handle);
        return 8;
      case kStart:
        row.Time(call.start);
        return row.Used() - before;
      case kDuration:
        if (const auto duration = ::ordalyn::report::Duration(call)) {
          row.Duration(*duration);
        } else {
          row.Text("-");
        }
        return row.Used() - before;
      case kOutcome:
        row.Text(OutcomeText(outcome));
        return row.Used() - before;
      case kFinalState:
        row.Text(FinalName(call));
        return row.Used() - before;
      default:
        break;
    }
    // An identifier: in plain code page 1252 one character a byte, else
    // converted and with its control characters made visible.
    const std::string_view raw = Identifier(call, column);
    if (!utf8_ && PlainCp1252(raw)) {
      if (Ascii(raw)) {
        row.Text(raw);
      } else {
        row.Text(Cp1252ToUtf8(raw));
      }
      return raw.size();
    }
    const std::string text = Visible(Utf8(raw));
    row.Text(text);
    return Width(text);
  }

  std::size_t WidthOf(const Call& call, Column column, Outcome outcome) {
    switch (column) {
      case kHandle:
        return 8;
      case kStart:
      case kDuration:
        if (const std::size_t width = CountedWidth(call, column)) {
          return width;
        }
        scratch_.clear();
        AppendClockOrNumber(scratch_, call, column);
        return scratch_.size();
      case kOutcome:
        return std::string_view(OutcomeText(outcome)).size();
      case kFinalState:
        return FinalName(call).size();
      default:
        break;
    }
    const std::string_view raw = Identifier(call, column);
    return !utf8_ && PlainCp1252(raw) ? raw.size() : Width(Visible(Utf8(raw)));
  }

 private:
  static void AppendClockOrNumber(std::string& text, const Call& call, Column column) {
    if (column == kHandle) {
      AppendHexUpper(text, call.handle, 8);
    } else if (column == kStart) {
      AppendTimeText(text, call.start);
    } else if (const auto duration = Duration(call)) {
      AppendDurationText(text, *duration);
    } else {
      text += '-';
    }
  }

  static std::size_t CountedWidth(const Call& call, Column column) {
    if (column == kStart) {
      return TimeTextWidth(call.start);
    }
    const auto duration = Duration(call);
    return duration ? DurationTextWidth(*duration) : 1;
  }

  static std::string_view Identifier(const Call& call, Column column) {
    return (column == kCaller ? call.caller : column == kCalled ? call.called : call.connected).Last();
  }

  // The short name of the call's last state, made once for each state.
  const std::string& FinalName(const Call& call) {
    static const std::string kNone;
    const auto state = FinalState(call);
    if (!state) {
      return kNone;
    }
    auto found = finalNames_.find(*state);
    if (found == finalNames_.end()) {
      found = finalNames_.emplace(*state, ShortStateName(*state)).first;
    }
    return found->second;
  }

  bool utf8_;
  std::string scratch_;
  std::unordered_map<DWORD, std::string> finalNames_;
};

}  // namespace

std::string CsvField(std::string_view text) {
  std::string cell;
  if (!text.empty()) {
    const char first = text.front();
    if (first == '=' || first == '@' || first == '\t' || first == '\r' ||
        ((first == '+' || first == '-') && !IsTelephoneNumber(text.substr(1)))) {
      cell += '\'';
    }
  }
  cell += text;
  if (cell.find_first_of(",\"\r\n") == std::string::npos) {
    return cell;
  }
  std::string quoted = "\"";
  for (const char c : cell) {
    quoted += c;
    if (c == '"') {
      quoted += '"';
    }
  }
  quoted += '"';
  return quoted;
}

Selection Select(const Report& report, const Filter& filter) {
  Selection selection;
  selection.utf8 = report.utf8;
  std::vector<bool> sessionUsed(report.sessions.size(), false);
  const bool all = !filter.handle && !filter.from && !filter.to;
  selection.calls.reserve(all ? report.calls.size() : 0);
  for (const Call& call : report.calls) {
    // Without a filter no call is looked at here: the writers walk through
    // the calls' memory once, not twice.
    if (all) {
      selection.calls.push_back(&call);
      continue;
    }
    if (!Admits(filter, call)) {
      continue;
    }
    selection.calls.push_back(&call);
    if (call.session < sessionUsed.size()) {
      sessionUsed[call.session] = true;
    }
  }
  for (std::size_t i = 0; i < report.sessions.size(); ++i) {
    if (all || sessionUsed[i]) {
      selection.sessions.push_back(i);
    }
  }
  return selection;
}

bool Admits(const Filter& filter, const Call& call) {
  if (filter.handle && call.handle != *filter.handle) {
    return false;
  }
  const std::int64_t timeOfDay = call.start % kMsPerDay;
  if (filter.from && filter.to && *filter.to < *filter.from) {
    return timeOfDay >= *filter.from || timeOfDay <= *filter.to;
  }
  return !((filter.from && timeOfDay < *filter.from) || (filter.to && timeOfDay > *filter.to));
}

Summary Summarise(const Selection& selection) {
  Summary summary;
  for (const Call* call : selection.calls) {
    CountCall(summary, *call, CallOutcome(*call));
  }
  return summary;
}

void CountCall(Summary& summary, const Call& call, Outcome outcome) {
  ++summary.calls;
  ++summary.byOutcome[static_cast<int>(outcome)];
  const auto duration = Duration(call);
  if (duration && (summary.longest == nullptr || *duration > *Duration(*summary.longest))) {
    summary.longest = &call;
  }
}

namespace {

// Writes one row of the table (the titles when call is null): each cell
// padded to its column's width and two blanks, the last one not.
void WriteRow(TextCursor& rows, TableCells& cells, const Call* call, Outcome outcome,
              const std::size_t* widths) {
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    std::size_t width = kColumnTitles[i].size();
    if (call == nullptr) {
      rows.Text(kColumnTitles[i]);
    } else {
      width = cells.Write(rows, *call, static_cast<Column>(i), outcome);
    }
    if (i + 1 < kColumnCount && width < widths[i] + 2) {
      rows.Fill(' ', widths[i] + 2 - width);
    }
  }
  rows.Text("\n");
}

// The widths of the table's columns when the calls come one at a time:
// handle, start (with "+12d " in front), duration, outcome, caller, called,
// connected. A wider cell pushes the rest of its row on.
constexpr std::size_t kFixedWidths[kColumnCount] = {8, 16, 9, 10, 18, 18, 18, 11};

void WriteFixedRow(std::ostream& out, const Call* call, bool utf8) {
  const InputTexts texts(utf8);
  TableCells cells(utf8);
  std::string buffer;
  TextCursor row(buffer);
  WriteRow(row, cells, call, call != nullptr ? CallOutcome(*call) : Outcome{}, kFixedWidths);
  out.write(row.Data(), static_cast<std::streamsize>(row.Used()));
}

}  // namespace

void WriteTableHeading(std::ostream& out) { WriteFixedRow(out, nullptr, false); }

void WriteTableRow(std::ostream& out, const Call& call, bool utf8) { WriteFixedRow(out, &call, utf8); }

void WriteTable(std::ostream& out, const Report& report, const Selection& selection) {
  const InputTexts texts(selection.utf8);
  // Two passes: the widths first, then the rows, so that no row is kept.
  TableCells cells(selection.utf8);
  std::size_t widths[kColumnCount];
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    widths[i] = kColumnTitles[i].size();
  }
  std::vector<Outcome> outcomes;
  outcomes.reserve(selection.calls.size());
  Summary summary;
  for (const Call* call : selection.calls) {
    outcomes.push_back(CallOutcome(*call));
    CountCall(summary, *call, outcomes.back());
    for (std::size_t i = 0; i < kColumnCount; ++i) {
      widths[i] = std::max(widths[i], cells.WidthOf(*call, static_cast<Column>(i), outcomes.back()));
    }
  }
  // The rows are composed in one buffer and written some 64 KiB at a time.
  constexpr std::size_t kGathered = 64 * 1024;
  std::string buffer;
  TextCursor rows(buffer);
  WriteRow(rows, cells, nullptr, Outcome{}, widths);
  for (std::size_t index = 0; index < selection.calls.size(); ++index) {
    WriteRow(rows, cells, selection.calls[index], outcomes[index], widths);
    if (rows.Used() >= kGathered) {
      out.write(rows.Data(), static_cast<std::streamsize>(rows.Used()));
      rows.Restart();
    }
  }
  out.write(rows.Data(), static_cast<std::streamsize>(rows.Used()));

  out << '\n' << "Calls: " << summary.calls;
  for (const Outcome outcome : kOutcomes) {
    out << (outcome == Outcome::kAnswered ? " (" : ", ") << OutcomeText(outcome) << ' '
        << summary.byOutcome[static_cast<int>(outcome)];
  }
  out << ")\n";
  if (summary.longest != nullptr) {
    out << "Longest call: " << HandleText(summary.longest->handle) << " at "
        << TimeText(summary.longest->start) << ", " << DurationText(*Duration(*summary.longest)) << '\n';
  }
  out << "Sessions: " << selection.sessions.size() << '\n';
  for (const std::size_t index : selection.sessions) {
    const Session& session = report.sessions[index];
    out << "  " << (index + 1) << ". " << Visible(SessionText(session)) << '\n';
    for (const ResultLine& result : session.results) {
      if (result.error) {
        out << "     " << TimeText(result.time) << ' ' << result.step
            << ": Error: " << Visible(Utf8(result.result)) << '\n';
      }
    }
  }
  out << "Lines: " << report.lines << " read, " << report.skipped << " skipped (not trace lines)";
  if (report.tooLong > 0) {
    out << ", " << report.tooLong << " too long (over 64 KiB)";
  }
  if (report.ambiguous > 0) {
    out << ", " << report.ambiguous << " with identifiers that read more than one way";
  }
  if (report.linesWithoutCall > 0) {
    out << ", " << report.linesWithoutCall << " without a call (handle 00000000)";
  }
  if (report.lastLineCut) {
    out << ", the last line cut short";
  }
  out << '\n';
  if (report.clockSteps > 0) {
    out << "Clock steps back (an hour or less): " << report.clockSteps << '\n';
  }
  out << "Texts read as " << (report.utf8 ? "UTF-8" : "code page 1252") << '\n';
}

void WriteCsv(std::ostream& out, const Selection& selection) {
  const InputTexts texts(selection.utf8);
  WriteCsvHeading(out);
  for (const Call* call : selection.calls) {
    WriteCsvRow(out, *call, selection.utf8);
  }
}

void WriteCsvHeading(std::ostream& out) {
  out << "handle,session,start,end,duration_ms,outcome,caller,caller_earlier,called,called_earlier,connected,"
         "connected_earlier,origin,reason,origin_or_reason,offering_to_connected_ms,connected_ms,final_state,"
         "states\r\n";
}

void WriteCsvRow(std::ostream& out, const Call& callRef, bool utf8) {
  const InputTexts texts(utf8);
  const Call* const call = &callRef;
  std::string states;
  for (const StateChange& change : call->states) {
    if (!states.empty()) {
      states += ' ';
    }
    states += ShortStateName(change.state);
  }
  const std::string fields[] = {
      HandleText(call->handle),
      std::to_string(call->session + 1),
      TimeText(call->start),
      call->ended ? TimeText(call->lastSeen) : "",
      OptionalMs(Duration(*call)),
      OutcomeText(CallOutcome(*call)),
      Utf8(call->caller.Last()),
      Utf8(Earlier(call->caller)),
      Utf8(call->called.Last()),
      Utf8(Earlier(call->called)),
      Utf8(call->connected.Last()),
      Utf8(Earlier(call->connected)),
      OriginText(*call),
      ReasonText(*call),
      OriginOrReasonText(*call),
      OptionalMs(OfferingToConnected(*call)),
      std::to_string(TimeConnected(*call)),
      FinalStateText(*call, true),
      states,
  };
  bool first = true;
  for (const std::string& field : fields) {
    out << (first ? "" : ",") << CsvField(field);
    first = false;
  }
  out << "\r\n";
}

namespace {

// The JSON of a state and its mode, ",\"state\":...,\"mode\":...", made once
// for each pair the calls hold; and the names of origins, reasons and final
// states as JSON strings, made once for each value.
class StateJson {
 public:
  const std::string& Of(DWORD state, DWORD mode) {
    const std::uint64_t key = (std::uint64_t{state} << 32) | mode;
    Recent& recent = recentStates_[RecentSlot(key)];
    if (recent.text != nullptr && recent.key == key) {
      return *recent.text;
    }
    auto found = texts_.find(key);
    if (found == texts_.end()) {
      const std::string modeText = CallStateModeText(state, mode);
      std::string text = ",\"state\":";
      AppendJsonString(text, CallStateName(state));
      text += ",\"mode\":";
      AppendJsonString(text, modeText.empty() ? std::string_view() : std::string_view(modeText).substr(2));
      found = texts_.emplace(key, std::move(text)).first;
    }
    recent = Recent{key, &found->second};
    return found->second;
  }

  enum class Name { kOrigin, kReason, kState };
  // The name of the value as a JSON string; "" for 0 (none named).
  const std::string& NameOf(Name kind, DWORD value) {
    const std::uint64_t key = (std::uint64_t{static_cast<unsigned>(kind)} << 32) | value;
    Recent& recent = recentNames_[RecentSlot(key)];
    if (recent.text != nullptr && recent.key == key) {
      return *recent.text;
    }
    auto found = names_.find(key);
    if (found == names_.end()) {
      std::string text;
      AppendJsonString(text, value == 0 && kind != Name::kState ? std::string()
                             : kind == Name::kOrigin            ? CallOriginName(value)
                             : kind == Name::kReason            ? CallReasonName(value)
                                                                : CallStateName(value));
      found = names_.emplace(key, std::move(text)).first;
    }
    recent = Recent{key, &found->second};
    return found->second;
  }

 private:
  // The texts last found, each in the place its key chooses, looked at
  // before the maps (whose texts never move).
  struct Recent {
    std::uint64_t key = 0;
    const std::string* text = nullptr;
  };
  static constexpr unsigned kRecentBits = 5;
  static std::size_t RecentSlot(std::uint64_t key) {
    return static_cast<std::size_t>(((key ^ (key >> 29)) * 0x9E3779B97F4A7C15ull) >> (64 - kRecentBits));
  }

  std::unordered_map<std::uint64_t, std::string> texts_;
  std::unordered_map<std::uint64_t, std::string> names_;
  Recent recentStates_[1 << kRecentBits];
  Recent recentNames_[1 << kRecentBits];
};

// The fixed pieces of one call's object and of one state's, with room to
// spare: each is made room for once.
constexpr std::size_t kCallFixedBytes = 512;
constexpr std::size_t kStateFixedBytes = 128;

void AppendJsonHistory(TextCursor& json, std::string_view name, const IdentifierHistory& history) {
  json.Need(kCallFixedBytes);
  json.Char('"');
  json.Text(name);
  json.Literal("\":");
  json.TraceText(history.Last());
  json.Need(kCallFixedBytes);
  json.Literal(",\"");
  json.Text(name);
  json.Literal("_earlier\":[");
  if (history.HasEarlier()) {
    bool first = true;
    for (const std::string_view value : history.Earlier()) {
      if (!first) {
        json.Need(1);
        json.Char(',');
      }
      json.TraceText(value);
      first = false;
    }
  }
  json.Need(1);
  json.Char(']');
}

// One call as a JSON object, composed after what json holds.
void ComposeJsonCall(TextCursor& json, const Call& call, Outcome outcome, StateJson& stateJson) {
  json.Need(kCallFixedBytes);
  json.Literal("{\"handle\":\"");
  json.Handle(call.handle);
  json.Literal("\",\"session\":");
  json.Number(static_cast<std::int64_t>(call.session + 1));
  json.Literal(",\"start\":\"");
  json.Time(call.start);
  json.Literal("\",\"start_ms\":");
  json.Number(call.start);
  json.Need(kCallFixedBytes);
  json.Literal(",\"end\":");
  if (call.ended) {
    json.Char('"');
    json.Time(call.lastSeen);
    json.Char('"');
  } else {
    json.Literal("null");
  }
  json.Need(kCallFixedBytes);
  json.Literal(",\"duration_ms\":");
  json.OptionalNumber(Duration(call));
  json.Need(kCallFixedBytes);
  json.Literal(",\"outcome\":\"");
  json.Text(OutcomeText(outcome));
  json.Need(kCallFixedBytes);
  json.Literal("\",");
  AppendJsonHistory(json, "caller"sv, call.caller);
  json.Need(1);
  json.Char(',');
  AppendJsonHistory(json, "called"sv, call.called);
  json.Need(1);
  json.Char(',');
  AppendJsonHistory(json, "connected"sv, call.connected);
  json.Need(kCallFixedBytes);
  json.Literal(",\"origin\":");
  json.Text(stateJson.NameOf(StateJson::Name::kOrigin, call.origin));
  json.Need(kCallFixedBytes);
  json.Literal(",\"reason\":");
  json.Text(stateJson.NameOf(StateJson::Name::kReason, call.reason));
  json.Need(kCallFixedBytes);
  json.Literal(",\"origin_or_reason\":");
  json.Text(stateJson.NameOf(StateJson::Name::kOrigin, call.originOrReason));
  json.Need(kCallFixedBytes);
  json.Literal(",\"ended_without_idle\":");
  if (call.endedWithoutIdle) {
    json.Literal("true");
  } else {
    json.Literal("false");
  }
  json.Literal(",\"offering_to_connected_ms\":");
  json.OptionalNumber(OfferingToConnected(call));
  json.Need(kCallFixedBytes);
  json.Literal(",\"connected_ms\":");
  json.Number(TimeConnected(call));
  json.Need(kCallFixedBytes);
  json.Literal(",\"final_state\":");
  if (const auto state = FinalState(call)) {
    json.Text(stateJson.NameOf(StateJson::Name::kState, *state));
  } else {
    json.Literal("\"\"");
  }
  json.Need(kCallFixedBytes);
  json.Literal(",\"states\":[");
  for (std::size_t i = 0; i < call.states.size(); ++i) {
    const StateChange& change = call.states[i];
    const std::string& state = stateJson.Of(change.state, change.mode);
    char* at = json.Reserve(kStateFixedBytes + state.size());
    if (i > 0) {
      *at++ = ',';
    }
    at = Put(at, "{\"time\":\"");
    at = WriteTimeText(at, change.time);
    at = Put(at, "\",\"time_ms\":");
    at = PutDecimal(at, change.time);
    std::memcpy(at, state.data(), state.size());
    at = Put(at + state.size(), ",\"line\":");
    at = PutDecimal(at, change.lineNumber);
    *at++ = '}';
    json.Commit(at);
  }
  json.Need(2);
  json.Literal("]}");
}

}  // namespace

void WriteJson(std::ostream& out, const Report& report, const Selection& selection) {
  const InputTexts texts(selection.utf8);
  out << "{\"sessions\":[";
  bool first = true;
  for (const std::size_t index : selection.sessions) {
    const Session& session = report.sessions[index];
    out << (first ? "" : ",") << "\n{\"session\":" << (index + 1) << ",\"start\":\""
        << TimeText(session.start) << "\",\"end\":\"" << TimeText(session.end)
        << "\",\"logged_on\":" << (session.loggedOn ? "true" : "false")
        << ",\"logged_off\":" << (session.loggedOff ? "true" : "false")
        << ",\"lines_without_call\":" << session.linesWithoutCall;
    if (session.loggedOn) {
      out << ",\"line\":" << session.line << ",\"line_name\":" << JsonString(Utf8(session.lineName))
          << ",\"tapi_version\":" << JsonString(Utf8(session.tapiVersion));
    }
    out << ",\"results\":[";
    for (std::size_t i = 0; i < session.results.size(); ++i) {
      const ResultLine& result = session.results[i];
      out << (i > 0 ? "," : "") << "{\"time\":\"" << TimeText(result.time) << "\",\"step\":\"" << result.step
          << "\",\"error\":" << (result.error ? "true" : "false")
          << ",\"result\":" << JsonString(Utf8(result.result)) << "}";
    }
    out << "]}";
    first = false;
  }
  out << "],\n\"calls\":[";
  // The calls are composed in one buffer and written some megabyte at a
  // time, which the program's output buffer passes on without a copy.
  constexpr std::size_t kGathered = 1024 * 1024;
  StateJson stateJson;
  std::string text;
  TextCursor json(text);
  Summary summary;  // counted call by call, as each is written
  for (std::size_t index = 0; index < selection.calls.size(); ++index) {
    json.Need(2);
    if (index > 0) {
      json.Char(',');
    }
    json.Char('\n');
    const Call& call = *selection.calls[index];
    const Outcome outcome = CallOutcome(call);
    CountCall(summary, call, outcome);
    ComposeJsonCall(json, call, outcome, stateJson);
    if (json.Used() >= kGathered) {
      out.write(json.Data(), static_cast<std::streamsize>(json.Used()));
      json.Restart();
    }
  }
  out.write(json.Data(), static_cast<std::streamsize>(json.Used()));
  out << "],\n\"summary\":{\"calls\":" << summary.calls;
  for (const Outcome outcome : kOutcomes) {
    std::string key = OutcomeText(outcome);
    std::replace(key.begin(), key.end(), ' ', '_');
    out << ",\"" << key << "\":" << summary.byOutcome[static_cast<int>(outcome)];
  }
  out << ",\"longest\":";
  if (summary.longest != nullptr) {
    out << "\"" << HandleText(summary.longest->handle) << "\"";
  } else {
    out << "null";
  }
  out << ",\"lines\":" << report.lines << ",\"skipped\":" << report.skipped
      << ",\"too_long\":" << report.tooLong << ",\"ambiguous\":" << report.ambiguous
      << ",\"lines_without_call\":" << report.linesWithoutCall << ",\"clock_steps\":" << report.clockSteps
      << ",\"last_line_cut\":" << (report.lastLineCut ? "true" : "false") << ",\"encoding\":\""
      << (report.utf8 ? "UTF-8" : "cp1252") << "\"}}\n";
}

struct JsonLineWriter::Parts {
  StateJson stateJson;
  std::string text;
};

JsonLineWriter::JsonLineWriter() : parts_(std::make_unique<Parts>()) {}
JsonLineWriter::~JsonLineWriter() = default;

void JsonLineWriter::Write(std::ostream& out, const Call& call, bool utf8) {
  const InputTexts texts(utf8);
  TextCursor json(parts_->text);
  ComposeJsonCall(json, call, CallOutcome(call), parts_->stateJson);
  json.Need(1);
  json.Char('\n');
  out.write(json.Data(), static_cast<std::streamsize>(json.Used()));
}

}  // namespace ordalyn::report
