// TQVersionLabel: a read-only label showing one field of the running
// executable's version information, optionally behind a prefix. Its text is
// always computed (see VersionLabelText); no caller sets it.
#pragma once

#include <QLabel>
#include <optional>
#include <string>

#include "widgets/versioninfostore.h"
#include "widgets/versionlabeltext.h"

namespace ordalyn {

class TQVersionLabel : public QLabel {
  Q_OBJECT

 public:
  // A label on the program's own version information.
  explicit TQVersionLabel(QWidget* parent = nullptr);
  // A label on the given store, which must outlive it.
  explicit TQVersionLabel(const VersionInfoStore& store, QWidget* parent = nullptr);

  void setFileVersionPart(TFileVersionPart value);
  TFileVersionPart fileVersionPart() const;
  void setVersionResource(TVersionResources value);
  TVersionResources versionResource() const;
  void setVersionResourceKey(const std::string& value);
  std::string versionResourceKey() const;
  void setInfoPrefix(const std::string& value);
  std::string infoPrefix() const;
  void setShowInfoPrefix(bool value);
  bool showInfoPrefix() const;
  void setLangCharset(const std::string& value);
  std::string langCharset() const;

  // On (the default): every refresh sizes the label to its text; a
  // right-aligned label keeps its right edge, any other its left edge.
  void setAutoSize(bool value);
  bool autoSize() const;

  // The shown text in code page 1252, as the log header copies it.
  std::string Caption() const;
  // Refreshes so far, those of the construction included.
  int refreshCount() const;

 private:
  // The text is computed, never set from outside.
  using QLabel::setText;

  void ShowCaption(const std::string& caption);
  void FitToText();

  bool autoSize_ = true;
  std::optional<VersionLabelText> text_;
};

}  // namespace ordalyn
