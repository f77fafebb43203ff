// The two closing questions: texts, layout, answers and keyboard behaviour.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontDatabase>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <functional>
#include <memory>
#include <ostream>

#include "app/dialogs/uSaveChanges.h"
#include "app/dialogs/uStopLog.h"
#include "dialogtesting.h"

namespace ordalyn {
namespace {

using testing::ExecWith;
using testing::OpenAndActivate;
using testing::ProcessUntil;

struct QuestionCase {
  const char* name;
  std::function<std::unique_ptr<TQuestionForm>(QWidget*)> make;
  const char* objectName;
  QSize clientSize;
  const char* caption;
  const char* heading;
  const char* question;  // the lines joined by "\n"
  int questionLines;
};

const QuestionCase kCases[] = {
    {"StopLog", [](QWidget* owner) { return std::make_unique<TFMStopLog>(owner); }, "FMStopLog",
     QSize(306, 137), "Stop logging", "Stop TAPI Logging",
     "Ordalyn is logging in the background.\nAre you really sure to stop logging \nand quit the application?",
     3},
    {"SaveChanges", [](QWidget* owner) { return std::make_unique<TFMSaveChanges>(owner); }, "FMSaveChanges",
     QSize(305, 138), "Unsaved changes", "Unsaved changes",
     "The Log-File has been changed but not saved.\nDo you still want to quit program?", 2},
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const QuestionCase& c, std::ostream* os) { *os << c.name; }

class QuestionTest : public ::testing::TestWithParam<QuestionCase> {
 protected:
  std::unique_ptr<TQuestionForm> Make(QWidget* owner = nullptr) { return GetParam().make(owner); }
};

TEST_P(QuestionTest, CaptionTextsAndFixedSize) {
  const QuestionCase& c = GetParam();
  auto dialog = Make();
  EXPECT_EQ(dialog->objectName(), c.objectName);
  EXPECT_EQ(dialog->windowTitle().toLatin1().toStdString(), c.caption);
  EXPECT_EQ(dialog->Label2()->text().toLatin1().toStdString(), c.heading);
  EXPECT_EQ(dialog->Label1()->text().toLatin1().toStdString(), c.question);
  EXPECT_EQ(dialog->Label1()->text().count('\n') + 1, c.questionLines);
  EXPECT_EQ(dialog->Label1()->textFormat(), Qt::PlainText);
  EXPECT_EQ(dialog->BTOK()->text(), "&Yes");
  EXPECT_EQ(dialog->BTCancel()->text(), "&Cancel");

  EXPECT_EQ(dialog->size(), c.clientSize);
  EXPECT_EQ(dialog->minimumSize(), c.clientSize);
  EXPECT_EQ(dialog->maximumSize(), c.clientSize);
  const Qt::WindowFlags flags = dialog->windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowContextHelpButtonHint));
  EXPECT_EQ(dialog->font().pixelSize(), 11);
  EXPECT_TRUE(dialog->Label2()->font().bold());
  EXPECT_FALSE(dialog->Label1()->font().bold());
}

TEST_P(QuestionTest, ControlsByNameAndPlace) {
  // Qt's offscreen platform under wine finds no font files: text widths
  // there are a fallback's.
  if (QFontDatabase::families().isEmpty()) GTEST_SKIP() << "no fonts: text widths mean nothing here";
  auto dialog = Make();
  struct Place {
    const char* name;
    QPoint topLeft;
    QSize size;  // empty: sized to its text
  };
  const Place places[] = {
      {"Image1", {12, 12}, {32, 32}},     {"Label2", {60, 12}, {}},       {"Bevel2", {60, 32}, {237, 2}},
      {"Label1", {60, 44}, {}},           {"Bevel1", {60, 92}, {237, 2}}, {"BTOK", {140, 104}, {75, 23}},
      {"BTCancel", {220, 104}, {75, 23}},
  };
  for (const Place& place : places) {
    SCOPED_TRACE(place.name);
    auto* widget = dialog->findChild<QWidget*>(place.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), dialog.get());
    EXPECT_EQ(widget->pos(), place.topLeft);
    if (!place.size.isEmpty()) {
      EXPECT_EQ(widget->size(), place.size);
    }
  }
  EXPECT_EQ(dialog->Image1()->pixmap().size(), QSize(32, 32));
  // The texts end before the rules' right edge and above the lower rule.
  for (QLabel* label : {dialog->Label1(), dialog->Label2()}) {
    EXPECT_LE(label->x() + label->width(), 60 + 237) << label->objectName().toStdString();
    EXPECT_EQ(label->size(), label->sizeHint());
  }
  EXPECT_LE(dialog->Label1()->geometry().bottom(), 92);
}

TEST_P(QuestionTest, CancelIsTheDefaultButYesIsFirstAndFocused) {
  auto dialog = Make();
  EXPECT_TRUE(dialog->BTCancel()->isDefault());
  EXPECT_FALSE(dialog->BTOK()->isDefault());
  EXPECT_EQ(dialog->focusWidget(), dialog->BTOK());
  EXPECT_EQ(testing::TabOrder(*dialog), (QWidgetList{dialog->BTOK(), dialog->BTCancel()}));
  ASSERT_TRUE(OpenAndActivate(*dialog));
  EXPECT_EQ(QApplication::focusWidget(), dialog->BTOK());
  dialog->reject();
}

TEST_P(QuestionTest, ButtonsAndCloseGiveTheirResults) {
  struct Answer {
    const char* name;
    std::function<void(TQuestionForm&)> act;
    int result;
  };
  const Answer answers[] = {
      {"Yes clicked", [](TQuestionForm& d) { QTest::mouseClick(d.BTOK(), Qt::LeftButton); },
       QDialog::Accepted},
      {"Cancel clicked", [](TQuestionForm& d) { QTest::mouseClick(d.BTCancel(), Qt::LeftButton); },
       QDialog::Rejected},
      {"title bar close", [](TQuestionForm& d) { d.close(); }, QDialog::Rejected},
  };
  for (const Answer& answer : answers) {
    SCOPED_TRACE(answer.name);
    auto dialog = Make();
    EXPECT_EQ(ExecWith(*dialog, [&] { answer.act(*dialog); }), answer.result);
    EXPECT_FALSE(dialog->isVisible());
  }
}

TEST_P(QuestionTest, EnterOnTheFirstShowingAnswersYes) {
  auto dialog = Make();
  const int result = ExecWith(*dialog, [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); });
  EXPECT_EQ(result, QDialog::Accepted);
}

TEST_P(QuestionTest, EnterOnCancelAnswersCancel) {
  auto dialog = Make();
  const int result = ExecWith(*dialog, [&] {
    dialog->BTCancel()->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
  });
  EXPECT_EQ(result, QDialog::Rejected);
}

TEST_P(QuestionTest, EscapeDoesNothing) {
  auto dialog = Make();
  QSignalSpy finished(dialog.get(), &QDialog::finished);
  ASSERT_TRUE(OpenAndActivate(*dialog));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  QTest::keyClick(dialog.get(), Qt::Key_Escape);
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(finished.count(), 0);
  dialog->close();
  ASSERT_EQ(finished.count(), 1);
  EXPECT_EQ(finished.at(0).at(0).toInt(), QDialog::Rejected);
}

TEST_P(QuestionTest, AcceleratorsChooseTheButtons) {
  struct Key {
    const char* name;
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
    int result;
  };
  const Key keys[] = {
      {"Alt+Y", Qt::Key_Y, Qt::AltModifier, QDialog::Accepted},
      {"Alt+C", Qt::Key_C, Qt::AltModifier, QDialog::Rejected},
      {"Y", Qt::Key_Y, Qt::NoModifier, QDialog::Accepted},
      {"C", Qt::Key_C, Qt::NoModifier, QDialog::Rejected},
  };
  for (const Key& key : keys) {
    SCOPED_TRACE(key.name);
    auto dialog = Make();
    // Answers that would come from Enter are ruled out: the focus sits on
    // the button that gives the other result.
    QPushButton* other = key.result == QDialog::Accepted ? dialog->BTCancel() : dialog->BTOK();
    QSignalSpy finished(dialog.get(), &QDialog::finished);
    ASSERT_TRUE(OpenAndActivate(*dialog));
    other->setFocus(Qt::TabFocusReason);
    QTest::keyClick(QApplication::focusWidget(), key.key, key.modifiers);
    ASSERT_TRUE(ProcessUntil([&] { return finished.count() == 1; }));
    EXPECT_EQ(finished.at(0).at(0).toInt(), key.result);
  }
}

TEST_P(QuestionTest, OtherLettersDoNothing) {
  auto dialog = Make();
  QSignalSpy finished(dialog.get(), &QDialog::finished);
  ASSERT_TRUE(OpenAndActivate(*dialog));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_N);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_X, Qt::AltModifier);
  QCoreApplication::processEvents();
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_EQ(finished.count(), 0);
  dialog->reject();
}

TEST_P(QuestionTest, TheLastFocusedButtonKeepsTheFocus) {
  auto dialog = Make();
  ASSERT_EQ(ExecWith(*dialog,
                     [&] {
                       QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
                       ASSERT_EQ(QApplication::focusWidget(), dialog->BTCancel());
                       dialog->close();
                     }),
            QDialog::Rejected);
  // Shown again, Enter now goes to "&Cancel".
  EXPECT_EQ(ExecWith(*dialog, [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); }),
            QDialog::Rejected);
  // A mouse click moves the focus as well.
  EXPECT_EQ(ExecWith(*dialog, [&] { QTest::mouseClick(dialog->BTOK(), Qt::LeftButton); }), QDialog::Accepted);
  EXPECT_EQ(dialog->focusWidget(), dialog->BTOK());
}

TEST_P(QuestionTest, CentredOverTheOwnerFirstThenKeepsItsPlace) {
  QWidget owner;
  owner.setGeometry(100, 80, 771, 592);
  owner.show();
  auto dialog = Make(&owner);
  ASSERT_TRUE(OpenAndActivate(*dialog));
  const QPoint ownerCentre = owner.frameGeometry().center();
  const QPoint dialogCentre = dialog->frameGeometry().center();
  EXPECT_LE((ownerCentre - dialogCentre).manhattanLength(), 2) << dialogCentre.x() << "," << dialogCentre.y();
  dialog->reject();

  // The user moves the dialog, and the main window moves too: the dialog
  // reappears where the user left it.
  dialog->move(dialog->pos() + QPoint(37, -21));
  const QPoint placed = dialog->pos();
  owner.move(300, 200);
  ASSERT_TRUE(OpenAndActivate(*dialog));
  EXPECT_EQ(dialog->pos(), placed);
  dialog->reject();
  ASSERT_TRUE(OpenAndActivate(*dialog));
  EXPECT_EQ(dialog->pos(), placed);
  dialog->reject();
}

TEST_P(QuestionTest, ShownAgainWithoutBeingMovedStaysPut) {
  QWidget owner;
  owner.setGeometry(100, 80, 771, 592);
  owner.show();
  auto dialog = Make(&owner);
  ASSERT_TRUE(OpenAndActivate(*dialog));
  const QPoint first = dialog->pos();
  dialog->reject();
  owner.move(400, 300);
  ASSERT_TRUE(OpenAndActivate(*dialog));
  EXPECT_EQ(dialog->pos(), first);
  dialog->reject();
}

TEST(FitLabelsInto, NarrowsTheFontOnlyWhenATextWouldOverflow) {
  if (QFontDatabase::families().isEmpty()) GTEST_SKIP() << "no fonts: text widths mean nothing here";
  QWidget window;
  window.setFont(DialogFont());
  QLabel* fits = NewLabel(&window, "fits", "short", 10, 0);
  QLabel* wide = NewLabel(&window, "wide", "a rather long text that needs its room", 10, 20);
  const int wideWidth = wide->width();
  FitLabelsInto(&window, {fits, wide}, 10 + wideWidth);
  EXPECT_EQ(window.font().stretch(), DialogFont().stretch());
  EXPECT_EQ(wide->width(), wideWidth);

  const int limit = 10 + wideWidth * 9 / 10;
  FitLabelsInto(&window, {fits, wide}, limit);
  EXPECT_LT(window.font().stretch(), 100);
  EXPECT_GE(window.font().stretch(), 75);
  EXPECT_LE(wide->x() + wide->width(), limit);
  EXPECT_EQ(window.font().pixelSize(), 11);
}

INSTANTIATE_TEST_SUITE_P(Questions, QuestionTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<QuestionCase>& param) {
                           return param.param.name;
                         });

// Both questions in turn, as the main window asks them: refusing the first
// does not keep the second from being asked and answered.
TEST(QuestionsInTurn, CancelOnTheFirstStillAsksTheSecond) {
  TFMSaveChanges saveChanges;
  TFMStopLog stopLog;
  const int first = ExecWith(saveChanges, [&] { QTest::mouseClick(saveChanges.BTCancel(), Qt::LeftButton); });
  const int second = ExecWith(stopLog, [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return); });
  EXPECT_EQ(first, QDialog::Rejected);
  EXPECT_EQ(second, QDialog::Accepted);
}

}  // namespace
}  // namespace ordalyn
