#include "widgets/cp1252.h"

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

std::string ToCp1252(const QString& text) {
  std::string result;
  result.reserve(static_cast<std::size_t>(text.size()));
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text.at(i);
    if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
      ++i;  // one character outside the code page
      result.push_back('?');
      continue;
    }
    const std::optional<unsigned char> byte = UnicodeToCp1252(c.unicode());
    result.push_back(static_cast<char>(byte ? *byte : '?'));
  }
  return result;
}

}  // namespace ordalyn
