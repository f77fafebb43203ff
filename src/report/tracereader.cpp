#include "report/tracereader.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "tapi/tapiutil.h"
#include "util/utools.h"

namespace ordalyn::report {

using namespace traceformat;

namespace {

constexpr std::int64_t kMsPerHour = 3600000;
// An error text from TAPI's message table may bring line breaks; its closing
// parenthesis then stands on a later line.
constexpr int kMaxErrorTextLines = 8;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && std::memcmp(text.data(), prefix.data(), prefix.size()) == 0;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() &&
         std::memcmp(text.data() + text.size() - suffix.size(), suffix.data(), suffix.size()) == 0;
}

bool IsAll(std::string_view text, char c, std::size_t count) {
  return text.size() == count && text.find_first_not_of(c) == std::string_view::npos;
}

// The stamp and " | ": the time of day in milliseconds, or none. Every
// line has one, so its nine digits are checked eight and four bytes at a
// time; what is read is what ReadTimeOfDay reads.
std::optional<std::int64_t> ReadStamp(std::string_view line) {
  static_assert(kStampWidth == 12 && kStampEnd.size() == 3);
  if (line.size() < kStampWidth + kStampEnd.size() || line[12] != ' ' || line[13] != '|' || line[14] != ' ') {
    return std::nullopt;
  }
  if constexpr (std::endian::native != std::endian::little) {
    return ReadTimeOfDay(line.substr(0, kStampWidth), TimeOfDayForm::kStamp);
  }
  // "hh:nn:ss:zzz": any one separator that is no digit, the same three times.
  const char separator = line[2];
  if (line[5] != separator || line[8] != separator || static_cast<unsigned>(separator - '0') <= 9) {
    return std::nullopt;
  }
  std::uint64_t head = 0;  // h h : n n : s s, the first byte lowest
  std::uint32_t tail = 0;  // : z z z
  std::memcpy(&head, line.data(), 8);
  std::memcpy(&tail, line.data() + 8, 4);
  // The separators count as '0'; then every byte minus '0' must be 0 to 9.
  head = (head & ~0x0000FF0000FF0000ull) | 0x0000300000300000ull;
  tail = (tail & ~0xFFu) | 0x30u;
  const std::uint64_t h = head ^ 0x3030303030303030ull;
  const std::uint32_t t = tail ^ 0x30303030u;
  if ((((h + 0x7676767676767676ull) | h) & 0x8080808080808080ull) != 0 ||
      (((t + 0x76767676u) | t) & 0x80808080u) != 0) {
    return std::nullopt;
  }
  const auto at = [h](unsigned index) { return static_cast<unsigned>(h >> (8 * index)) & 0xFF; };
  const unsigned hour = at(0) * 10 + at(1);
  const unsigned minute = at(3) * 10 + at(4);
  const unsigned second = at(6) * 10 + at(7);
  if (hour > 23 || minute > 59 || second > 59) {
    return std::nullopt;
  }
  const unsigned millis = (t >> 8 & 0xFF) * 100 + (t >> 16 & 0xFF) * 10 + (t >> 24 & 0xFF);
  return ((hour * 60 + minute) * 60 + second) * std::int64_t{1000} + millis;
}

// The first CR or LF in the bytes, or none: with SSE2 in one pass over
// sixteen bytes at a time, else with a search for each.
const char* FindLineEnd(std::string_view bytes) {
#if defined(__SSE2__)
  const char* at = bytes.data();
  const char* const end = at + bytes.size();
  const __m128i cr = _mm_set1_epi8('\r');
  const __m128i lf = _mm_set1_epi8('\n');
  for (; end - at >= 16; at += 16) {
    const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    const auto found = static_cast<unsigned>(
        _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(block, cr), _mm_cmpeq_epi8(block, lf))));
    if (found != 0) {
      return at + std::countr_zero(found);
    }
  }
  for (; at < end; ++at) {
    if (*at == '\r' || *at == '\n') {
      return at;
    }
  }
  return nullptr;
#else
  const char* lf = static_cast<const char*>(std::memchr(bytes.data(), '\n', bytes.size()));
  const std::size_t before = lf == nullptr ? bytes.size() : static_cast<std::size_t>(lf - bytes.data());
  const char* cr = static_cast<const char*>(std::memchr(bytes.data(), '\r', before));
  return cr != nullptr ? cr : lf;
#endif
}

bool AnyHighByte(std::string_view bytes) {
  std::uint64_t any = 0;
  std::size_t i = 0;
  for (; i + 8 <= bytes.size(); i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes.data() + i, 8);
    any |= word;
  }
  for (; i < bytes.size(); ++i) {
    any |= static_cast<unsigned char>(bytes[i]);
  }
  return (any & 0x8080808080808080ull) != 0;
}

}  // namespace

void TraceReader::NoteEncoding(std::string_view bytes) {
  if (encoding_ != InputEncoding::kAuto || utf8Invalid_ || (utf8Pending_ == 0 && !AnyHighByte(bytes))) {
    return;
  }
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (utf8Pending_ > 0) {
      if ((byte & 0xC0) != 0x80) {
        utf8Invalid_ = true;
        return;
      }
      --utf8Pending_;
    } else if (byte >= 0xC2 && byte <= 0xDF) {
      utf8Pending_ = 1;
    } else if (byte >= 0xE0 && byte <= 0xEF) {
      utf8Pending_ = 2;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
      utf8Pending_ = 3;
    } else if (byte >= 0x80) {
      utf8Invalid_ = true;
      return;
    }
    utf8MultiByte_ = utf8MultiByte_ || byte >= 0x80;
  }
}

void TraceReader::Feed(std::string_view bytes) {
  NoteEncoding(bytes);
  while (!bytes.empty()) {
    if (afterCr_) {
      afterCr_ = false;
      if (bytes.front() == '\n') {
        bytes.remove_prefix(1);
        continue;
      }
    }
    const char* end = FindLineEnd(bytes);
    if (end == nullptr) {
      // No line end yet: hold the start of the line, unless it is too long.
      if (!pendingTooLong_ && pending_.size() + bytes.size() <= kMaxLineBytes) {
        pending_.append(bytes);
      } else {
        pendingTooLong_ = true;
        pending_.clear();
        pending_.shrink_to_fit();
      }
      return;
    }
    const auto length = static_cast<std::size_t>(end - bytes.data());
    afterCr_ = *end == '\r';
    if (pendingTooLong_ || pending_.size() + length > kMaxLineBytes) {
      ++report_.lines;
      ++lineNumber_;
      ++report_.tooLong;
      pendingTooLong_ = false;
      pending_.clear();
    } else if (pending_.empty()) {
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
  if (pendingTooLong_) {
    ++report_.lines;
    ++report_.tooLong;
    report_.lastLineCut = true;
  } else if (!pending_.empty()) {
    const std::uint64_t skippedBefore = report_.skipped;
    ReadLine(pending_, true);
    if (report_.skipped != skippedBefore) {
      report_.lastLineCut = true;
    }
  }
  pending_.clear();
  pendingTooLong_ = false;
  afterCr_ = false;
  lineNumber_ = 0;
  headerLinesLeft_ = 0;
  errorTextLinesLeft_ = 0;
}

std::size_t TraceReader::HandleTable::Home(DWORD handle) const {
  return static_cast<std::size_t>((handle * 0x9E3779B97F4A7C15ull) >> 32) & (slots_.size() - 1);
}

TraceReader::CallIndex* TraceReader::HandleTable::Find(DWORD handle) {
  if (slots_.empty() || handle == 0) {
    return nullptr;
  }
  for (std::size_t at = Home(handle);; at = (at + 1) & (slots_.size() - 1)) {
    Slot& slot = slots_[at];
    if (slot.handle == handle) {
      return &slot.index;
    }
    if (slot.handle == 0) {
      return nullptr;
    }
  }
}

TraceReader::CallIndex& TraceReader::HandleTable::Insert(DWORD handle) {
  // At most half full, so that a search ends soon at a free slot.
  if (2 * (count_ + 1) > slots_.size()) {
    Grow();
  }
  std::size_t at = Home(handle);
  while (slots_[at].handle != 0) {
    at = (at + 1) & (slots_.size() - 1);
  }
  ++count_;
  slots_[at] = Slot{handle, 0};
  return slots_[at].index;
}

void TraceReader::HandleTable::Grow() {
  std::vector<Slot> old(std::max<std::size_t>(64, 2 * slots_.size()));
  old.swap(slots_);
  for (const Slot& slot : old) {
    if (slot.handle != 0) {
      std::size_t at = Home(slot.handle);
      while (slots_[at].handle != 0) {
        at = (at + 1) & (slots_.size() - 1);
      }
      slots_[at] = slot;
    }
  }
}

// A table far larger than what it held is let go rather than emptied, so
// that many short sessions after a long one do not each pay for its size.
void TraceReader::HandleTable::Clear() {
  if (count_ == 0) {
    return;
  }
  if (slots_.size() > 64 && 8 * count_ < slots_.size()) {
    slots_ = std::vector<Slot>();
  } else {
    std::fill(slots_.begin(), slots_.end(), Slot{});
  }
  count_ = 0;
}

// Removes the handle's entry, moving the entries after it that searched past
// it back, so that every search still ends at a free slot.
void TraceReader::HandleTable::Erase(DWORD handle) {
  if (slots_.empty() || handle == 0) {
    return;
  }
  const std::size_t mask = slots_.size() - 1;
  std::size_t hole = Home(handle);
  while (slots_[hole].handle != handle) {
    if (slots_[hole].handle == 0) {
      return;
    }
    hole = (hole + 1) & mask;
  }
  for (std::size_t next = (hole + 1) & mask; slots_[next].handle != 0; next = (next + 1) & mask) {
    // The entry at next may fill the hole when the hole lies between its home and next.
    if (((next - Home(slots_[next].handle)) & mask) >= ((next - hole) & mask)) {
      slots_[hole] = slots_[next];
      hole = next;
    }
  }
  slots_[hole] = Slot{};
  --count_;
}

bool TraceReader::Utf8SoFar() const {
  return encoding_ == InputEncoding::kUtf8 ||
         (encoding_ == InputEncoding::kAuto && utf8MultiByte_ && !utf8Invalid_);
}

Report TraceReader::Finish() {
  if (sink_) {
    HandOnOpenCalls();
    report_.calls.clear();
    freeSlots_.clear();
  }
  ForgetHandles();
  // A handle seen only in LINE_CALLINFO lines (the trace began after its
  // call's states) makes no call of its own.
  const auto stateless = [](const Call& call) { return !call.announced && call.states.empty(); };
  if (std::any_of(report_.calls.begin(), report_.calls.end(), stateless)) {
    report_.calls.erase(std::remove_if(report_.calls.begin(), report_.calls.end(), stateless),
                        report_.calls.end());
  }
  report_.utf8 = encoding_ == InputEncoding::kUtf8 ||
                 (encoding_ == InputEncoding::kAuto && utf8MultiByte_ && !utf8Invalid_ && utf8Pending_ == 0);
  return std::move(report_);
}

// The day count goes on when a stamp goes back by more than an hour; a step
// back of an hour or less is a clock change, and the elapsed time stands
// still over it.
TraceTime TraceReader::Absolute(std::int64_t timeOfDay) {
  if (lastTimeOfDay_ >= 0) {
    if (timeOfDay < lastTimeOfDay_ - kMsPerHour) {
      ++day_;
      elapsed_ += timeOfDay + kMsPerDay - lastTimeOfDay_;
    } else if (timeOfDay < lastTimeOfDay_) {
      ++report_.clockSteps;
    } else {
      elapsed_ += timeOfDay - lastTimeOfDay_;
    }
  }
  lastTimeOfDay_ = timeOfDay;
  return day_ * kMsPerDay + timeOfDay;
}

void TraceReader::ReadLine(std::string_view line, bool cut) {
  ++report_.lines;
  ++lineNumber_;
  currentLine_ = line;
  const std::optional<std::int64_t> timeOfDay = ReadStamp(line);
  if (!timeOfDay) {
    if (IsAll(line, kSeparatorChar, kSeparatorWidth)) {
      headerLinesLeft_ = 0;
      errorTextLinesLeft_ = 0;
      return;
    }
    if (StartsWith(line, kHeaderStart)) {
      laterHeaders_ += lineNumber_ > 1 ? 1 : 0;
      StartSession();
      headerLinesLeft_ = kHeaderLinesAfterStart;
      errorTextLinesLeft_ = 0;
      return;
    }
    if (headerLinesLeft_ > 0) {
      // The copyright line holds any text; the rule and the empty line follow.
      const bool fits = headerLinesLeft_ == 3 ||
                        (headerLinesLeft_ == 2 && IsAll(line, kHeaderRuleChar, kHeaderRuleWidth)) ||
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
      result += (line.empty() || line.front() == kErrorTextClose) ? "" : " ";
      result += line;
      if (!line.empty() && line.back() == kErrorTextClose) {
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
  lastElapsed_ = elapsed_;
  if (ReadText(line.substr(kStampWidth + kStampEnd.size()), time)) {
    ++report_.traceLines;
  } else {
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
void TraceReader::EndSession() {
  if (sink_) {
    HandOnOpenCalls();
    recentlyEnded_.Clear();
  }
  ForgetHandles();
}

void TraceReader::ForgetHandles() {
  open_.Clear();
  ended_.Clear();
  endedLately_.clear();
}

const TraceReader::CallIndex* TraceReader::FindEnded(DWORD handle) {
  for (const auto& [ended, index] : endedLately_) {
    CallIndex* entry = ended_.Find(ended);
    (entry != nullptr ? *entry : ended_.Insert(ended)) = index;
  }
  endedLately_.clear();
  return ended_.Find(handle);
}

// Streaming: the call at index goes to the sink, and its place is free.
void TraceReader::HandOn(std::size_t index) {
  Call& call = report_.calls[index];
  if (call.announced || !call.states.empty()) {
    sink_(call, Utf8SoFar());
  }
  call = Call();
  freeSlots_.push_back(index);
}

// Streaming: the calls still open, oldest first, as open calls.
void TraceReader::HandOnOpenCalls() {
  std::vector<std::size_t> open;
  open_.ForEach([&open](CallIndex index) { open.push_back(index); });
  std::sort(open.begin(), open.end(), [this](std::size_t a, std::size_t b) {
    return report_.calls[a].startElapsed < report_.calls[b].startElapsed ||
           (report_.calls[a].startElapsed == report_.calls[b].startElapsed && a < b);
  });
  for (const std::size_t index : open) {
    HandOn(index);
  }
  open_.Clear();
}

Call& TraceReader::BeginCall(DWORD handle, TraceTime time, CallIndex*& open) {
  // A streamed call that was handed on left its place free.
  std::size_t index = report_.calls.size();
  if (freeSlots_.empty()) {
    report_.calls.emplace_back();
  } else {
    index = freeSlots_.back();
    freeSlots_.pop_back();
  }
  Call& call = report_.calls[index];
  call.handle = handle;
  call.session = report_.sessions.size() - 1;
  call.start = time;
  call.lastSeen = time;
  call.startElapsed = lastElapsed_;
  call.lastElapsed = lastElapsed_;
  call.states.reserve(6);  // the usual life of a call, without growing
  if (open == nullptr) {
    open = &open_.Insert(handle);
  }
  *open = static_cast<CallIndex>(index);
  return call;
}

bool TraceReader::ReadText(std::string_view text, TraceTime time) {
  const auto touch = [this, time](Session& session) {
    if (!sessionTimed_) {
      session.start = time;
      sessionTimed_ = true;
    }
    session.end = time;
  };

  if (EventLineView event; ReadEventLine(text, event)) {
    if (!haveSession_ || report_.sessions.back().loggedOff) {
      StartSession();  // the trace begins in the middle of a session
    }
    ReadEvent(event, time);
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
  const std::size_t colon = text.find(kResultSeparator);
  if (colon == std::string_view::npos) {
    return false;
  }
  const std::string_view step = text.substr(0, colon);
  if (step != kStepInitialise && step != kStepLineOpen && step != kStepLineShutDown) {
    return false;
  }
  if (step == kStepInitialise) {
    const bool fresh = haveSession_ && !report_.sessions.back().loggedOn &&
                       !report_.sessions.back().loggedOff && report_.sessions.back().results.empty();
    if (!fresh) {
      StartSession();
    }
  }
  if (!ReadResult(step, text.substr(colon + kResultSeparator.size()), time)) {
    return false;
  }
  touch(report_.sessions.back());
  return true;
}

bool TraceReader::ReadResult(std::string_view step, std::string_view result, TraceTime time) {
  ResultLine line;
  line.time = time;
  line.step = std::string(step);
  if (result == kResultOk) {
    line.result = std::string(kResultOk);
  } else if (StartsWith(result, kResultError)) {
    // "Error: 2147483720(text)": the number in decimal, the text in
    // parentheses right after it.
    const std::string_view error = result.substr(kResultError.size());
    const std::size_t open = error.find(kErrorTextOpen);
    if (open == 0 || open == std::string_view::npos ||
        error.substr(0, open).find_first_not_of("0123456789") != std::string_view::npos) {
      return false;
    }
    if (std::count(error.begin(), error.end(), kErrorTextOpen) >
        std::count(error.begin(), error.end(), kErrorTextClose)) {
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
  const std::size_t device = text.rfind(kLogonDevice);
  if (device == std::string_view::npos || !EndsWith(text, kLogonEnd)) {
    return false;
  }
  const std::size_t number = device + kLogonDevice.size();
  const auto line = ReadInteger(text.substr(number, text.size() - number - kLogonEnd.size()));
  const std::string_view head = text.substr(0, device);
  const std::size_t versionEnd = head.find(kLogonName, kLogonStart.size());
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
  session.lineName = std::string(head.substr(versionEnd + kLogonName.size()));
  return true;
}

// The call rules: handle 0 is no call; LINE_APPNEWCALL, OFFERING and the
// dialling states begin a call when the handle's call has ended (a new
// LINE_APPNEWCALL also ends a call that never reached IDLE); any other line
// for an ended call's handle still belongs to that call, and adds no state.
void TraceReader::ReadEvent(const EventLineView& event, TraceTime time) {
  if (!NamesCallHandle(event.message)) {
    return;
  }
  if (event.handle == 0) {
    ++report_.linesWithoutCall;
    ++report_.sessions.back().linesWithoutCall;
    return;
  }
  const bool isState = event.message == LINE_CALLSTATE;
  const DWORD state = event.param1;
  CallIndex* open = open_.Find(event.handle);
  if (event.message == LINE_APPNEWCALL) {
    if (open != nullptr) {
      Call& earlier = report_.calls[*open];
      earlier.ended = true;
      earlier.endedWithoutIdle = true;
      if (sink_) {
        HandOn(*open);
      }
    }
    BeginCall(event.handle, time, open).announced = true;
    return;
  }
  const bool begins = isState && (state == LINECALLSTATE_OFFERING || IsDialingState(state));
  const CallIndex* ended = nullptr;
  if (open == nullptr && !begins) {
    if (sink_ && recentlyEnded_.Contains(event.handle)) {
      ++report_.linesAfterEnd;  // its call has been handed on already
      return;
    }
    ended = sink_ ? nullptr : FindEnded(event.handle);
  }
  if (open == nullptr && ended == nullptr) {
    BeginCall(event.handle, time, open);
  }
  Call* call = &report_.calls[open != nullptr ? *open : *ended];
  if (event.identifiersAmbiguous) {
    ++report_.ambiguous;
  } else {
    call->caller.Note(event.callerId);
    call->called.Note(event.calledId);
    call->connected.Note(event.connectedId);
  }
  if (event.origin != 0) {
    call->origin = event.origin;
  }
  if (event.reason != 0) {
    call->reason = event.reason;
  }
  if (event.originOrReason != 0) {
    call->originOrReason = event.originOrReason;
  }
  if (open == nullptr) {
    return;  // after its end: the identifiers only
  }
  call->lastSeen = time;
  call->lastElapsed = lastElapsed_;
  if (isState) {
    StateChange change;
    change.time = time;
    change.elapsed = lastElapsed_;
    change.state = state;
    change.mode = event.param2;
    change.lineNumber = static_cast<std::uint32_t>(std::min<std::uint64_t>(lineNumber_, UINT32_MAX));
    if (keepLines_) {
      report_.stateLines.emplace_back(currentLine_);
      change.lineText = static_cast<std::uint32_t>(report_.stateLines.size());
    }
    call->states.push_back(std::move(change));
    if (state == LINECALLSTATE_IDLE) {
      call->ended = true;
      const CallIndex index = *open;
      open_.Erase(event.handle);
      if (sink_) {
        HandOn(index);
        recentlyEnded_.Add(event.handle);
      } else {
        endedLately_.emplace_back(event.handle, index);
      }
    }
  }
}

}  // namespace ordalyn::report
