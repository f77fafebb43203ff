// Reads Ordalyn traces into calls and sessions, piece by piece, so that a
// trace of any length is read in one pass and memory grows with the calls,
// not with the lines. Plain C++: no Qt.
//
// It reads what the program writes, on screen, in saved logs and in
// background files: code page 1252, lines ending CR LF or LF, stamps
// "hh:nn:ss:zzz" with any one-character time separator, the log header and
// separators, several logon-logoff sessions. A line that is none of these,
// or a trace line whose pieces do not agree (its names against its raw
// parameters), is counted as skipped and changes nothing.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/callmodel.h"

namespace ordalyn::report {

class TraceReader {
 public:
  // With keepLines, every state change keeps its whole trace line (for the
  // timeline's hover texts).
  explicit TraceReader(bool keepLines = false) : keepLines_(keepLines) {}

  // The next bytes of the current input; a line may run across pieces.
  void Feed(std::string_view bytes);
  // The end of one input: a last line without a line end is read now. The
  // next input goes on in the same day count and the same open calls, as if
  // the files had been joined.
  void EndInput();
  // What was read; call once, after the last EndInput.
  Report Finish();

 private:
  void ReadLine(std::string_view line, bool cut);
  bool ReadText(std::string_view text, TraceTime time);
  bool ReadCallLine(DWORD message, std::string_view rest, TraceTime time);
  bool ReadResult(std::string_view step, std::string_view result, TraceTime time);
  bool ReadLogon(std::string_view text);
  Session& CurrentSession();
  void StartSession();
  void EndSession();
  Call& BeginCall(DWORD handle, TraceTime time);
  TraceTime Absolute(std::int64_t timeOfDay);

  bool keepLines_;
  Report report_;
  std::string pending_;  // the start of a line whose end has not come yet
  std::uint64_t lineNumber_ = 0;
  std::int64_t lastTimeOfDay_ = -1;
  std::int64_t day_ = 0;
  bool haveSession_ = false;
  bool sessionTimed_ = false;
  int headerLinesLeft_ = 0;       // after "Ordalyn - ": copyright, rule, empty line
  int errorTextLinesLeft_ = 0;    // an error text with line breaks runs on
  std::string_view currentLine_;  // the line being read, for keepLines
  // The calls not yet IDLE: handle and index in report_.calls. There are
  // only a few at any time.
  std::vector<std::pair<DWORD, std::size_t>> openCalls_;
  std::size_t* OpenCall(DWORD handle);
  void CloseCall(DWORD handle);
};

}  // namespace ordalyn::report
