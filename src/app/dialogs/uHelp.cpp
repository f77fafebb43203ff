#include "app/dialogs/uHelp.h"

#include <QFontMetrics>
#include <QPlainTextEdit>
#include <QPushButton>

namespace ordalyn {

namespace {

constexpr std::array<const char*, 17> kUsageLines = {
    "Ordalyn   ",
    "==================================================",
    "",
    "",
    "Comandline-Options",
    "--------------------------------------------------------------------",
    "Ordalyn -# filename\ttraces TAPI-Line No. # into filename",
    "",
    "Within the filename you can use the following macros:",
    "",
    "\t#computer# \twill be replaced by computer name",
    "\t#date# \t\twill be replaced by current date",
    "\t#time# \t\twill be replaced by current time",
    "",
    "Example:",
    "Ordalyn -4 tapilog_#date#_#time#.log\t",
    "This will trace TAPI-Line No. 4 into filename 'tapilog_2011-09-01_20-10.log'",
};

}  // namespace

const std::array<const char*, 17>& TFMHelp::UsageLines() { return kUsageLines; }

std::string TFMHelp::UsageText() {
  std::string text;
  for (std::size_t i = 0; i < kUsageLines.size(); ++i) {
    if (i > 0) text += '\n';
    text += kUsageLines[i];
  }
  return text;
}

TFMHelp::TFMHelp(QWidget* owner) : TFixedDialog(owner, "FMHelp", kCaption, kClientWidth, kClientHeight) {
  // "OK" comes first in the tab order.
  btOK_ = new QPushButton("OK", this);
  btOK_->setObjectName("BTOK");
  btOK_->setGeometry(416, 276, 75, 23);
  btOK_->setAutoDefault(true);
  btOK_->setDefault(true);
  connect(btOK_, &QPushButton::clicked, this, &QDialog::accept);

  memo1_ = new QPlainTextEdit(this);
  memo1_->setObjectName("Memo1");
  memo1_->setGeometry(8, 8, 485, 258);
  memo1_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo1_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  memo1_->setLineWrapMode(QPlainTextEdit::WidgetWidth);
  memo1_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  // Tab stops every eight average characters, as in a standard multi-line edit;
  // the Tab key moves between the controls, the text keeps its tab characters.
  memo1_->setTabStopDistance(8.0 * QFontMetrics(font()).averageCharWidth());
  memo1_->setTabChangesFocus(true);
  memo1_->setPlainText(QString::fromLatin1(UsageText().c_str()));

  btOK_->setFocus();
}

}  // namespace ordalyn
