#include "widgets/cp1252.h"

#include <algorithm>
#include <optional>
#include <string>

#include "util/cp1252map.h"

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

// Appends the code page 1252 bytes of text, line feeds widened to CR LF when
// asked. Logs of a million lines pass through here on Save: runs of plain
// ASCII characters are copied without the table lookup, in blocks of a fixed
// length without early exits, which the compiler turns into vector code.
template <bool kWidenLineEnds>
void AppendCp1252(std::string& result, QStringView text) {
  const qsizetype size = text.size();
  const char16_t* chars = text.utf16();
  const std::size_t start = result.size();
  // At most two bytes a character; a surrogate pair gives one for two.
  result.resize(start + static_cast<std::size_t>(size) * (kWidenLineEnds ? 2 : 1));
  char* out = result.data() + start;
  constexpr qsizetype kRun = 32;
  qsizetype i = 0;
  while (i < size) {
    if (i + kRun <= size) {
      unsigned all = 0;
      unsigned lineFeeds = 0;
      for (qsizetype k = 0; k < kRun; ++k) {
        const unsigned c = chars[i + k];
        all |= c;
        lineFeeds |= kWidenLineEnds && c == u'\n' ? 1u : 0u;
      }
      if (all < 0x80 && lineFeeds == 0) {
        for (qsizetype k = 0; k < kRun; ++k) {
          out[k] = static_cast<char>(chars[i + k]);
        }
        out += kRun;
        i += kRun;
        continue;
      }
    }
    for (const qsizetype end = std::min(size, i + kRun); i < end; ++i) {
      const char16_t c = chars[i];
      if (c < 0x80) {
        if (kWidenLineEnds && c == u'\n') {
          *out++ = '\r';
        }
        *out++ = static_cast<char>(c);
      } else if (QChar::isHighSurrogate(c) && i + 1 < size && QChar::isLowSurrogate(chars[i + 1])) {
        ++i;  // one character outside the code page
        *out++ = '?';
      } else {
        const std::optional<unsigned char> byte = UnicodeToCp1252(c);
        *out++ = static_cast<char>(byte ? *byte : '?');
      }
    }
  }
  result.resize(static_cast<std::size_t>(out - result.data()));
}

}  // namespace

std::string ToCp1252(const QString& text) {
  std::string result;
  AppendCp1252<false>(result, text);
  return result;
}

bool WriteCp1252WithCrLf(QStringView text, qsizetype sliceLength,
                         const std::function<bool(std::string_view)>& write) {
  std::string bytes;
  qsizetype done = 0;
  while (done < text.size()) {
    qsizetype length = std::min(std::max<qsizetype>(sliceLength, 2), text.size() - done);
    // A surrogate pair stays in one slice.
    if (done + length < text.size() && QChar::isHighSurrogate(text[done + length - 1].unicode())) {
      --length;
    }
    bytes.clear();
    AppendCp1252<true>(bytes, text.sliced(done, length));
    if (!write(bytes)) {
      return false;
    }
    done += length;
  }
  return true;
}

}  // namespace ordalyn
