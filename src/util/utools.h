// Small text helpers shared by every layer.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ordalyn {

// Right-justifies text to exactly width characters: fill characters go in
// front while it is shorter; when it is longer only the rightmost width
// characters are kept.
std::string PadLeft(std::string_view text, std::size_t width, char fill);

// Removes leading and trailing characters with codes 0 to 32.
std::string Trim(std::string_view text);

// Reads a whole text as a signed 32-bit integer the way the system's standard
// conversion does: leading blanks, one optional sign, then decimal digits, or
// hexadecimal digits after "$" or "0x"/"0X". The whole text must be used up and
// the value must fit in 32 bits (hexadecimal values up to FFFFFFFF wrap to
// negative numbers). Anything else gives no value.
std::optional<std::int32_t> ReadInteger(std::string_view text);

// How hexadecimal digits may be written for ReadHex.
enum HexForm : unsigned {
  kHexUpper = 0,         // "%X": upper case, no leading zero unless the value is 0
  kHexLeadingZeros = 1,  // zeros in front allowed ("%.8X")
  kHexAnyCase = 2,       // lower-case digits allowed too
};

namespace detail {

// The value of each byte as a hexadecimal digit: 0 to 15 for "0"-"9" and
// "A"-"F", 16 + value for "a"-"f", 32 for every other byte.
inline constexpr auto kHexDigits = [] {
  std::array<std::uint8_t, 256> table{};
  for (auto& value : table) value = 32;
  for (int c = '0'; c <= '9'; ++c) table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c)
    table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c)
    table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(16 + c - 'a' + 10);
  return table;
}();

}  // namespace detail

// A whole text of one to eight hexadecimal digits as a 32-bit value; anything
// else (empty, longer, other characters, a form the flags do not allow) gives
// no value. Inline: the call report reads four numbers a line with it.
inline std::optional<std::uint32_t> ReadHex(std::string_view digits, unsigned form = kHexUpper) {
  if (digits.empty() || digits.size() > 8 ||
      ((form & kHexLeadingZeros) == 0 && digits.size() > 1 && digits[0] == '0')) {
    return std::nullopt;
  }
  // Digits beyond what the form allows carry bit 4 (lower case) or 5 (none).
  const unsigned refused = (form & kHexAnyCase) != 0 ? 32u : 48u;
  std::uint32_t value = 0;
  for (const char c : digits) {
    const unsigned digit = detail::kHexDigits[static_cast<unsigned char>(c)];
    if ((digit & refused) != 0) {
      return std::nullopt;
    }
    value = value * 16 + (digit & 15u);
  }
  return value;
}

// Milliseconds after midnight of a time of day, or no value.
//   kStamp: "hh?nn?ss?zzz" exactly, one separator character (not a digit)
//           the same three times, as trace stamps carry it.
//   kClock: "hh:mm", "hh:mm:ss" or "hh:mm:ss.zzz", as people type it.
enum class TimeOfDayForm { kStamp, kClock };
std::optional<std::int64_t> ReadTimeOfDay(std::string_view text, TimeOfDayForm form);

// "%X"-style upper-case hexadecimal without leading zeros.
std::string HexUpper(std::uint32_t value);

// Appends value in upper-case hexadecimal with at least minDigits digits, as
// "%.8X" does for 8 (minDigits up to 8).
void AppendHexUpper(std::string& text, std::uint32_t value, int minDigits = 1);

// Appends value in decimal with at least minDigits digits, zeros in front, as
// "%02d" does for 2 (minDigits up to 10).
void AppendDecimal(std::string& text, int value, int minDigits);

}  // namespace ordalyn

namespace ordalyn {

// The computer's name: on Windows its NetBIOS name (at most 15 characters),
// elsewhere its host name up to the first dot. Empty when the system does not
// tell.
std::string ComputerName();

// The part of a host name before its first dot: "pbx7.example.org" gives "pbx7".
std::string HostNameBeforeFirstDot(std::string_view hostName);

// The processor's clock in MHz, counted over half a second at raised priority
// (this blocks the calling thread for about half a second). 500 when the
// processor has no readable cycle counter or the measurement fails.
double MeasureCpuSpeed();

}  // namespace ordalyn
