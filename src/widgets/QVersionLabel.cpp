#include "widgets/QVersionLabel.h"

#include <QStyle>

#include "widgets/cp1252.h"

namespace ordalyn {

TQVersionLabel::TQVersionLabel(QWidget* parent) : TQVersionLabel(ProgramVersionStore(), parent) {}

TQVersionLabel::TQVersionLabel(const VersionInfoStore& store, QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setWordWrap(false);
  autoSize_ = true;
  // Showing the prefix, the first translation and the file version: the text
  // logic assigns them through its setters, each refresh reaching the label.
  text_.emplace(store, [this](const std::string& caption) { ShowCaption(caption); });
}

void TQVersionLabel::setFileVersionPart(TFileVersionPart value) { text_->SetFileVersionPart(value); }
TFileVersionPart TQVersionLabel::fileVersionPart() const { return text_->FileVersionPart(); }

void TQVersionLabel::setVersionResource(TVersionResources value) { text_->SetVersionResource(value); }
TVersionResources TQVersionLabel::versionResource() const { return text_->VersionResource(); }

void TQVersionLabel::setVersionResourceKey(const std::string& value) { text_->SetVersionResourceKey(value); }
std::string TQVersionLabel::versionResourceKey() const { return text_->VersionResourceKey(); }

void TQVersionLabel::setInfoPrefix(const std::string& value) { text_->SetInfoPrefix(value); }
std::string TQVersionLabel::infoPrefix() const { return text_->InfoPrefix(); }

void TQVersionLabel::setShowInfoPrefix(bool value) { text_->SetShowInfoPrefix(value); }
bool TQVersionLabel::showInfoPrefix() const { return text_->ShowInfoPrefix(); }

void TQVersionLabel::setLangCharset(const std::string& value) { text_->SetLangCharset(value); }
std::string TQVersionLabel::langCharset() const { return text_->LangCharset(); }

void TQVersionLabel::setAutoSize(bool value) {
  if (value == autoSize_) {
    return;
  }
  autoSize_ = value;
  if (autoSize_) {
    FitToText();
  }
}

bool TQVersionLabel::autoSize() const { return autoSize_; }

std::string TQVersionLabel::Caption() const { return text_->Caption(); }

int TQVersionLabel::refreshCount() const { return text_->RefreshCount(); }

void TQVersionLabel::ShowCaption(const std::string& caption) {
  QLabel::setText(FromCp1252(caption));
  if (autoSize_) {
    FitToText();
  }
}

void TQVersionLabel::FitToText() {
  const QSize size = sizeHint();
  if (size == this->size()) {
    return;
  }
  const bool keepRightEdge = (QStyle::visualAlignment(layoutDirection(), alignment()) & Qt::AlignRight) != 0;
  const int left = keepRightEdge ? x() + width() - size.width() : x();
  setGeometry(left, y(), size.width(), size.height());
}

}  // namespace ordalyn
