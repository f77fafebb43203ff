#include "app/uDevices.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include "tapi/lineinventory.h"
#include "widgets/QLineLabel.h"
#include "widgets/cp1252.h"

namespace ordalyn {

TFMDevices::TFMDevices(TapiPlatform& platform, TapiState& state, QWidget* owner)
    : TFixedDialog(owner, "FMDevices", QStringLiteral("TAPI Lines"), kClientWidth, kClientHeight) {
  // Closed with OK or the title bar's close button; Escape has no effect.
  IgnoreEscape();
  qLineLabel1_ = new TQLineLabel(QStringLiteral("TAPI Lines"), this);
  qLineLabel1_->setObjectName("QLineLabel1");
  qLineLabel1_->setGeometry(8, 8, 513, 13);

  meDevices_ = new QPlainTextEdit(this);
  meDevices_->setObjectName("MEDevices");
  meDevices_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  meDevices_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  meDevices_->setGeometry(8, 28, 513, 253);

  lbCount_ = new QLabel(QStringLiteral("0            "), this);
  lbCount_->setObjectName("LBCount");
  lbCount_->setGeometry(12, 298, 42, 13);

  label1_ = new QLabel(QStringLiteral("Lines found"), this);
  label1_->setObjectName("Label1");
  label1_->setGeometry(40, 298, 55, 13);
  label1_->adjustSize();  // the text keeps its full width where Tahoma is missing

  btOK_ = new QPushButton(QStringLiteral("OK"), this);
  btOK_->setObjectName("BTOK");
  btOK_->setDefault(true);
  btOK_->setGeometry(446, 290, 75, 23);
  connect(btOK_, &QPushButton::clicked, this, &QDialog::accept);

  setTabOrder(btOK_, meDevices_);
  btOK_->setFocus();

  FormCreate(platform, state);
}

void TFMDevices::FormCreate(TapiPlatform& platform, TapiState& state) {
  meDevices_->clear();
  std::vector<std::string> list;
  const DWORD count = EnumerateLines(platform, state, list, true);
  QStringList lines;
  for (const auto& entry : list) {
    lines << FromCp1252(entry);
  }
  meDevices_->setPlainText(lines.join(QLatin1Char('\n')));
  lbCount_->setText(QString::number(count));
}

}  // namespace ordalyn
