#include "widgets/versionlabeltext.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "fake_version_store.h"

namespace ordalyn {
namespace {

using testing::EnglishStore;
using testing::FakeVersionStore;

// ---- ExtractPart ----

struct PartCase {
  std::string text;
  std::string separator;
  int n;
  std::string expected;
};

void PrintTo(const PartCase& c, std::ostream* os) {
  *os << "text " << c.text << " separator " << c.separator << " part " << c.n;
}

class ExtractPartTest : public ::testing::TestWithParam<PartCase> {};

TEST_P(ExtractPartTest, GivesThePart) {
  const PartCase& c = GetParam();
  EXPECT_EQ(ExtractPart(c.text, c.separator, c.n), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, ExtractPartTest,
    ::testing::Values(PartCase{"1.0.0.13", ".", 1, "1"}, PartCase{"1.0.0.13", ".", 2, "0"},
                      PartCase{"1.0.0.13", ".", 3, "0"}, PartCase{"1.0.0.13", ".", 4, "13"},
                      PartCase{"1.0.0.13", ".", 5, ""}, PartCase{"1.2", ".", 3, ""},
                      PartCase{"abc", ".", 1, "abc"}, PartCase{"abc", ".", 2, ""}, PartCase{"", ".", 1, ""},
                      PartCase{"1.2", ".", 0, "1"}, PartCase{"1..3", ".", 2, ""},
                      PartCase{"1..3", ".", 3, "3"}, PartCase{"a::b::c", "::", 2, "b"},
                      PartCase{"a::b::c", "::", 3, "c"}, PartCase{"a.b", "", 1, "a.b"},
                      PartCase{"a.b", "", 2, ""}));

TEST(ExtractPartLimit, KeepsAtMost5000CharactersAfterASeparator) {
  const std::string text = "x." + std::string(6000, 'y') + ".z";
  EXPECT_EQ(ExtractPart(text, ".", 2), std::string(5000, 'y'));
  EXPECT_EQ(ExtractPart(text, ".", 3), "");  // the cut dropped the last separator
}

// ---- the table ----

TEST(VersionResourceInfoTable, KeysAndPrefixesInOrder) {
  ASSERT_EQ(VersionResourceInfo.size(), static_cast<std::size_t>(vrFlags) + 1);
  EXPECT_EQ(VersionResourceInfo[vrCompanyName].Key, "CompanyName");
  EXPECT_EQ(VersionResourceInfo[vrCompanyName].Prefix, "Firmenname:");
  EXPECT_EQ(VersionResourceInfo[vrFileDescription].Prefix, "Datei Information:");
  EXPECT_EQ(VersionResourceInfo[vrFileVersion].Key, "FileVersion");
  EXPECT_EQ(VersionResourceInfo[vrFileVersion].Prefix, "Dateiversion:");
  EXPECT_EQ(VersionResourceInfo[vrInternalName].Prefix, "Interner Name:");
  EXPECT_EQ(VersionResourceInfo[vrLegalCopyright].Key, "LegalCopyright");
  EXPECT_EQ(VersionResourceInfo[vrLegalCopyright].Prefix, "Legal Copyright:");
  EXPECT_EQ(VersionResourceInfo[vrOriginalFilename].Prefix, "Original Dateiname:");
  EXPECT_EQ(VersionResourceInfo[vrProductName].Prefix, "Produktname:");
  EXPECT_EQ(VersionResourceInfo[vrProductVersion].Key, "ProductVersion");
  EXPECT_EQ(VersionResourceInfo[vrProductVersion].Prefix, "Produktversion:");
  EXPECT_EQ(VersionResourceInfo[vrComments].Key, "Comments");
  EXPECT_EQ(VersionResourceInfo[vrComments].Prefix, "Bemerkungen:");
  EXPECT_EQ(VersionResourceInfo[vrFlags].Key, "Flags");
  EXPECT_EQ(VersionResourceInfo[vrFlags].Prefix, "Flags:");
  EXPECT_EQ(static_cast<int>(fvBuild), 5);
}

// ---- construction ----

TEST(VersionLabelConstruction, ShowsTheFileVersionAfterFourRefreshes) {
  FakeVersionStore store = EnglishStore("1.0.0.13");
  std::vector<std::string> captions;
  VersionLabelText label(store, [&](const std::string& caption) { captions.push_back(caption); });

  // Show prefix (empty prefix, no block), take the first translation (still no
  // key), then the key becomes the prefix, then the table's prefix.
  EXPECT_EQ(captions, (std::vector<std::string>{" < Fehler >", " < Fehler >", "FileVersion 1.0.0.13",
                                                "Dateiversion: 1.0.0.13"}));
  EXPECT_EQ(label.RefreshCount(), 4);
  EXPECT_EQ(label.Caption(), "Dateiversion: 1.0.0.13");
  EXPECT_EQ(label.FileVersionPart(), fvAll);
  EXPECT_EQ(label.VersionResource(), vrFileVersion);
  EXPECT_EQ(label.VersionResourceKey(), "FileVersion");
  EXPECT_EQ(label.InfoPrefix(), "Dateiversion:");
  EXPECT_TRUE(label.ShowInfoPrefix());
  EXPECT_EQ(label.LangCharset(), "040904E4");
  EXPECT_EQ(store.TranslationQueries(), 1);
}

TEST(VersionLabelConstruction, ReadsABlockOfTheAnnouncedSize) {
  FakeVersionStore store = EnglishStore("1.0.0.13");
  store.size = 1234;
  VersionLabelText label(store);
  ASSERT_FALSE(store.readSizes.empty());
  for (std::size_t size : store.readSizes) {
    EXPECT_EQ(size, 1234u);
  }
}

// ---- behaviour of setters and values, one row each ----

struct LabelCase {
  std::string name;
  std::function<void(FakeVersionStore&)> prepare;  // before the label exists
  std::function<void(VersionLabelText&, FakeVersionStore&)> act;
  std::string expected;
  int refreshes;  // refreshes caused by act
};

void PrintTo(const LabelCase& c, std::ostream* os) { *os << c.name; }

class VersionLabelTextTest : public ::testing::TestWithParam<LabelCase> {};

TEST_P(VersionLabelTextTest, ComposesTheCaption) {
  const LabelCase& c = GetParam();
  FakeVersionStore store = EnglishStore("1.0.0.13");
  if (c.prepare) {
    c.prepare(store);
  }
  VersionLabelText label(store);
  const int before = label.RefreshCount();
  if (c.act) {
    c.act(label, store);
  }
  EXPECT_EQ(label.Caption(), c.expected);
  EXPECT_EQ(label.RefreshCount() - before, c.refreshes);
}

using L = VersionLabelText;
using S = FakeVersionStore;

void SetVersion(S& s, const std::string& version) { s.SetText("040904E4", "FileVersion", version); }

// Cuts a file version: assign the part, then refresh through the prefix.
std::function<void(L&, S&)> Cut(TFileVersionPart part) {
  return [part](L& l, S&) {
    l.SetFileVersionPart(part);
    l.SetInfoPrefix("V:");
  };
}

const LabelCase kLabelCases[] = {
    {"Default", nullptr, nullptr, "Dateiversion: 1.0.0.13", 0},
    {"PrefixHidden", nullptr, [](L& l, S&) { l.SetShowInfoPrefix(false); }, "1.0.0.13", 1},
    {"PrefixShownTwiceRefreshesOnce", nullptr,
     [](L& l, S&) {
       l.SetShowInfoPrefix(false);
       l.SetShowInfoPrefix(false);
     },
     "1.0.0.13", 1},
    {"EmptyValueKeepsPrefixAndBlank", [](S& s) { SetVersion(s, ""); }, nullptr, "Dateiversion: ", 0},
    {"LengthOneIsEmpty",
     [](S& s) {
       s.values["\\StringFileInfo\\040904E4\\FileVersion"] = {"X", 1};
     },
     nullptr, "Dateiversion: ", 0},
    {"LengthZeroIsEmpty",
     [](S& s) {
       s.values["\\StringFileInfo\\040904E4\\FileVersion"] = {"7.7", 0};
     },
     nullptr, "Dateiversion: ", 0},
    {"EmptyPrefixLeadingBlank", nullptr, [](L& l, S&) { l.SetInfoPrefix(""); }, " 1.0.0.13", 1},
    {"SamePrefixNoRefresh", nullptr, [](L& l, S&) { l.SetInfoPrefix("Dateiversion:"); },
     "Dateiversion: 1.0.0.13", 0},
    {"CustomPrefix", nullptr, [](L& l, S&) { l.SetInfoPrefix("Build:"); }, "Build: 1.0.0.13", 1},
    {"NewKeyBecomesPrefix", nullptr, [](L& l, S&) { l.SetVersionResourceKey("LegalTrademarks"); },
     "LegalTrademarks Ordalyn\x99", 1},
    {"SameKeyNoRefresh", nullptr, [](L& l, S&) { l.SetVersionResourceKey("FileVersion"); },
     "Dateiversion: 1.0.0.13", 0},
    {"KeyIsCaseSensitive", nullptr, [](L& l, S&) { l.SetVersionResourceKey("fileversion"); },
     "fileversion < Fehler >", 1},
    {"ResourceReassignedRestoresKeyAndPrefix", nullptr,
     [](L& l, S&) {
       l.SetVersionResourceKey("LegalTrademarks");
       l.SetInfoPrefix("Mine:");
       l.SetVersionResource(vrFileVersion);
     },
     "Dateiversion: 1.0.0.13", 4},
    {"ResourceSameValueSamePrefixNoRefresh", nullptr, [](L& l, S&) { l.SetVersionResource(vrFileVersion); },
     "Dateiversion: 1.0.0.13", 0},
    {"CopyrightWithoutPrefix", nullptr,
     [](L& l, S&) {
       l.SetVersionResource(vrLegalCopyright);
       l.SetShowInfoPrefix(false);
     },
     "Copyright \xA9 2026 Marbleknot", 3},
    {"FileVersionPartAloneNoRefresh", nullptr, [](L& l, S&) { l.SetFileVersionPart(fvMajor); },
     "Dateiversion: 1.0.0.13", 0},
    {"CutAll", nullptr, Cut(fvAll), "V: 1.0.0.13", 1},
    {"CutAllNoBuild", nullptr, Cut(fvAllNoBuild), "V: 1.0.0", 1},
    {"CutMajor", nullptr, Cut(fvMajor), "V: 1", 1},
    {"CutMinor", nullptr, Cut(fvMinor), "V: 0", 1},
    {"CutRelease", nullptr, Cut(fvRelease), "V: 0", 1},
    {"CutBuild", nullptr, Cut(fvBuild), "V: 13", 1},
    {"ShortReleaseEmpty", [](S& s) { SetVersion(s, "1.2"); }, Cut(fvRelease), "V: ", 1},
    {"ShortBuildEmpty", [](S& s) { SetVersion(s, "1.2"); }, Cut(fvBuild), "V: ", 1},
    {"ShortAllNoBuildTrailingPoint", [](S& s) { SetVersion(s, "1.2"); }, Cut(fvAllNoBuild), "V: 1.2.", 1},
    {"ProductVersionNotCut", nullptr,
     [](L& l, S&) {
       l.SetFileVersionPart(fvMajor);
       l.SetVersionResource(vrProductVersion);
     },
     "Produktversion: 1.0.0", 2},
    {"CutFollowsTheKeyText", nullptr,
     [](L& l, S&) {
       l.SetFileVersionPart(fvBuild);
       l.SetVersionResource(vrCompanyName);
       l.SetVersionResourceKey("FileVersion");
     },
     "FileVersion 13", 3},
    {"MissingKey", nullptr, [](L& l, S&) { l.SetVersionResource(vrComments); }, "Bemerkungen: < Fehler >", 2},
    {"UnknownLangCharsetBlock", nullptr, [](L& l, S&) { l.SetLangCharset("04070000"); },
     "Dateiversion: < Fehler >", 1},
    {"ExplicitLangCharsetBlock", [](S& s) { s.SetText("0C0704E4", "FileVersion", "2.0"); },
     [](L& l, S&) { l.SetLangCharset("0C0704E4"); }, "Dateiversion: 2.0", 1},
    {"NoVersionBlock", [](S& s) { s.size = 0; }, nullptr, "Dateiversion: < Keine Daten Verf\xFCgbar >", 0},
    {"NoVersionBlockWithoutPrefix", [](S& s) { s.size = 0; }, [](L& l, S&) { l.SetShowInfoPrefix(false); },
     "< Keine Daten Verf\xFCgbar >", 1},
    {"ReadFails", [](S& s) { s.readFails = true; }, nullptr, "Dateiversion: < Fehler >", 0},
    {"ImplausiblyLargeBlock", [](S& s) { s.size = 0xFFFFFFFFu; }, nullptr, "Dateiversion: < Fehler >", 0},
    {"NoTranslation", [](S& s) { s.values.erase(S::kTranslation); }, nullptr,
     "Dateiversion: < Error retrieving translation info >", 0},
    {"TranslationTooShort",
     [](S& s) {
       s.values[S::kTranslation] = {"\x09\x04\xE4", 3};
     },
     nullptr, "Dateiversion: < Error retrieving translation info >", 0},
    {"TranslationLengthBeyondData",
     [](S& s) {
       s.values[S::kTranslation] = {"\x09\x04", 4};
     },
     nullptr, "Dateiversion: < Error retrieving translation info >", 0},
    {"TranslationErrorIsNotCut", [](S& s) { s.values.erase(S::kTranslation); }, Cut(fvMajor),
     "V: < Error retrieving translation info >", 1},
    {"FlagsNone", nullptr, [](L& l, S&) { l.SetVersionResource(vrFlags); }, "Flags: ", 2},
    {"FlagsDebugPatched", [](S& s) { s.SetFlags(0x05); }, [](L& l, S&) { l.SetVersionResource(vrFlags); },
     "Flags: Debug Build, Patched Build", 2},
    {"FlagsAll", [](S& s) { s.SetFlags(0xFFFFFFFF); }, [](L& l, S&) { l.SetVersionResource(vrFlags); },
     "Flags: Debug Build, Pre-Release Build, Patched Build, Privates Build, InfoInferred, Spezielles Built",
     2},
    {"FlagsOnlySpecial", [](S& s) { s.SetFlags(0x20); }, [](L& l, S&) { l.SetVersionResource(vrFlags); },
     "Flags: Spezielles Built", 2},
    {"FlagsOtherBitsIgnored", [](S& s) { s.SetFlags(0xC0); }, [](L& l, S&) { l.SetVersionResource(vrFlags); },
     "Flags: ", 2},
    {"FlagsIgnoreTranslationAndKey",
     [](S& s) {
       s.values.erase(S::kTranslation);
       s.SetFlags(0x02);
     },
     [](L& l, S&) {
       l.SetVersionResource(vrFlags);
       l.SetVersionResourceKey("Nonsense");
     },
     "Nonsense Pre-Release Build", 3},
    {"FlagsMissingFixedInfo", [](S& s) { s.values.erase("\\"); },
     [](L& l, S&) { l.SetVersionResource(vrFlags); }, "Flags: < Fehler >", 2},
    {"FlagsFixedInfoLengthOne",
     [](S& s) {
       s.values["\\"] = {"\x01", 1};
     },
     [](L& l, S&) { l.SetVersionResource(vrFlags); }, "Flags: ", 2},
    {"FlagsFixedInfoTooShort",
     [](S& s) {
       s.values["\\"] = {std::string(20, '\xFF'), 20};
     },
     [](L& l, S&) { l.SetVersionResource(vrFlags); }, "Flags: < Fehler >", 2},
    {"FlagsNoBlock", [](S& s) { s.size = 0; }, [](L& l, S&) { l.SetVersionResource(vrFlags); },
     "Flags: < Keine Daten Verf\xFCgbar >", 2},
    {"CaptionCutAtNul", nullptr, [](L& l, S&) { l.SetInfoPrefix(std::string("Pre\0fix", 7)); }, "Pre", 1},
    {"ValueEndsAtItsNul",
     [](S& s) {
       s.values["\\StringFileInfo\\040904E4\\FileVersion"] = {std::string("1.5\0junk", 9), 9};
     },
     nullptr, "Dateiversion: 1.5", 0},
    {"ValueWithoutNulStopsAtItsLength",
     [](S& s) {
       s.values["\\StringFileInfo\\040904E4\\FileVersion"] = {"1.5.7.9", 4};
     },
     nullptr, "Dateiversion: 1.5.", 0},
    {"ValueLengthBeyondData",
     [](S& s) {
       s.values["\\StringFileInfo\\040904E4\\FileVersion"] = {"3.1", 200};
     },
     nullptr, "Dateiversion: 3.1", 0},
    {"InvalidResourceIgnored", nullptr,
     [](L& l, S&) { l.SetVersionResource(static_cast<TVersionResources>(10)); }, "Dateiversion: 1.0.0.13", 0},
    {"InvalidPartIgnored", nullptr,
     [](L& l, S&) {
       l.SetFileVersionPart(static_cast<TFileVersionPart>(6));
       l.SetInfoPrefix("V:");
     },
     "V: 1.0.0.13", 1},
};

INSTANTIATE_TEST_SUITE_P(Cases, VersionLabelTextTest, ::testing::ValuesIn(kLabelCases),
                         [](const ::testing::TestParamInfo<LabelCase>& row) { return row.param.name; });

// ---- LangCharset resolution ----

TEST(VersionLabelLangCharset, ResolvesTheFirstTranslationWithoutRefresh) {
  FakeVersionStore store;
  store.values[FakeVersionStore::kTranslation] = {FakeVersionStore::Bytes16({0x0C07, 1252, 0x0409, 1252}), 8};
  store.SetText("0C0704E4", "FileVersion", "4.5.6.7");
  store.SetText("040904E4", "FileVersion", "wrong block");
  std::vector<std::string> captions;
  VersionLabelText label(store, [&](const std::string& caption) { captions.push_back(caption); });
  EXPECT_EQ(label.LangCharset(), "0C0704E4");
  EXPECT_EQ(label.Caption(), "Dateiversion: 4.5.6.7");
  EXPECT_EQ(label.RefreshCount(), 4);
  EXPECT_EQ(captions.size(), 4u);
}

TEST(VersionLabelLangCharset, IsNotLookedUpAgainOnceResolved) {
  FakeVersionStore store = EnglishStore("1.0.0.13");
  VersionLabelText label(store);
  store.SetTranslation(0x0C07, 1252);  // would name another block
  label.SetInfoPrefix("A:");
  label.SetInfoPrefix("B:");
  EXPECT_EQ(store.TranslationQueries(), 1);
  EXPECT_EQ(label.LangCharset(), "040904E4");
  EXPECT_EQ(label.Caption(), "B: 1.0.0.13");
}

TEST(VersionLabelLangCharset, IsRetriedAfterATranslationFailure) {
  FakeVersionStore store = EnglishStore("1.0.0.13");
  store.values.erase(FakeVersionStore::kTranslation);
  VersionLabelText label(store);
  EXPECT_EQ(label.LangCharset(), "-1");
  EXPECT_EQ(label.Caption(), "Dateiversion: < Error retrieving translation info >");

  store.SetTranslation(0x0409, 1252);
  label.SetInfoPrefix("Build:");
  EXPECT_EQ(label.LangCharset(), "040904E4");
  EXPECT_EQ(label.Caption(), "Build: 1.0.0.13");
}

TEST(VersionLabelLangCharset, AssigningMinusOneAgainRereadsTheTranslation) {
  FakeVersionStore store = EnglishStore("1.0.0.13");
  store.SetText("0C0704E4", "FileVersion", "9.9");
  VersionLabelText label(store);
  store.SetTranslation(0x0C07, 1252);
  const int before = label.RefreshCount();
  label.SetLangCharset("-1");  // differs from the resolved name
  EXPECT_EQ(label.RefreshCount(), before + 1);
  EXPECT_EQ(label.LangCharset(), "0C0704E4");
  EXPECT_EQ(label.Caption(), "Dateiversion: 9.9");
}

TEST(VersionLabelLangCharset, LowerWordIsTheLanguage) {
  FakeVersionStore store;
  store.values[FakeVersionStore::kTranslation] = {std::string("\x34\x12\xCD\xAB", 4), 4};
  VersionLabelText label(store);
  EXPECT_EQ(label.LangCharset(), "1234ABCD");
}

TEST(VersionLabelLangCharset, FlagsLabelLeavesItUnresolved) {
  FakeVersionStore store = EnglishStore("1.0.0.13");
  store.values.erase(FakeVersionStore::kTranslation);
  VersionLabelText label(store);
  label.SetVersionResource(vrFlags);
  store.SetTranslation(0x0409, 1252);
  label.SetInfoPrefix("F:");
  EXPECT_EQ(label.LangCharset(), "-1");
  EXPECT_EQ(label.Caption(), "F: ");
}

}  // namespace
}  // namespace ordalyn
