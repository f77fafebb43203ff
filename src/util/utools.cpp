#include "utools.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace ordalyn {

std::string PadLeft(std::string_view text, std::size_t width, char fill) {
  if (text.size() >= width) {
    return std::string(text.substr(text.size() - width));
  }
  std::string result(width - text.size(), fill);
  result.append(text);
  return result;
}

std::string Trim(std::string_view text) {
  auto isSpace = [](char c) { return static_cast<unsigned char>(c) <= 32; };
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && isSpace(text[begin])) {
    ++begin;
  }
  while (end > begin && isSpace(text[end - 1])) {
    --end;
  }
  return std::string(text.substr(begin, end - begin));
}

namespace {

int DigitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') {
    value = c - '0';
  } else if (c >= 'a' && c <= 'f') {
    value = c - 'a' + 10;
  } else if (c >= 'A' && c <= 'F') {
    value = c - 'A' + 10;
  }
  return value < base ? value : -1;
}

}  // namespace

std::optional<std::int32_t> ReadInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  if (i < text.size() && text[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= text.size()) {
    return std::nullopt;
  }
  std::uint64_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const int digit = DigitValue(text[i], base);
    if (digit < 0) {
      return std::nullopt;
    }
    magnitude = magnitude * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
    if (magnitude > 0xFFFFFFFFull) {
      return std::nullopt;
    }
  }
  if (base == 16) {
    // Hexadecimal fills all 32 bits: $FFFFFFFF is -1.
    auto bits = static_cast<std::uint32_t>(magnitude);
    if (negative) {
      bits = 0u - bits;
    }
    return static_cast<std::int32_t>(bits);
  }
  if (negative) {
    if (magnitude > 0x80000000ull) {
      return std::nullopt;
    }
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude));
  }
  if (magnitude > 0x7FFFFFFFull) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(magnitude);
}

namespace {

// Two or three decimal digits at text[at]; -1 when one of them is none.
int DecimalAt(std::string_view text, std::size_t at, std::size_t count) {
  int value = 0;
  bool digits = true;
  for (std::size_t i = at; i < at + count; ++i) {
    const auto digit = static_cast<unsigned>(static_cast<unsigned char>(text[i])) - '0';
    digits = digits && digit <= 9;
    value = value * 10 + static_cast<int>(digit);
  }
  return digits ? value : -1;
}

}  // namespace

std::optional<std::int64_t> ReadTimeOfDay(std::string_view text, TimeOfDayForm form) {
  const std::size_t size = text.size();
  if (form == TimeOfDayForm::kStamp) {
    // Read at every trace line: the fixed places at once.
    if (size != 12) {
      return std::nullopt;
    }
    const char separator = text[2];
    const auto digit = [&text](std::size_t at) {
      return static_cast<unsigned>(static_cast<unsigned char>(text[at])) - '0';
    };
    const unsigned h1 = digit(0), h2 = digit(1), n1 = digit(3), n2 = digit(4), s1 = digit(6), s2 = digit(7);
    const unsigned z1 = digit(9), z2 = digit(10), z3 = digit(11);
    const bool digits = (h1 <= 9) & (h2 <= 9) & (n1 <= 9) & (n2 <= 9) & (s1 <= 9) & (s2 <= 9) & (z1 <= 9) &
                        (z2 <= 9) & (z3 <= 9);
    if (!digits || static_cast<unsigned>(separator - '0') <= 9 || text[5] != separator ||
        text[8] != separator) {
      return std::nullopt;
    }
    const unsigned hour = h1 * 10 + h2;
    const unsigned minute = n1 * 10 + n2;
    const unsigned second = s1 * 10 + s2;
    if (hour > 23 || minute > 59 || second > 59) {
      return std::nullopt;
    }
    return ((hour * 60 + minute) * 60 + second) * std::int64_t{1000} + (z1 * 100 + z2 * 10 + z3);
  }
  // As people type it: "hh:mm", "hh:mm:ss" or "hh:mm:ss.zzz".
  if (size != 5 && size != 8 && size != 12) {
    return std::nullopt;
  }
  if (text[2] != ':' || (size >= 8 && text[5] != ':') || (size == 12 && text[8] != '.')) {
    return std::nullopt;
  }
  const int hour = DecimalAt(text, 0, 2);
  const int minute = DecimalAt(text, 3, 2);
  const int second = size >= 8 ? DecimalAt(text, 6, 2) : 0;
  const int milli = size == 12 ? DecimalAt(text, 9, 3) : 0;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || milli < 0) {
    return std::nullopt;
  }
  return ((hour * 60 + minute) * 60 + second) * std::int64_t{1000} + milli;
}

std::string HexUpper(std::uint32_t value) {
  std::string text;
  AppendHexUpper(text, value);
  return text;
}

namespace {

// Trace lines are composed at every telephony message: the digits are made
// by hand, without the formatted output's parsing. At least minDigits digits,
// zeros in front.
template <unsigned kBase>
void AppendDigits(std::string& text, std::uint32_t value, int minDigits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  constexpr int kMax = 10;
  // Written from the back; appended at once.
  char digits[kMax];
  int first = kMax;
  do {
    digits[--first] = kDigits[value % kBase];
    value /= kBase;
  } while (value != 0);
  while (kMax - first < minDigits && first > 0) {
    digits[--first] = '0';
  }
  text.append(digits + first, static_cast<std::size_t>(kMax - first));
}

}  // namespace

void AppendHexUpper(std::string& text, std::uint32_t value, int minDigits) {
  AppendDigits<16>(text, value, std::min(minDigits, 8));
}

void AppendDecimal(std::string& text, int value, int minDigits) {
  if (value < 0) {
    char buffer[16];
    const int length = std::snprintf(buffer, sizeof buffer, "%0*d", minDigits, value);
    text.append(buffer, static_cast<std::size_t>(length));
    return;
  }
  AppendDigits<10>(text, static_cast<std::uint32_t>(value), minDigits);
}

}  // namespace ordalyn
