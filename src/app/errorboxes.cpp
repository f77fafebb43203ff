#include "app/errorboxes.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <stdexcept>

#include "widgets/cp1252.h"

namespace ordalyn {

namespace {

void ShowCriticalBox(const QString& text) {
  QMessageBox::critical(QApplication::activeWindow(), QStringLiteral("Ordalyn"), text);
}

// One line on standard error: whoever started the program from a script or a
// remote shell sees no box.
void PrintLine(const QString& text) {
  QString line = text;
  line.replace(QLatin1String("\r\n"), QLatin1String(" ")).replace(QLatin1Char('\n'), QLatin1Char(' '));
  line.replace(QLatin1Char('\r'), QLatin1Char(' '));
  std::fprintf(stderr, "ordalyn: %s\n", line.toLocal8Bit().constData());
  std::fflush(stderr);
}

}  // namespace

ErrorBoxes::ErrorBoxes() : show_(ShowCriticalBox) {}

std::string ErrorText(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    return e.what();
  } catch (...) {
    return "Unknown error";
  }
}

void ErrorBoxes::Report(std::exception_ptr error) { Report(ErrorText(error)); }

void ErrorBoxes::Report(const std::string& text) {
  const QString message = FromCp1252(text);
  PrintLine(message);
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
