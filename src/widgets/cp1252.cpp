#include "widgets/cp1252.h"

#include <algorithm>
#include <optional>

#include "widgets/cp1252map.h"

namespace ordalyn {

QString FromCp1252(std::string_view text) {
  QString result;
  result.reserve(static_cast<qsizetype>(text.size()));
  for (char c : text) {
    result.append(QChar(Cp1252ToUnicode(static_cast<unsigned char>(c))));
  }
  return result;
}

namespace {

// Logs of a million lines pass through here on Save: the result is sized
// once and the ASCII characters, nearly all of them, are copied without the
// table lookup.
template <bool kWidenLineEnds>
std::string ConvertToCp1252(const QString& text) {
  const qsizetype size = text.size();
  const QChar* chars = text.constData();
  std::size_t lineFeeds = 0;
  if constexpr (kWidenLineEnds) {
    lineFeeds = static_cast<std::size_t>(std::count(chars, chars + size, QChar(u'\n')));
  }
  std::string result(static_cast<std::size_t>(size) + lineFeeds, '\0');
  char* out = result.data();
  for (qsizetype i = 0; i < size; ++i) {
    const char16_t c = chars[i].unicode();
    if (c < 0x80) {
      if (kWidenLineEnds && c == u'\n') {
        *out++ = '\r';
      }
      *out++ = static_cast<char>(c);
    } else if (QChar::isHighSurrogate(c) && i + 1 < size && chars[i + 1].isLowSurrogate()) {
      ++i;  // one character outside the code page
      *out++ = '?';
    } else {
      const std::optional<unsigned char> byte = UnicodeToCp1252(c);
      *out++ = static_cast<char>(byte ? *byte : '?');
    }
  }
  // A surrogate pair gives one byte for two units.
  result.resize(static_cast<std::size_t>(out - result.data()));
  return result;
}

}  // namespace

std::string ToCp1252(const QString& text) { return ConvertToCp1252<false>(text); }

std::string ToCp1252WithCrLf(const QString& text) { return ConvertToCp1252<true>(text); }

}  // namespace ordalyn
