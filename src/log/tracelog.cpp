#include "log/tracelog.h"

#include <utility>

#include "log/tracelayout.h"
#include "util/ioerror.h"
#include "util/utools.h"

namespace ordalyn {

namespace {

constexpr char kLineEnd[] = "\r\n";

}  // namespace

TraceLog::TraceLog(ScreenLog& screen, const Clock& clock, std::string timeSeparator,
                   TextSource buildLabelText, TextSource copyrightLabelText, std::unique_ptr<OutputFile> file)
    : screen_(screen),
      clock_(clock),
      timeSeparator_(std::move(timeSeparator)),
      buildLabelText_(std::move(buildLabelText)),
      copyrightLabelText_(std::move(copyrightLabelText)),
      file_(std::move(file)) {}

TraceLog::~TraceLog() {
  try {
    if (file_ && file_->IsOpen()) {
      CloseBackgroundFile();
    }
  } catch (...) {
    // Nobody is left to tell.
  }
}

void TraceLog::AppendStamp(std::string& line, const LocalDateTime& time, const std::string& separator) {
  AppendDecimal(line, time.hour, 2);
  line += separator;
  AppendDecimal(line, time.minute, 2);
  line += separator;
  AppendDecimal(line, time.second, 2);
  line += separator;
  AppendDecimal(line, time.millisecond, 3);
}

std::string TraceLog::Stamp(const LocalDateTime& time, const std::string& separator) {
  std::string stamp;
  AppendStamp(stamp, time, separator);
  return stamp;
}

void TraceLog::LogLine(const std::string& text) {
  std::string line;
  line.reserve(16 + 3 * timeSeparator_.size() + text.size());
  AppendStamp(line, clock_.Now(), timeSeparator_);
  line += traceformat::kStampEnd;
  line += text;
  Write(line);
}

void TraceLog::LogSeparator() {
  Write(std::string(traceformat::kSeparatorWidth, traceformat::kSeparatorChar));
}

void TraceLog::LogHeader() {
  WriteAllOf([this] {
    Write(std::string(traceformat::kHeaderStart) + (buildLabelText_ ? buildLabelText_() : std::string()));
    Write(copyrightLabelText_ ? copyrightLabelText_() : std::string());
    Write(std::string(traceformat::kHeaderRuleWidth, traceformat::kHeaderRuleChar));
    Write(std::string());
  });
}

void TraceLog::WriteAllOf(const std::function<void()>& operation) {
  if (writingAll_) {
    operation();
    return;
  }
  writingAll_ = true;
  try {
    operation();
  } catch (...) {
    writingAll_ = false;
    firstFailure_.reset();
    throw;
  }
  writingAll_ = false;
  if (firstFailure_) {
    const IoError failure = *firstFailure_;
    firstFailure_.reset();
    throw failure;
  }
}

void TraceLog::Write(const std::string& line) {
  if (fileName_.empty()) {
    screen_.AppendLine(line);
    return;
  }
  try {
    WriteToFile(line);
  } catch (const IoError& error) {
    if (!writingAll_) {
      throw;
    }
    if (!firstFailure_) {
      firstFailure_ = error;
    }
  }
}

void TraceLog::OpenBackgroundFile() {
  if (file_->IsOpen()) {
    CloseBackgroundFile();
  }
  waiting_.clear();
  droppedLines_ = 0;
  keptText_ = false;
  fileLost_ = false;
  if (const int error = file_->Create(fileName_); error != 0) {
    throw CreateFileError(error, fileName_);
  }
}

void TraceLog::CloseBackgroundFile() {
  if (!file_->IsOpen()) {
    throw IoError::NotOpenForOutput(fileName_);
  }
  if (droppedLines_ > 0) {
    waiting_ += DroppedLinesNote();
    droppedLines_ = 0;
  }
  const int writeError = WriteOut(true);
  const std::size_t lost = waiting_.size();
  textLost_ = textLost_ || lost > 0;
  waiting_.clear();
  keptText_ = false;
  const int closeError = file_->Close();
  if (writeError != 0) {
    const IoError error = IoError::FromOs(writeError, "Cannot write to file", fileName_);
    throw IoError(writeError,
                  std::string(error.what()) + "; " + std::to_string(lost) +
                      " bytes of trace text could not be written before closing",
                  fileName_);
  }
  if (closeError != 0) {
    throw IoError::FromOs(closeError, "Cannot close file", fileName_);
  }
}

bool TraceLog::BackgroundFileOpen() const { return file_->IsOpen(); }

void TraceLog::WriteToFile(const std::string& line) {
  if (!file_->IsOpen()) {
    throw IoError::NotOpenForOutput(fileName_);
  }
  const std::string note = droppedLines_ > 0 ? DroppedLinesNote() : std::string();
  const std::size_t needed = note.size() + line.size() + 2;
  if (!waiting_.empty() && waiting_.size() + needed > kMaxBacklog) {
    // The file has refused text for a while: try to make room first.
    const int error = WriteOut(true);
    if (!waiting_.empty() && waiting_.size() + needed > kMaxBacklog) {
      ++droppedLines_;
      textLost_ = true;
      KeepText();
      const IoError cause = IoError::FromOs(error, "Cannot write to file", fileName_);
      throw IoError(error,
                    std::string(cause.what()) + "; more than " + std::to_string(kMaxBacklog / (1024 * 1024)) +
                        " MiB of trace text are waiting for the file, so this line was dropped",
                    fileName_);
    }
  }
  if (droppedLines_ > 0) {
    waiting_ += note;
    droppedLines_ = 0;
  }
  waiting_ += line;
  waiting_ += kLineEnd;
  if (const int error = WriteOut(false); error != 0) {
    KeepText();
    throw IoError::FromOs(error, "Cannot write to file", fileName_);
  }
  // What still waits is less than a buffer: the ordinary lag.
  keptText_ = false;
}

void TraceLog::RetryKeptText() {
  if (!keptText_ || !file_->IsOpen() || WriteOut(true) != 0) {
    return;
  }
  if (droppedLines_ > 0) {
    waiting_ = DroppedLinesNote();
    droppedLines_ = 0;
    if (WriteOut(true) != 0) {
      return;
    }
  }
  keptText_ = false;
}

void TraceLog::KeepText() {
  if (!keptText_) {
    keptText_ = true;
    if (keptTextListener_) {
      keptTextListener_();
    }
  }
}

// Writes out the waiting text: all of it, or only whole buffers. Gives 0 or
// the code of the failed write; what the file did not take stays waiting.
int TraceLog::WriteOut(bool everything) {
  const std::size_t size = everything ? waiting_.size() : waiting_.size() - waiting_.size() % kBufferSize;
  if (size == 0) {
    return 0;
  }
  const OutputFile::WriteResult result = file_->Write(waiting_.data(), size);
  waiting_.erase(0, result.written < size ? result.written : size);
  if (result.error != 0 && !fileLost_ && WriteErrorIsFinal(result.error)) {
    fileLost_ = true;
    if (fileLostListener_) {
      fileLostListener_();
    }
  }
  return result.error;
}

std::string TraceLog::DroppedLinesNote() const {
  return "*** " + std::to_string(droppedLines_) + (droppedLines_ == 1 ? " trace line" : " trace lines") +
         " dropped while the file could not be written ***" + kLineEnd;
}

}  // namespace ordalyn
