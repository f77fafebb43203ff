// Reads Ordalyn traces into calls and sessions, piece by piece, so that a
// trace of any length is read in one pass and memory grows with the calls,
// not with the lines. Plain C++: no Qt.
//
// It reads what the program writes, on screen, in saved logs and in
// background files, with the grammar the tracer writes with
// (tapi/traceformat.h): lines ending CR LF, LF or CR, stamps "hh:nn:ss:zzz"
// with any one-character time separator, the log header and separators,
// several logon-logoff sessions. A line that is none of these, or a trace
// line whose pieces do not agree (its names against its raw parameters), is
// counted as skipped and changes nothing. A line longer than kMaxLineBytes
// is skipped without being held.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/callmodel.h"
#include "report/callstream.h"
#include "tapi/traceformat.h"

namespace ordalyn::report {

// How the bytes of the input are read.
enum class InputEncoding {
  kAuto,    // UTF-8 when the input is valid UTF-8 with a multi-byte sequence, else code page 1252
  kCp1252,  // always code page 1252
  kUtf8,    // always UTF-8
};

class TraceReader {
 public:
  static constexpr std::size_t kMaxLineBytes = 64 * 1024;

  // With keepLines, every state change keeps its whole trace line (for the
  // timeline's hover texts).
  explicit TraceReader(bool keepLines = false, InputEncoding encoding = InputEncoding::kAuto)
      : keepLines_(keepLines), encoding_(encoding) {}

  // The next bytes of the current input; a line may run across pieces.
  void Feed(std::string_view bytes);
  // The end of one input: a last line without a line end is read now. The
  // next input goes on in the same day count and the same open calls, as if
  // the files had been joined.
  void EndInput();
  // What was read; call once, after the last EndInput.
  Report Finish();

  // How many ended handles a streaming reader remembers.
  static constexpr std::size_t kRecentHandles = 4096;
  // A call and whether its texts are UTF-8 (by the bytes read so far).
  using CallSink = std::function<void(const Call& call, bool utf8)>;
  // Hands every call to sink as it ends and then forgets it, so that memory
  // stays bounded by the calls open at once: at IDLE, when a new
  // LINE_APPNEWCALL ends it, and the calls still open when their session
  // ends or in Finish (oldest first, without the calls that never had a
  // state). The Report from Finish then holds no calls. Lines for one of the
  // last kRecentHandles ended handles that begin no new call are counted in
  // Report::linesAfterEnd and change nothing. Call before the first Feed.
  void StreamCalls(CallSink sink) { sink_ = std::move(sink); }
  // Whether the texts read so far are UTF-8, as Finish would decide now.
  bool Utf8SoFar() const;
  // How many log headers were read so far below the first line of their
  // input: new traces written after an earlier one.
  std::uint64_t LaterHeadersSoFar() const { return laterHeaders_; }

 private:
  // A call's place in report_.calls. 32 bits: a trace of more calls than
  // that would not fit into memory.
  using CallIndex = std::uint32_t;

  // Handles and their calls, kept in one array that is searched from the
  // handle's own place on: no memory of its own for each handle, and one look
  // a line. Handle 0 (no call) is never kept: it marks a free slot.
  class HandleTable {
   public:
    CallIndex* Find(DWORD handle);
    // The entry of a handle that has none yet.
    CallIndex& Insert(DWORD handle);
    void Erase(DWORD handle);
    void Clear();
    template <typename Visit>
    void ForEach(const Visit& visit) const {
      for (const Slot& slot : slots_) {
        if (slot.handle != 0) {
          visit(slot.index);
        }
      }
    }

   private:
    struct Slot {
      DWORD handle = 0;
      CallIndex index = 0;
    };
    std::size_t Home(DWORD handle) const;
    void Grow();

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
  };

  void ReadLine(std::string_view line, bool cut);
  void NoteEncoding(std::string_view bytes);
  bool ReadText(std::string_view text, TraceTime time);
  void ReadEvent(const EventLineView& event, TraceTime time);
  bool ReadResult(std::string_view step, std::string_view result, TraceTime time);
  bool ReadLogon(std::string_view text);
  Session& CurrentSession();
  void StartSession();
  void EndSession();
  // A new call for the handle; open is the handle's entry among the open
  // calls, made when it is null.
  Call& BeginCall(DWORD handle, TraceTime time, CallIndex*& open);
  // The ended call of a handle that has no open call, or null.
  const CallIndex* FindEnded(DWORD handle);
  void ForgetHandles();
  void HandOn(std::size_t index);
  void HandOnOpenCalls();
  TraceTime Absolute(std::int64_t timeOfDay);

  bool keepLines_;
  InputEncoding encoding_;
  Report report_;
  std::string pending_;          // the start of a line whose end has not come yet
  bool pendingTooLong_ = false;  // the line coming in is longer than kMaxLineBytes
  bool afterCr_ = false;         // the last line ended with CR: an LF right after it belongs to it
  std::uint64_t lineNumber_ = 0;
  std::int64_t lastTimeOfDay_ = -1;
  std::int64_t day_ = 0;
  TraceTime elapsed_ = 0;  // the time that never goes back
  TraceTime lastElapsed_ = 0;
  bool haveSession_ = false;
  bool sessionTimed_ = false;
  int headerLinesLeft_ = 0;       // after the header's first line: copyright, rule, empty line
  int errorTextLinesLeft_ = 0;    // an error text with line breaks runs on
  std::string_view currentLine_;  // the line being read, for keepLines
  // UTF-8 recognition over all inputs: continuation bytes still expected,
  // whether a multi-byte sequence was seen, whether a byte broke the rules.
  int utf8Pending_ = 0;
  bool utf8MultiByte_ = false;
  bool utf8Invalid_ = false;
  // The handles of the session's open calls: few, and looked at on every line.
  HandleTable open_;
  // The session's ended calls by their handles (not when streaming): looked
  // at only for a line whose handle has no open call and that begins none.
  // They are gathered in the order they end and put into the table only then,
  // so that a trace without such lines never searches a table of every call.
  HandleTable ended_;
  std::vector<std::pair<DWORD, CallIndex>> endedLately_;
  // Streaming: where the calls go, the handles that ended last, and the
  // places in report_.calls that handed-on calls left free.
  CallSink sink_;
  RecentHandles recentlyEnded_{kRecentHandles};
  std::vector<std::size_t> freeSlots_;
  std::uint64_t laterHeaders_ = 0;
};

}  // namespace ordalyn::report
