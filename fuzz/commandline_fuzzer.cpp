// The command line of background mode: the line argument, integers, the file
// name's macros and the replacement under them, with any text, any clock
// reading and any computer name.
//
// Input: u8 flags (bit 0: also a file name longer than the replacement's
// 65000-character tail), seven u32 clock fields (year, month, day, hour,
// minute, second, millisecond, read as signed), text8 computer name, text8
// pattern, text8 replacement, then the argument text (the rest).
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/commandline.h"
#include "fuzzinput.h"
#include "util/clock.h"
#include "util/utools.h"

namespace ordalyn::fuzz {
namespace {

constexpr std::size_t kMaxTail = 65000;

// The integer reading the program documents, written independently of it:
// blanks, a sign, "$" or "0x"/"0X" for hexadecimal, and nothing after the
// digits; hexadecimal wraps to 32 bits, decimal must fit a signed 32 bits.
std::optional<std::int32_t> ReferenceInteger(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  int base = 10;
  const std::string_view rest = text.substr(i);
  if (rest.starts_with("$")) {
    base = 16;
    i += 1;
  } else if (rest.starts_with("0x") || rest.starts_with("0X")) {
    base = 16;
    i += 2;
  }
  const std::string_view digits = text.substr(i);
  if (digits.empty()) return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  if (error != std::errc() || end != digits.data() + digits.size() || value > 0xFFFFFFFFull) {
    return std::nullopt;
  }
  if (base == 16) {
    const auto bits = static_cast<std::uint32_t>(negative ? 0 - value : value);
    return static_cast<std::int32_t>(bits);
  }
  if (negative) {
    if (value > 0x80000000ull) return std::nullopt;
    return static_cast<std::int32_t>(-static_cast<std::int64_t>(value));
  }
  if (value > 0x7FFFFFFFull) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

// The replacement the program documents: occurrences left to right, the
// text after each one kept up to 65000 characters, searching on behind the
// inserted replacement.
std::string ReferenceReplaceAll(std::string_view text, std::string_view pattern,
                                std::string_view replacement) {
  if (pattern.empty()) return std::string(text);
  std::string out;
  std::string rest(text);
  for (;;) {
    const std::size_t at = rest.find(pattern);
    if (at == std::string::npos) {
      out += rest;
      return out;
    }
    out.append(rest, 0, at);
    out += replacement;
    rest = rest.substr(at + pattern.size(), kMaxTail);
  }
}

std::string Show(const std::optional<std::int32_t>& value) {
  return value ? std::to_string(*value) : std::string("none");
}

bool Holds(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

std::size_t Occurrences(std::string_view text, std::string_view pattern) {
  std::size_t count = 0;
  for (std::size_t at = text.find(pattern); at != std::string_view::npos;
       at = text.find(pattern, at + pattern.size())) {
    ++count;
  }
  return count;
}

class CountingClock final : public Clock {
 public:
  explicit CountingClock(const LocalDateTime& now) : now_(now) {}
  LocalDateTime Now() const override {
    ++reads;
    return now_;
  }
  mutable int reads = 0;

 private:
  LocalDateTime now_;
};

void CheckIntegers(const std::string& argument) {
  const std::optional<std::int32_t> got = ReadInteger(argument);
  const std::optional<std::int32_t> expected = ReferenceInteger(argument);
  FUZZ_CHECK(got == expected, "ReadInteger gives " + Show(got) + ", expected " + Show(expected));

  const std::optional<std::int32_t> withoutSwitch =
      argument.empty() ? std::nullopt : ReferenceInteger(std::string_view(argument).substr(1));
  std::int32_t device = -1;
  if (withoutSwitch && *withoutSwitch >= 0) {
    device = *withoutSwitch;
  } else if (expected && *expected >= 0) {
    device = *expected;
  }
  const std::int32_t selected = ReadSelectedDevice(argument);
  FUZZ_CHECK(selected == device,
             "ReadSelectedDevice gives " + std::to_string(selected) + ", expected " + std::to_string(device));
}

void CheckReplaceAll(const std::string& text, const std::string& pattern, const std::string& replacement) {
  std::string replaced = text;
  ReplaceAll(replaced, pattern, replacement);
  FUZZ_CHECK(replaced == ReferenceReplaceAll(text, pattern, replacement), "ReplaceAll differs");
}

void CheckMacros(const std::string& fileName, const LocalDateTime& now, const std::string& computer) {
  CountingClock clock(now);
  int nameCalls = 0;
  const std::string expanded = ExpandMacros(fileName, clock, [&] {
    ++nameCalls;
    return computer;
  });
  if (fileName.find('#') == std::string::npos) {
    FUZZ_CHECK(expanded == fileName, "a name without macros changed");
  }
  // The macros one after the other, each only when it (still) occurs: a
  // replacement can destroy a macro that overlaps it ("#date#time#").
  char date[32];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", now.year, now.month, now.day);
  char time[32];
  std::snprintf(time, sizeof time, "%02d-%02d", now.hour, now.minute);
  const bool hasDate = Holds(fileName, "#date#");
  const std::string afterDate = ReferenceReplaceAll(fileName, "#date#", date);
  const bool hasTime = Holds(afterDate, "#time#");
  const std::string afterTime = ReferenceReplaceAll(afterDate, "#time#", time);
  const bool hasComputer = Holds(afterTime, "#computer#");
  const std::string expected = ReferenceReplaceAll(afterTime, "#computer#", computer);
  FUZZ_CHECK(expanded == expected,
             "expanded to \"" + expanded.substr(0, 200) + "\", expected \"" + expected.substr(0, 200) + "\"");
  FUZZ_CHECK(clock.reads == (hasDate ? 1 : 0) + (hasTime ? 1 : 0),
             "clock read " + std::to_string(clock.reads) + " times");
  FUZZ_CHECK(nameCalls == (hasComputer ? 1 : 0),
             "computer name asked for " + std::to_string(nameCalls) + " times");
  // The date and time texts hold no "#"; only the computer name can make a
  // macro reappear (or an empty name, by joining the text around it).
  if (!computer.empty() && computer.find('#') == std::string::npos) {
    FUZZ_CHECK(!Holds(expanded, "#date#") && !Holds(expanded, "#time#") && !Holds(expanded, "#computer#"),
               "a macro is left in \"" + expanded.substr(0, 200) + "\"");
  }
}

void CheckCommandLine(const std::string& text) {
  std::vector<std::string> arguments;
  std::size_t start = 0;
  for (std::size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', start)) {
    arguments.push_back(text.substr(start, at - start));
    start = at + 1;
  }
  arguments.push_back(text.substr(start));
  const auto request = ReadCommandLine(arguments);
  FUZZ_CHECK(request.has_value() == (arguments.size() >= 2), "background mode chosen wrongly");
  if (request) {
    FUZZ_CHECK(request->lineArgument == arguments[0] && request->fileName == arguments[1],
               "the request does not hold the first two arguments");
  }
}

}  // namespace
}  // namespace ordalyn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ordalyn;
  using namespace ordalyn::fuzz;
  InputReader input(data, size);
  const std::uint8_t flags = input.U8();
  LocalDateTime now;
  for (int* field :
       {&now.year, &now.month, &now.day, &now.hour, &now.minute, &now.second, &now.millisecond}) {
    *field = static_cast<std::int32_t>(input.U32());
  }
  const std::string computer = input.Text8();
  const std::string pattern = input.Text8();
  const std::string replacement = input.Text8();
  const std::string text = input.Rest();

  CheckIntegers(text);
  CheckCommandLine(text);
  CheckReplaceAll(text, pattern, replacement);
  CheckMacros(text, now, computer);
  // Names beyond the 65000-character tail. Each replacement copies the tail,
  // so this stays with inputs of few occurrences to keep runs fast.
  if ((flags & 1) != 0 && Occurrences(text, "#") <= 16) {
    const std::string longText = text + std::string(kMaxTail, 'x') + text;
    if (pattern.empty() || Occurrences(longText, pattern) <= 16) {
      CheckReplaceAll(longText, pattern, replacement);
    }
    CheckMacros(longText, now, computer);
  }
  return 0;
}
