// The usage help: its text byte for byte, its layout and its keys.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextCursor>

#include <string>

#include "app/dialogs/uHelp.h"
#include "dialogtesting.h"

namespace ordalyn {
namespace {

using testing::ExecWith;
using testing::OpenAndActivate;

// Written out independently of the program's table.
const std::string kExpectedUsage =
    "Ordalyn   \n"
    "==================================================\n"
    "\n"
    "\n"
    "Comandline-Options\n"
    "--------------------------------------------------------------------\n"
    "Ordalyn -# filename\ttraces TAPI-Line No. # into filename\n"
    "\n"
    "Within the filename you can use the following macros:\n"
    "\n"
    "\t#computer# \twill be replaced by computer name\n"
    "\t#date# \t\twill be replaced by current date\n"
    "\t#time# \t\twill be replaced by current time\n"
    "\n"
    "Example:\n"
    "Ordalyn -4 tapilog_#date#_#time#.log\t\n"
    "This will trace TAPI-Line No. 4 into filename 'tapilog_2011-09-01_20-10.log'";

std::string MemoText(const TFMHelp& help) { return help.Memo1()->toPlainText().toLatin1().toStdString(); }

TEST(Help, UsageTextByteForByte) {
  TFMHelp help;
  EXPECT_EQ(MemoText(help), kExpectedUsage);
  EXPECT_EQ(TFMHelp::UsageText(), kExpectedUsage);
  EXPECT_EQ(help.Memo1()->document()->blockCount(), 17);
  EXPECT_EQ(std::string(TFMHelp::UsageLines()[1]), std::string(50, '='));
  EXPECT_EQ(std::string(TFMHelp::UsageLines()[5]), std::string(68, '-'));
  EXPECT_EQ(std::string(TFMHelp::UsageLines()[0]), "Ordalyn   ");
  EXPECT_EQ(std::string(TFMHelp::UsageLines()[15]).back(), '\t');
}

TEST(Help, CaptionSizeAndControls) {
  TFMHelp help;
  EXPECT_EQ(help.objectName(), "FMHelp");
  EXPECT_EQ(help.windowTitle(), "How to use ...");
  EXPECT_EQ(help.size(), QSize(498, 306));
  EXPECT_EQ(help.minimumSize(), QSize(498, 306));
  EXPECT_EQ(help.maximumSize(), QSize(498, 306));
  EXPECT_FALSE(help.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(help.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(help.windowFlags().testFlag(Qt::WindowCloseButtonHint));

  EXPECT_EQ(help.findChild<QPlainTextEdit*>("Memo1"), help.Memo1());
  EXPECT_EQ(help.Memo1()->geometry(), QRect(8, 8, 485, 258));
  EXPECT_EQ(help.Memo1()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(help.Memo1()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
  EXPECT_EQ(help.Memo1()->lineWrapMode(), QPlainTextEdit::WidgetWidth);
  EXPECT_FALSE(help.Memo1()->isReadOnly());

  EXPECT_EQ(help.findChild<QPushButton*>("BTOK"), help.BTOK());
  EXPECT_EQ(help.BTOK()->text(), "OK");
  EXPECT_EQ(help.BTOK()->geometry(), QRect(416, 276, 75, 23));
  EXPECT_TRUE(help.BTOK()->isDefault());
  EXPECT_EQ(testing::TabOrder(help), (QWidgetList{help.BTOK(), help.Memo1()}));
  EXPECT_EQ(help.focusWidget(), help.BTOK());
}

TEST(Help, EnterOnOkCloses) {
  TFMHelp help;
  EXPECT_EQ(ExecWith(help, [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }),
            QDialog::Accepted);
}

TEST(Help, OkAndCloseEndTheDialog) {
  TFMHelp help;
  EXPECT_EQ(ExecWith(help, [&] { QTest::mouseClick(help.BTOK(), Qt::LeftButton); }), QDialog::Accepted);
  EXPECT_EQ(ExecWith(help, [&] { help.close(); }), QDialog::Rejected);
  EXPECT_FALSE(help.isVisible());
}

// Unlike the questions, the help is a plain notice: Escape closes it.
TEST(Help, EscapeCloses) {
  TFMHelp help;
  EXPECT_EQ(ExecWith(help, [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); }),
            QDialog::Rejected);
}

TEST(Help, EnterInTheTextStartsANewLine) {
  TFMHelp help;
  QSignalSpy finished(&help, &QDialog::finished);
  ASSERT_TRUE(OpenAndActivate(help));
  help.Memo1()->setFocus(Qt::MouseFocusReason);
  help.Memo1()->moveCursor(QTextCursor::Start);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QCoreApplication::processEvents();
  EXPECT_TRUE(help.isVisible());
  EXPECT_EQ(finished.count(), 0);
  EXPECT_EQ(MemoText(help), "\n" + kExpectedUsage);
  help.accept();
}

TEST(Help, EditedTextSurvivesReopening) {
  TFMHelp help;
  ASSERT_EQ(ExecWith(help,
                     [&] {
                       help.Memo1()->setFocus(Qt::MouseFocusReason);
                       help.Memo1()->moveCursor(QTextCursor::End);
                       QTest::keyClicks(QApplication::focusWidget(), " edited");
                       help.BTOK()->click();
                     }),
            QDialog::Accepted);
  std::string seen;
  ASSERT_EQ(ExecWith(help,
                     [&] {
                       seen = MemoText(help);
                       help.BTOK()->click();
                     }),
            QDialog::Accepted);
  EXPECT_EQ(seen, kExpectedUsage + " edited");
}

TEST(Help, FocusInTheTextIsKeptForTheNextShowing) {
  TFMHelp help;
  ASSERT_EQ(ExecWith(help,
                     [&] {
                       QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                       help.close();
                     }),
            QDialog::Rejected);
  QWidget* focused = nullptr;
  ASSERT_EQ(ExecWith(help,
                     [&] {
                       focused = QApplication::focusWidget();
                       help.close();
                     }),
            QDialog::Rejected);
  EXPECT_EQ(focused, help.Memo1());
}

}  // namespace
}  // namespace ordalyn
