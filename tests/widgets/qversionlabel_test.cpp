#include "widgets/QVersionLabel.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <string>

#include "fake_version_store.h"
#include "widgets/cp1252.h"
#include "widgets/versioninfo_values.h"

namespace ordalyn {
namespace {

using testing::EnglishStore;
using testing::FakeVersionStore;

TEST(TQVersionLabelTest, ConstructedLabelShowsTheProgramsFileVersion) {
  TQVersionLabel label;
  EXPECT_EQ(label.Caption(), std::string("Dateiversion: ") + version_values::kFileVersion);
  EXPECT_EQ(label.text(), FromCp1252(label.Caption()));
  EXPECT_EQ(label.refreshCount(), 4);
  EXPECT_FALSE(label.wordWrap());
  EXPECT_TRUE(label.autoSize());
  EXPECT_EQ(label.textFormat(), Qt::PlainText);
}

TEST(TQVersionLabelTest, FooterBuildLabel) {
  TQVersionLabel label;
  label.setInfoPrefix("Build:");
  EXPECT_EQ(label.Caption(), std::string("Build: ") + version_values::kFileVersion);
  EXPECT_EQ(label.text(), QString::fromLatin1("Build: ") + QString::fromLatin1(version_values::kFileVersion));
}

TEST(TQVersionLabelTest, PropertiesPassThrough) {
  const FakeVersionStore store = EnglishStore("1.0.0.13");
  TQVersionLabel label(store);
  label.setVersionResource(vrLegalCopyright);
  EXPECT_EQ(label.versionResource(), vrLegalCopyright);
  EXPECT_EQ(label.versionResourceKey(), "LegalCopyright");
  EXPECT_EQ(label.infoPrefix(), "Legal Copyright:");
  label.setShowInfoPrefix(false);
  EXPECT_FALSE(label.showInfoPrefix());
  EXPECT_EQ(label.Caption(), "Copyright \xA9 2026 Marbleknot");
  EXPECT_EQ(label.text(), QString::fromUtf8("Copyright © 2026 Marbleknot"));

  label.setFileVersionPart(fvBuild);
  EXPECT_EQ(label.fileVersionPart(), fvBuild);
  label.setVersionResourceKey("FileVersion");
  EXPECT_EQ(label.Caption(), "13");
  EXPECT_EQ(label.langCharset(), "040904E4");
  label.setLangCharset("04070000");
  EXPECT_EQ(label.langCharset(), "04070000");
  EXPECT_EQ(label.Caption(), "< Fehler >");
}

TEST(TQVersionLabelTest, PlaceholderIsShownInUnicode) {
  FakeVersionStore store;
  store.size = 0;
  TQVersionLabel label(store);
  EXPECT_EQ(label.Caption(), "Dateiversion: < Keine Daten Verf\xFCgbar >");
  EXPECT_EQ(label.text(), QString::fromUtf8("Dateiversion: < Keine Daten Verfügbar >"));
}

TEST(TQVersionLabelTest, MarkupInAValueIsShownAsItIs) {
  FakeVersionStore store = EnglishStore("<b>1.0</b>");
  TQVersionLabel label(store);
  EXPECT_EQ(label.text(), QString::fromLatin1("Dateiversion: <b>1.0</b>"));
  EXPECT_EQ(label.textFormat(), Qt::PlainText);
}

TEST(TQVersionLabelTest, AutoSizeFollowsTheText) {
  const FakeVersionStore store = EnglishStore("1.0.0.13");
  QWidget parent;
  TQVersionLabel label(store, &parent);
  label.move(10, 4);
  label.setInfoPrefix("A much longer prefix than before:");
  EXPECT_EQ(label.size(), label.sizeHint());
  EXPECT_EQ(label.x(), 10);
  const int wide = label.width();
  label.setInfoPrefix("B:");
  EXPECT_LT(label.width(), wide);
  EXPECT_EQ(label.size(), label.sizeHint());
}

TEST(TQVersionLabelTest, RightAlignedAutoSizeKeepsTheRightEdge) {
  const FakeVersionStore store = EnglishStore("1.0.0.13");
  QWidget parent;
  TQVersionLabel label(store, &parent);
  label.setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  label.setGeometry(628, 4, 127, 13);
  label.setInfoPrefix("Build:");
  EXPECT_EQ(label.geometry().right(), 628 + 127 - 1);
  EXPECT_EQ(label.width(), label.sizeHint().width());
}

TEST(TQVersionLabelTest, WithoutAutoSizeTheGeometryStays) {
  const FakeVersionStore store = EnglishStore("1.0.0.13");
  QWidget parent;
  TQVersionLabel label(store, &parent);
  label.setAutoSize(false);
  label.setGeometry(4, 4, 753, 13);
  label.setInfoPrefix("A:");
  label.setShowInfoPrefix(false);
  EXPECT_EQ(label.geometry(), QRect(4, 4, 753, 13));
  EXPECT_EQ(label.text(), QString::fromLatin1("1.0.0.13"));
}

TEST(TQVersionLabelTest, RefreshesAreCountedLikeTheTextLogic) {
  const FakeVersionStore store = EnglishStore("1.0.0.13");
  TQVersionLabel label(store);
  label.setFileVersionPart(fvMajor);           // no refresh
  label.setVersionResourceKey("FileVersion");  // same key, no refresh
  EXPECT_EQ(label.refreshCount(), 4);
  EXPECT_EQ(label.text(), QString::fromLatin1("Dateiversion: 1.0.0.13"));
  label.setShowInfoPrefix(false);
  EXPECT_EQ(label.refreshCount(), 5);
  EXPECT_EQ(label.text(), QString::fromLatin1("1"));
}

}  // namespace
}  // namespace ordalyn
