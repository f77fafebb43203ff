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
  if (ending_) {
    std::fprintf(stderr, "Ordalyn: %s\n", message.toLocal8Bit().constData());
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
