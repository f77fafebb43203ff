#include "app/errorboxes.h"

#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <cstdio>
#include <stdexcept>

#include "util/ioerror.h"
#include "widgets/cp1252.h"

namespace ordalyn {

namespace {

void ShowCriticalBox(const QString& text) {
  QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Ordalyn"), text);
}

// One line on standard error: whoever started the program from a script or a
// remote shell sees no box.
void PrintToStandardError(const QString& text) {
  QString line = text;
  line.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
  line.replace(QLatin1Char('\r'), QLatin1Char(' '));
  std::fprintf(stderr, "ordalyn: %s\n", line.toLocal8Bit().constData());
  std::fflush(stderr);
}

}  // namespace

ErrorBoxes::ErrorBoxes() : show_(ShowCriticalBox), print_(PrintToStandardError) { SetNow(nullptr); }

void ErrorBoxes::SetPrintLine(PrintLine print) { print_ = print ? std::move(print) : PrintToStandardError; }

void ErrorBoxes::SetNow(Now now) {
  now_ = now ? std::move(now) : Now([] { return std::chrono::steady_clock::now(); });
}

std::string ErrorText(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

QString ErrorMessage(std::exception_ptr error) {
  const std::string text = ErrorText(error);
  try {
    std::rethrow_exception(error);
  } catch (const IoError& io) {
    const std::string quoted = "\"" + io.FileName() + "\"";
    const std::size_t at = io.FileName().empty() ? std::string::npos : text.find(quoted);
    if (at != std::string::npos) {
#ifdef _WIN32
      const QString name = FromCp1252(io.FileName());  // the ANSI code page
#else
      const QString name = QFile::decodeName(QByteArray::fromStdString(io.FileName()));
#endif
      return FromCp1252(text.substr(0, at + 1)) + name + FromCp1252(text.substr(at + quoted.size() - 1));
    }
  } catch (...) {
  }
  return FromCp1252(text);
}

void ErrorBoxes::Report(std::exception_ptr error) { ReportText(ErrorMessage(error)); }

void ErrorBoxes::Report(const std::string& text) { ReportText(FromCp1252(text)); }

void ErrorBoxes::PrintOnce(const QString& message) {
  const auto now = now_();
  if (message == repeated_) {
    ++repeats_;
    if (now - repeatedSince_ >= kRepeatInterval) {
      PrintRepeats();
      repeatedSince_ = now;
    }
    return;
  }
  FlushRepeats();
  print_(message);
  repeated_ = message;
  repeatedSince_ = now;
}

void ErrorBoxes::PrintRepeats() {
  if (repeats_ != 0) {
    print_(QStringLiteral("%1 (%2 more %3)")
               .arg(repeated_)
               .arg(repeats_)
               .arg(repeats_ == 1 ? QLatin1String("time") : QLatin1String("times")));
    repeats_ = 0;
  }
}

void ErrorBoxes::FlushRepeats() {
  PrintRepeats();
  repeated_.clear();
}

void ErrorBoxes::ReportText(const QString& message) {
  PrintOnce(message);
  if (ending_) {
    return;
  }
  if (showing_) {
    for (auto& [known, count] : gathered_) {
      if (known == message) {
        ++count;
        return;
      }
    }
    if (gathered_.size() < kMaxGatheredKinds) {
      gathered_.emplace_back(message, 1);
    } else {
      ++gatheredOthers_;
    }
    return;
  }
  showing_ = true;
  try {
    show_(message);
    while (!ending_ && (!gathered_.empty() || gatheredOthers_ != 0)) {
      show_(TakeGathered());
    }
  } catch (...) {
    showing_ = false;
    throw;
  }
  showing_ = false;
}

QString ErrorBoxes::TakeGathered() {
  QStringList parts;
  for (const auto& [text, count] : gathered_) {
    parts << (count == 1 ? text : QStringLiteral("%1 (%2 times)").arg(text).arg(count));
  }
  if (gatheredOthers_ != 0) {
    parts << QStringLiteral("... and %1 further errors").arg(gatheredOthers_);
  }
  gathered_.clear();
  gatheredOthers_ = 0;
  return parts.join(QLatin1Char('\n'));
}

bool ErrorBoxes::Guard(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (...) {
    Report(std::current_exception());
    return false;
  }
}

ErrorBoxes& GeneralErrorHandler() {
  static ErrorBoxes handler;
  return handler;
}

}  // namespace ordalyn
