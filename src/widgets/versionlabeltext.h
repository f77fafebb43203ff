// The text of a version information label: one field of the running
// executable's version information, optionally behind a prefix. Plain C++;
// the Qt label shows the caption computed here.
//
// All texts are code page 1252 byte strings.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "widgets/versioninfostore.h"

namespace ordalyn {

enum TVersionResources : std::uint8_t {
  vrCompanyName,
  vrFileDescription,
  vrFileVersion,
  vrInternalName,
  vrLegalCopyright,
  vrOriginalFilename,
  vrProductName,
  vrProductVersion,
  vrComments,
  vrFlags,
};

enum TFileVersionPart : std::uint8_t {
  fvAll,
  fvAllNoBuild,
  fvMajor,
  fvMinor,
  fvRelease,
  fvBuild,
};

struct TVersionResourceInfo {
  std::string_view Key;     // the StringFileInfo key (never queried for vrFlags)
  std::string_view Prefix;  // the default prefix
};

// Indexed by TVersionResources.
inline constexpr std::array<TVersionResourceInfo, 10> VersionResourceInfo = {{
    {"CompanyName", "Firmenname:"},
    {"FileDescription", "Datei Information:"},
    {"FileVersion", "Dateiversion:"},
    {"InternalName", "Interner Name:"},
    {"LegalCopyright", "Legal Copyright:"},
    {"OriginalFilename", "Original Dateiname:"},
    {"ProductName", "Produktname:"},
    {"ProductVersion", "Produktversion:"},
    {"Comments", "Bemerkungen:"},
    {"Flags", "Flags:"},
}};

// Placeholder and error values. The first is what a form designer would show;
// Ordalyn has no designer, so its labels never show it.
inline constexpr std::string_view kVersionTextRuntimeOnly = "< Nur Laufzeitinfo >";
inline constexpr std::string_view kVersionTextNoData = "< Keine Daten Verf\xFCgbar >";
inline constexpr std::string_view kVersionTextError = "< Fehler >";
inline constexpr std::string_view kVersionTextTranslationError = "< Error retrieving translation info >";

// A version block larger than this is treated as unreadable (a real one is at
// most a few hundred kilobytes).
inline constexpr std::uint32_t kMaxVersionInfoSize = 1u << 20;

// Part n (counted from 1) of text split at separator: the characters after the
// (n-1)th separator (at most 5000 of them) up to the next one. A part beyond
// the last separator is empty; part 1 of a text without separator is the whole
// text. An empty separator is never found.
std::string ExtractPart(std::string_view text, std::string_view separator, int n);

class VersionLabelText {
 public:
  // Called with the new caption after every refresh.
  using RefreshHandler = std::function<void(const std::string& caption)>;

  // Shows the prefix, takes the first translation ("-1") and selects the file
  // version: three assignments through the setters, each refreshing the text.
  // The store must outlive this object.
  explicit VersionLabelText(const VersionInfoStore& store, RefreshHandler onRefresh = {});
  VersionLabelText(const VersionLabelText&) = delete;
  VersionLabelText& operator=(const VersionLabelText&) = delete;

  // Stores the part; the text changes at the next refresh.
  void SetFileVersionPart(TFileVersionPart value);
  // Stores the resource (even when unchanged), then assigns its key and its
  // default prefix through their setters.
  void SetVersionResource(TVersionResources value);
  // A different key is stored and then assigned as the prefix as well.
  void SetVersionResourceKey(const std::string& value);
  // These three store a different value and refresh.
  void SetInfoPrefix(const std::string& value);
  void SetShowInfoPrefix(bool value);
  // "-1" (the first translation of the block) or eight hexadecimal digits
  // naming a StringFileInfo block.
  void SetLangCharset(const std::string& value);

  TFileVersionPart FileVersionPart() const { return fileVersionPart_; }
  TVersionResources VersionResource() const { return versionResource_; }
  const std::string& VersionResourceKey() const { return versionResourceKey_; }
  const std::string& InfoPrefix() const { return infoPrefix_; }
  bool ShowInfoPrefix() const { return showInfoPrefix_; }
  // Once the first translation has been read, the resolved block name.
  const std::string& LangCharset() const { return langCharset_; }

  // The text the label shows, as of the last refresh.
  const std::string& Caption() const { return caption_; }
  // Number of refreshes so far, those of the construction included.
  int RefreshCount() const { return refreshCount_; }

  // Builds the text, cuts it at its first NUL and makes it the caption.
  void RefreshText();

  // The prefix (when shown), one blank and the value read from the store.
  std::string BuildText();
  // The StringFileInfo value of the key; resolves LangCharset "-1" on the way.
  std::string GetValueText(std::span<std::uint8_t> block);
  // The names of the fixed file flags that are set, joined by ", ".
  std::string GetFlagsText(std::span<std::uint8_t> block) const;

 private:
  const VersionInfoStore& store_;
  RefreshHandler onRefresh_;

  TVersionResources versionResource_ = vrCompanyName;
  std::string infoPrefix_;
  bool showInfoPrefix_ = false;
  std::string versionResourceKey_;
  std::string langCharset_;
  TFileVersionPart fileVersionPart_ = fvAll;

  std::string caption_;
  int refreshCount_ = 0;
};

}  // namespace ordalyn
