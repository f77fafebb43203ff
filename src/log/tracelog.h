// The trace log: stamps trace lines and sends every line either to the
// on-screen log or, in background mode, to the background file.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "log/outputfile.h"
#include "log/tracesink.h"
#include "util/clock.h"
#include "util/ioerror.h"

namespace ordalyn {

// The on-screen log: every call appends one whole line (no line break) at its end.
class ScreenLog {
 public:
  virtual ~ScreenLog() = default;
  virtual void AppendLine(const std::string& line) = 0;
};

// Background mode means that BackgroundFileName is not empty; it is tested at
// every write. In background mode each line goes to the file followed by
// CR LF, byte for byte as given, through a write buffer of kBufferSize bytes
// that is written out whenever it fills and when the file is closed.
//
// A write the file refuses (a full disk, say) raises IoError at that line;
// inside WriteAllOf the operation goes on and the error is raised at its end.
// The refused text is kept, in order, and written out before anything newer
// once the file takes data again: with the next line, or by RetryKeptText,
// which the owner calls about once a second while KeptText() holds. At most
// kMaxBacklog bytes are kept: a line that does not fit any more is dropped
// with an IoError saying so, and once lines fit again the file gets the line
// "*** N trace line(s) dropped while the file could not be written ***" in the
// place of the dropped ones.
class TraceLog : public TraceSink {
 public:
  using TextSource = std::function<std::string()>;

  static constexpr std::size_t kBufferSize = 128;
  static constexpr std::size_t kMaxBacklog = 4 * 1024 * 1024;

  // screen and clock must outlive the log. buildLabelText and copyrightLabelText give the texts that the
  // build and copyright labels show at the moment of the call (used by LogHeader).
  TraceLog(ScreenLog& screen, const Clock& clock, std::string timeSeparator, TextSource buildLabelText,
           TextSource copyrightLabelText, std::unique_ptr<OutputFile> file = MakeSystemOutputFile());
  // Writes out what is waiting and closes a file still open; errors are ignored.
  ~TraceLog() override;
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  // The stamp "hh:nn:ss:zzz" (each ":" replaced by the time separator), " | ", text.
  void LogLine(const std::string& text) override;
  // 92 "-", unstamped.
  void LogSeparator() override;
  // "Ordalyn - " + build label text, copyright label text, 48 "=", an empty
  // line; unstamped. In the file each line is written and tested on its own;
  // all four are written, and the first failure is raised after the last.
  void LogHeader() override;

  // Runs operation (a logon, a logoff) with every write tried: a write the
  // file refuses does not stop it, and the first such IoError is raised once
  // it has finished. Anything else it throws passes at once.
  void WriteAllOf(const std::function<void()>& operation);

  // True from a write the file refused until the kept text has been written.
  bool KeptText() const { return keptText_; }
  // Tries once to write out all of the kept text (and the note of dropped
  // lines). A failure is not raised again: it was when the text was refused.
  void RetryKeptText();
  // Called whenever KeptText() turns true.
  void SetKeptTextListener(std::function<void()> listener) { keptTextListener_ = std::move(listener); }
  // Called once, from inside the failing write, when the file refuses text
  // for good (the reader of a pipe has gone): nothing kept will ever reach it.
  void SetFileLostListener(std::function<void()> listener) { fileLostListener_ = std::move(listener); }
  bool FileLost() const { return fileLost_; }
  // True once trace text meant for the file never reached it: lines dropped
  // while it refused text for long, or text still kept when it was closed.
  bool TextLost() const { return textLost_; }

  void SetBackgroundFileName(const std::string& fileName) { fileName_ = fileName; }
  const std::string& BackgroundFileName() const { return fileName_; }

  // Creates the file named by BackgroundFileName, or empties it; writes no
  // line of its own. A file still open is closed first. Throws IoError.
  void OpenBackgroundFile();
  // Writes out the buffer and closes the file; the file is closed afterwards
  // even when this throws IoError. Throws the "not open for output" IoError
  // when no file is open.
  void CloseBackgroundFile();
  bool BackgroundFileOpen() const;

  // Bytes taken for the file and not yet written to it.
  std::size_t WaitingBytes() const { return waiting_.size(); }

  // "hh:nn:ss:zzz" with every ":" replaced by separator.
  static std::string Stamp(const LocalDateTime& time, const std::string& separator);

 private:
  static void AppendStamp(std::string& line, const LocalDateTime& time, const std::string& separator);
  void Write(const std::string& line);
  void WriteToFile(const std::string& line);
  int WriteOut(bool everything);
  std::string DroppedLinesNote() const;

  ScreenLog& screen_;
  const Clock& clock_;
  std::string timeSeparator_;
  TextSource buildLabelText_;
  TextSource copyrightLabelText_;
  std::unique_ptr<OutputFile> file_;
  std::string fileName_;
  void KeepText();

  std::string waiting_;
  std::size_t droppedLines_ = 0;
  bool keptText_ = false;
  std::function<void()> keptTextListener_;
  std::function<void()> fileLostListener_;
  bool fileLost_ = false;
  bool textLost_ = false;
  bool writingAll_ = false;
  std::optional<IoError> firstFailure_;
};

}  // namespace ordalyn
