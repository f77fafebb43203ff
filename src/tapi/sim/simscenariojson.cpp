// Reading a scenario from JSON. The reader walks the document along the known
// keys only: every unknown key is refused (so a misspelt key never goes
// unnoticed), every value is checked for its type and range, and the first
// problem ends the reading with the key path where it sits.
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <initializer_list>
#include <optional>
#include <set>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "tapi/sim/simconstants.h"
#include "tapi/sim/simscenario.h"

namespace ordalyn {
namespace {

using Json = nlohmann::json;

// The first problem found; ends the reading.
struct ReadFailure {
  std::string location;
  std::string reason;
};

[[noreturn]] void Fail(const std::string& location, std::string reason) {
  throw ReadFailure{location.empty() ? std::string("(top level)") : location, std::move(reason)};
}

std::string Key(const std::string& path, std::string_view key) {
  return path.empty() ? std::string(key) : path + "." + std::string(key);
}

std::string Index(const std::string& path, std::size_t index) {
  return path + "[" + std::to_string(index) + "]";
}

// "a number", "an array", ... for messages about a value of the wrong type.
std::string TypeText(const Json& value) {
  switch (value.type()) {
    case Json::value_t::null:
      return "null";
    case Json::value_t::object:
      return "an object";
    case Json::value_t::array:
      return "an array";
    case Json::value_t::string:
      return "a text";
    case Json::value_t::boolean:
      return value.get<bool>() ? "true" : "false";
    default:
      return "a number";
  }
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted += text;
  quoted += '"';
  return quoted;
}

std::string Hex(DWORD value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", static_cast<unsigned>(value));
  return buffer;
}

// Which constant names a value may be written with.
enum class Kind { kNumber, kAny, kMessage, kResult, kMediaMode, kBearerMode, kOrigin, kReason, kPartyId };

std::span<const std::string_view> Prefixes(Kind kind) {
  static constexpr std::string_view kMessages[] = {"LINE_", "PHONE_"};
  static constexpr std::string_view kResults[] = {"LINEERR_", "PHONEERR_", "TAPIERR_"};
  static constexpr std::string_view kMediaModes[] = {"LINEMEDIAMODE_"};
  static constexpr std::string_view kBearerModes[] = {"LINEBEARERMODE_"};
  static constexpr std::string_view kOrigins[] = {"LINECALLORIGIN_"};
  static constexpr std::string_view kReasons[] = {"LINECALLREASON_"};
  static constexpr std::string_view kPartyIds[] = {"LINECALLPARTYID_"};
  switch (kind) {
    case Kind::kMessage:
      return kMessages;
    case Kind::kResult:
      return kResults;
    case Kind::kMediaMode:
      return kMediaModes;
    case Kind::kBearerMode:
      return kBearerModes;
    case Kind::kOrigin:
      return kOrigins;
    case Kind::kReason:
      return kReasons;
    case Kind::kPartyId:
      return kPartyIds;
    case Kind::kNumber:
    case Kind::kAny:
      break;
  }
  return {};
}

bool IsHexDigit(char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNameStart(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

// One number or constant name, as it stands in a text value.
DWORD ReadToken(std::string_view token, Kind kind, const std::string& path) {
  if (token.size() > 2 && token[0] == '0' && (token[1] == 'x' || token[1] == 'X')) {
    const std::string_view digits = token.substr(2);
    if (!std::all_of(digits.begin(), digits.end(), IsHexDigit)) {
      Fail(path, "invalid hexadecimal number " + Quoted(token));
    }
    const std::size_t first = digits.find_first_not_of('0');
    if (first != std::string_view::npos && digits.size() - first > 8) {
      Fail(path, Quoted(token) + " does not fit in 32 bits");
    }
    return static_cast<DWORD>(std::stoull(std::string(digits), nullptr, 16));
  }
  if (IsDigit(token[0]) || token[0] == '-' || token[0] == '+') {
    const bool negative = token[0] == '-';
    const std::string_view digits = negative ? token.substr(1) : token;
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), IsDigit)) {
      Fail(path, "invalid number " + Quoted(token));
    }
    const std::size_t first = digits.find_first_not_of('0');
    const std::string_view significant = first == std::string_view::npos ? "0" : digits.substr(first);
    if (significant.size() > 10) Fail(path, Quoted(token) + " does not fit in 32 bits");
    const unsigned long long magnitude = std::stoull(std::string(significant));
    if (negative) {
      if (magnitude > 0x80000000ull) Fail(path, Quoted(token) + " does not fit in 32 bits");
      return static_cast<DWORD>(0u - static_cast<DWORD>(magnitude));
    }
    if (magnitude > 0xFFFFFFFFull) Fail(path, Quoted(token) + " does not fit in 32 bits");
    return static_cast<DWORD>(magnitude);
  }
  if (!IsNameStart(token[0])) Fail(path, "invalid value " + Quoted(token));
  if (kind == Kind::kNumber) Fail(path, "expected a number, not the name " + Quoted(token));
  const std::optional<DWORD> value = FindTapiConstant(token);
  if (!value) {
    std::string upper(token);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (upper != token && FindTapiConstant(upper)) {
      Fail(path, "unknown TAPI constant name " + Quoted(token) + " (constant names are upper case)");
    }
    Fail(path, "unknown TAPI constant name " + Quoted(token));
  }
  const std::span<const std::string_view> prefixes = Prefixes(kind);
  if (!prefixes.empty()) {
    const bool fits = std::any_of(prefixes.begin(), prefixes.end(),
                                  [&](std::string_view prefix) { return token.starts_with(prefix); });
    if (!fits) {
      std::string families;
      for (std::string_view prefix : prefixes) {
        if (!families.empty()) families += " or ";
        families += std::string(prefix) + "*";
      }
      Fail(path, Quoted(token) + " is not one of the " + families + " constants");
    }
  }
  return *value;
}

// A 32-bit value: a JSON integer, or a text holding a decimal or "0x"
// hexadecimal number or a TAPI constant name, or several of them joined by "|".
DWORD ReadValue(const Json& value, const std::string& path, Kind kind) {
  if (value.is_number_unsigned()) {
    const auto number = value.get<std::uint64_t>();
    if (number > 0xFFFFFFFFull) Fail(path, value.dump() + " does not fit in 32 bits");
    return static_cast<DWORD>(number);
  }
  if (value.is_number_integer()) {
    const auto number = value.get<std::int64_t>();
    if (number < -2147483648ll || number > 0xFFFFFFFFll)
      Fail(path, value.dump() + " does not fit in 32 bits");
    return static_cast<DWORD>(static_cast<std::uint64_t>(number) & 0xFFFFFFFFull);
  }
  if (value.is_number_float()) Fail(path, "expected a whole number, not " + value.dump());
  if (!value.is_string()) {
    Fail(path, std::string(kind == Kind::kNumber ? "expected a number"
                                                 : "expected a number or a TAPI constant name") +
                   ", not " + TypeText(value));
  }
  const auto& text = value.get_ref<const std::string&>();
  if (TrimBlanks(text).empty()) Fail(path, "empty value");
  DWORD result = 0;
  std::string_view rest = text;
  for (;;) {
    const std::size_t bar = rest.find('|');
    const std::string_view part = TrimBlanks(rest.substr(0, bar));
    if (part.empty()) Fail(path, "empty part in " + Quoted(text));
    result |= ReadToken(part, kind, path);
    if (bar == std::string_view::npos) break;
    rest.remove_prefix(bar + 1);
  }
  return result;
}

// An unsigned count or time within [low, high].
std::uint32_t ReadBounded(const Json& value, const std::string& path, std::uint32_t low, std::uint32_t high) {
  const bool negative =
      (value.is_number_integer() && !value.is_number_unsigned()) ||
      (value.is_string() && TrimBlanks(value.get_ref<const std::string&>()).starts_with("-"));
  const DWORD number = ReadValue(value, path, Kind::kNumber);
  if (negative && number != 0) Fail(path, "must not be negative");
  if (number < low) Fail(path, "must be at least " + std::to_string(low));
  if (number > high) Fail(path, "must be at most " + std::to_string(high));
  return number;
}

// A TAPI version: a number, or "major.minor" such as "2.2".
DWORD ReadVersion(const Json& value, const std::string& path) {
  if (value.is_string()) {
    const std::string_view text = TrimBlanks(value.get_ref<const std::string&>());
    const std::size_t dot = text.find('.');
    if (dot != std::string_view::npos) {
      const std::string_view major = text.substr(0, dot);
      const std::string_view minor = text.substr(dot + 1);
      const auto decimal = [](std::string_view part) {
        return !part.empty() && part.size() <= 5 && std::all_of(part.begin(), part.end(), IsDigit);
      };
      if (!decimal(major) || !decimal(minor)) Fail(path, "invalid version " + Quoted(text));
      const unsigned long high = std::stoul(std::string(major));
      const unsigned long low = std::stoul(std::string(minor));
      if (high > 0xFFFF || low > 0xFFFF) Fail(path, "invalid version " + Quoted(text));
      return static_cast<DWORD>((high << 16) | low);
    }
  }
  return ReadValue(value, path, Kind::kNumber);
}

LONG ReadResult(const Json& value, const std::string& path) {
  return static_cast<LONG>(ReadValue(value, path, Kind::kResult));
}

const char* KnownKeysText(std::initializer_list<std::string_view> keys, std::string& storage) {
  storage.clear();
  for (std::string_view key : keys) {
    if (!storage.empty()) storage += ", ";
    storage += key;
  }
  return storage.c_str();
}

// Checks that value is an object whose keys are all known ("comment" is
// allowed everywhere and ignored).
void CheckObject(const Json& value, const std::string& path, std::initializer_list<std::string_view> keys) {
  if (!value.is_object()) {
    Fail(path, std::string("expected an object, not ") + TypeText(value));
  }
  for (const auto& item : value.items()) {
    const std::string& key = item.key();
    if (key == "comment") continue;
    if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
      std::string known;
      Fail(Key(path, key),
           std::string("unknown key (known keys: ") + KnownKeysText(keys, known) + ", comment)");
    }
  }
}

const Json* Find(const Json& object, std::string_view key) {
  const auto found = object.find(key);
  return found == object.end() ? nullptr : &*found;
}

const Json& Require(const Json& object, std::string_view key, const std::string& path) {
  const Json* value = Find(object, key);
  if (value == nullptr) Fail(Key(path, key), "missing");
  return *value;
}

const Json& RequireArray(const Json& value, const std::string& path, std::size_t maxSize, const char* what) {
  if (!value.is_array()) {
    Fail(path, std::string("expected an array, not ") + TypeText(value));
  }
  if (value.size() > maxSize) {
    Fail(path, "holds " + std::to_string(value.size()) + " " + what + "; at most " + std::to_string(maxSize) +
                   " are allowed");
  }
  return value;
}

class ScenarioReader {
 public:
  SimScenario Read(const Json& root) {
    CheckObject(root, "",
                {"lines", "calls", "script", "repeat", "traffic", "tapiVersion", "initializeResult",
                 "shutdownResult", "deviceCount", "messageTable"});
    SimScenario scenario;
    if (const Json* v = Find(root, "tapiVersion")) scenario.tapiVersion = ReadVersion(*v, "tapiVersion");
    if (const Json* v = Find(root, "initializeResult"))
      scenario.initializeResult = ReadResult(*v, "initializeResult");
    if (const Json* v = Find(root, "shutdownResult"))
      scenario.shutdownResult = ReadResult(*v, "shutdownResult");
    if (const Json* v = Find(root, "deviceCount")) {
      scenario.deviceCount = ReadBounded(*v, "deviceCount", 0, SimLimits::kMaxDeviceCount);
    }
    if (const Json* v = Find(root, "calls")) {
      const Json& calls = RequireArray(*v, "calls", SimLimits::kMaxCalls, "calls");
      for (std::size_t i = 0; i < calls.size(); ++i)
        scenario.calls.push_back(ReadCall(calls[i], Index("calls", i)));
    }
    const Json& lines = RequireArray(Require(root, "lines", ""), "lines", SimLimits::kMaxLines, "lines");
    for (std::size_t i = 0; i < lines.size(); ++i)
      scenario.lines.push_back(ReadLine(lines[i], Index("lines", i)));
    scenario.script = ReadScript(root, "");
    if (const Json* v = Find(root, "traffic")) {
      CheckObject(*v, "traffic", {"seed"});
      SimTraffic traffic;
      if (const Json* seed = Find(*v, "seed")) {
        traffic.seed = seed->is_number_unsigned() ? seed->get<std::uint64_t>()
                                                  : ReadBounded(*seed, "traffic.seed", 0, 0xFFFFFFFFu);
      }
      scenario.traffic = traffic;
    }
    if (const Json* v = Find(root, "messageTable")) ReadMessageTable(*v, scenario.messageTable);
    return scenario;
  }

 private:
  void Charge(std::size_t bytes, const std::string& path) {
    if (bytes > budget_) {
      Fail(path, "the scenario holds more data than the simulator accepts (" +
                     std::to_string(SimLimits::kMaxTotalDataBytes) + " bytes)");
    }
    budget_ -= bytes;
  }

  std::string ReadText(const Json& value, const std::string& path) {
    if (!value.is_string()) {
      Fail(path, std::string("expected a text, not ") + TypeText(value));
    }
    const auto& utf8 = value.get_ref<const std::string&>();
    std::optional<std::string> text = Utf8ToCp1252(utf8);
    if (!text) Fail(path, "holds a character that code page 1252 cannot represent");
    if (text->size() > SimLimits::kMaxTextBytes) {
      Fail(path, "is longer than " + std::to_string(SimLimits::kMaxTextBytes) + " bytes");
    }
    if (text->find('\0') != std::string::npos) Fail(path, "contains a NUL character");
    Charge(text->size() + 1, path);
    return std::move(*text);
  }

  std::optional<std::string> ReadOptionalText(const Json& value, const std::string& path) {
    if (value.is_null()) return std::nullopt;
    return ReadText(value, path);
  }

  // Device-specific data: a text of hexadecimal byte pairs ("0A 0B FF"), or a
  // byte count that gives the bytes 00 01 02 ... of that length.
  std::vector<std::uint8_t> ReadBytes(const Json& value, const std::string& path) {
    std::vector<std::uint8_t> bytes;
    if (value.is_null()) return bytes;
    if (value.is_string()) {
      const auto& text = value.get_ref<const std::string&>();
      std::string digits;
      for (char c : text) {
        if (c == ' ') continue;
        if (!IsHexDigit(c)) Fail(path, "expected hexadecimal byte pairs such as \"0A 1B FF\"");
        digits += c;
      }
      if (digits.size() % 2 != 0) Fail(path, "hexadecimal digits must come in pairs");
      if (digits.size() / 2 > SimLimits::kMaxDataBytes) {
        Fail(path, "holds more than " + std::to_string(SimLimits::kMaxDataBytes) + " bytes");
      }
      for (std::size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
      }
    } else if (value.is_number()) {
      const std::uint32_t size =
          ReadBounded(value, path, 0, static_cast<std::uint32_t>(SimLimits::kMaxDataBytes));
      for (std::uint32_t i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(i & 0xFF));
    } else {
      Fail(path, "expected a text of hexadecimal bytes or a byte count, not " + TypeText(value));
    }
    Charge(bytes.size(), path);
    return bytes;
  }

  // The call information keys, shared by "calls" entries and "set" changes.
  void ReadCallFields(const Json& object, const std::string& path, SimCallUpdate& update) {
    struct TextField {
      std::string_view key;
      SimCallField field;
      std::optional<std::string> SimCallInfo::*member;
    };
    static constexpr TextField kTexts[] = {
        {"callerID", kSimCallerID, &SimCallInfo::callerID},
        {"callerIDName", kSimCallerIDName, &SimCallInfo::callerIDName},
        {"calledID", kSimCalledID, &SimCallInfo::calledID},
        {"calledIDName", kSimCalledIDName, &SimCallInfo::calledIDName},
        {"connectedID", kSimConnectedID, &SimCallInfo::connectedID},
        {"connectedIDName", kSimConnectedIDName, &SimCallInfo::connectedIDName},
    };
    for (const TextField& text : kTexts) {
      if (const Json* v = Find(object, text.key)) {
        update.values.*text.member = ReadOptionalText(*v, Key(path, text.key));
        update.fields |= text.field;
      }
    }
    struct FlagField {
      std::string_view key;
      SimCallField field;
      std::optional<DWORD> SimCallInfo::*member;
    };
    static constexpr FlagField kFlags[] = {
        {"callerIDFlags", kSimCallerIDFlags, &SimCallInfo::callerIDFlags},
        {"calledIDFlags", kSimCalledIDFlags, &SimCallInfo::calledIDFlags},
        {"connectedIDFlags", kSimConnectedIDFlags, &SimCallInfo::connectedIDFlags},
    };
    for (const FlagField& flag : kFlags) {
      if (const Json* v = Find(object, flag.key)) {
        update.values.*flag.member =
            v->is_null() ? std::nullopt
                         : std::optional<DWORD>(ReadValue(*v, Key(path, flag.key), Kind::kPartyId));
        update.fields |= flag.field;
      }
    }
    struct NumberField {
      std::string_view key;
      SimCallField field;
      DWORD SimCallInfo::*member;
      Kind kind;
    };
    static constexpr NumberField kNumbers[] = {
        {"origin", kSimOrigin, &SimCallInfo::origin, Kind::kOrigin},
        {"reason", kSimReason, &SimCallInfo::reason, Kind::kReason},
        {"addressID", kSimAddressID, &SimCallInfo::addressID, Kind::kNumber},
        {"bearerMode", kSimBearerMode, &SimCallInfo::bearerMode, Kind::kBearerMode},
        {"mediaMode", kSimMediaMode, &SimCallInfo::mediaMode, Kind::kMediaMode},
        {"callID", kSimCallID, &SimCallInfo::callID, Kind::kNumber},
    };
    for (const NumberField& number : kNumbers) {
      if (const Json* v = Find(object, number.key)) {
        update.values.*number.member = ReadValue(*v, Key(path, number.key), number.kind);
        update.fields |= number.field;
      }
    }
    if (const Json* v = Find(object, "devSpecific")) {
      update.values.devSpecific = ReadBytes(*v, Key(path, "devSpecific"));
      update.fields |= kSimDevSpecific;
    }
  }

  SimCall ReadCall(const Json& value, const std::string& path) {
    CheckObject(value, path,
                {"handle", "callerID", "callerIDName", "calledID", "calledIDName", "connectedID",
                 "connectedIDName", "callerIDFlags", "calledIDFlags", "connectedIDFlags", "origin", "reason",
                 "addressID", "bearerMode", "mediaMode", "callID", "devSpecific"});
    SimCall call;
    const std::string handlePath = Key(path, "handle");
    call.handle = ReadValue(Require(value, "handle", path), handlePath, Kind::kNumber);
    if (call.handle == 0) Fail(handlePath, "must not be 0");
    if (!handles_.insert(call.handle).second)
      Fail(handlePath, "the call " + Hex(call.handle) + " is declared twice");
    SimCallUpdate fields;
    ReadCallFields(value, path, fields);
    fields.ApplyTo(call.info);
    Charge(sizeof(SimCall), path);
    return call;
  }

  SimLine ReadLine(const Json& value, const std::string& path) {
    CheckObject(value, path,
                {"name", "mediaModes", "bearerModes", "minApiVersion", "maxApiVersion", "negotiateResult",
                 "devCapsResult", "openResult", "providerInfo", "devSpecific", "permanentLineId", "script",
                 "repeat"});
    SimLine line;
    line.name = ReadText(Require(value, "name", path), Key(path, "name"));
    line.mediaModes =
        ReadValue(Require(value, "mediaModes", path), Key(path, "mediaModes"), Kind::kMediaMode);
    if (const Json* v = Find(value, "bearerModes")) {
      line.bearerModes = ReadValue(*v, Key(path, "bearerModes"), Kind::kBearerMode);
    }
    if (const Json* v = Find(value, "minApiVersion"))
      line.minApiVersion = ReadVersion(*v, Key(path, "minApiVersion"));
    if (const Json* v = Find(value, "maxApiVersion"))
      line.maxApiVersion = ReadVersion(*v, Key(path, "maxApiVersion"));
    if (line.minApiVersion > line.maxApiVersion) {
      Fail(Find(value, "maxApiVersion") ? Key(path, "maxApiVersion") : Key(path, "minApiVersion"),
           "the version range is empty: minApiVersion " + Hex(line.minApiVersion) +
               " is above maxApiVersion " + Hex(line.maxApiVersion));
    }
    if (const Json* v = Find(value, "negotiateResult"))
      line.negotiateResult = ReadResult(*v, Key(path, "negotiateResult"));
    if (const Json* v = Find(value, "devCapsResult"))
      line.devCapsResult = ReadResult(*v, Key(path, "devCapsResult"));
    if (const Json* v = Find(value, "openResult")) line.openResult = ReadResult(*v, Key(path, "openResult"));
    if (const Json* v = Find(value, "providerInfo"))
      line.providerInfo = ReadOptionalText(*v, Key(path, "providerInfo"));
    if (const Json* v = Find(value, "devSpecific"))
      line.devSpecific = ReadBytes(*v, Key(path, "devSpecific"));
    if (const Json* v = Find(value, "permanentLineId")) {
      line.permanentLineId = ReadValue(*v, Key(path, "permanentLineId"), Kind::kNumber);
    }
    if (Find(value, "script") != nullptr) {
      line.script = ReadScript(value, path);
    } else if (Find(value, "repeat") != nullptr) {
      Fail(Key(path, "repeat"), "repeats nothing: the line has no \"script\"");
    }
    Charge(sizeof(SimLine), path);
    return line;
  }

  // "script" and "repeat" of the object at path (the scenario or one line).
  SimScript ReadScript(const Json& owner, const std::string& path) {
    SimScript script;
    const std::string scriptPath = Key(path, "script");
    if (const Json* v = Find(owner, "script")) {
      const Json& messages = RequireArray(*v, scriptPath, SimLimits::kMaxScriptMessages, "messages");
      for (std::size_t i = 0; i < messages.size(); ++i) {
        script.messages.push_back(ReadMessage(messages[i], Index(scriptPath, i)));
      }
    }
    if (const Json* v = Find(owner, "repeat")) script.repeat = ReadRepeat(*v, Key(path, "repeat"), script);
    return script;
  }

  SimRepeat ReadRepeat(const Json& value, const std::string& path, const SimScript& script) {
    CheckObject(value, path, {"count", "periodMs"});
    SimRepeat repeat;
    if (const Json* v = Find(value, "count")) {
      if (v->is_string() && TrimBlanks(v->get_ref<const std::string&>()) == "forever") {
        repeat.endless = true;
      } else {
        repeat.count = ReadBounded(*v, Key(path, "count"), 1, SimLimits::kMaxRepeatCount);
      }
    }
    if (const Json* v = Find(value, "periodMs")) {
      repeat.periodMs = ReadBounded(*v, Key(path, "periodMs"), 0, SimLimits::kMaxPeriodMs);
    }
    if (repeat.endless || repeat.count > 1) {
      std::uint64_t length = 0;
      for (const SimMessage& message : script.messages) length += message.delayMs;
      if (repeat.periodMs) {
        if (*repeat.periodMs < length) {
          Fail(Key(path, "periodMs"),
               "is shorter than one run of the script (" + std::to_string(length) + " ms)");
        }
        if (*repeat.periodMs == 0) Fail(Key(path, "periodMs"), "must be at least 1 when the script repeats");
      } else if (length == 0) {
        Fail(path, "a script that takes no time needs a \"periodMs\" of at least 1 to repeat");
      } else if (length > SimLimits::kMaxPeriodMs) {
        Fail(path, "one run of the script takes longer than " + std::to_string(SimLimits::kMaxPeriodMs) +
                       " ms, too long to repeat");
      }
    }
    return repeat;
  }

  SimMessage ReadMessage(const Json& value, const std::string& path) {
    CheckObject(value, path, {"delayMs", "message", "param1", "param2", "param3", "hDevice", "call", "set"});
    SimMessage message;
    if (const Json* v = Find(value, "delayMs"))
      message.delayMs = ReadBounded(*v, Key(path, "delayMs"), 0, SimLimits::kMaxDelayMs);
    message.message = ReadValue(Require(value, "message", path), Key(path, "message"), Kind::kMessage);
    if (const Json* v = Find(value, "param1"))
      message.param1 = ReadValue(*v, Key(path, "param1"), Kind::kAny);
    if (const Json* v = Find(value, "param2"))
      message.param2 = ReadValue(*v, Key(path, "param2"), Kind::kAny);
    if (const Json* v = Find(value, "param3"))
      message.param3 = ReadValue(*v, Key(path, "param3"), Kind::kAny);
    if (const Json* v = Find(value, "call")) {
      const std::string callPath = Key(path, "call");
      message.call = ReadValue(*v, callPath, Kind::kNumber);
      if (message.call == 0) Fail(callPath, "must not be 0");
      if (handles_.count(message.call) == 0) {
        Fail(callPath, "no call with the handle " + Hex(message.call) + " is declared in \"calls\"");
      }
      message.target = SimDeviceTarget::kCall;
    }
    if (const Json* v = Find(value, "hDevice")) {
      const std::string devicePath = Key(path, "hDevice");
      const std::string text =
          v->is_string() ? std::string(TrimBlanks(v->get_ref<const std::string&>())) : "";
      if (text == "line") {
        message.target = SimDeviceTarget::kLine;
      } else if (text == "call") {
        if (message.call == 0) Fail(devicePath, "\"call\" needs the message's \"call\"");
        message.target = SimDeviceTarget::kCall;
      } else {
        message.hDevice = ReadValue(*v, devicePath, Kind::kNumber);
        message.target = SimDeviceTarget::kValue;
      }
    }
    if (const Json* v = Find(value, "set")) {
      const std::string setPath = Key(path, "set");
      if (message.call == 0) Fail(setPath, "needs the message's \"call\", the call to change");
      CheckObject(*v, setPath,
                  {"callerID", "callerIDName", "calledID", "calledIDName", "connectedID", "connectedIDName",
                   "callerIDFlags", "calledIDFlags", "connectedIDFlags", "origin", "reason", "addressID",
                   "bearerMode", "mediaMode", "callID", "devSpecific"});
      ReadCallFields(*v, setPath, message.update);
    }
    Charge(sizeof(SimMessage), path);
    return message;
  }

  // Message identifier -> text, for MessageTableText.
  void ReadMessageTable(const Json& value, std::map<DWORD, std::string>& table) {
    if (!value.is_object()) {
      Fail("messageTable", std::string("expected an object, not ") + TypeText(value));
    }
    if (value.size() > SimLimits::kMaxMessageTableEntries) {
      Fail("messageTable", "holds " + std::to_string(value.size()) + " texts; at most " +
                               std::to_string(SimLimits::kMaxMessageTableEntries) + " are allowed");
    }
    for (const auto& item : value.items()) {
      if (item.key() == "comment") continue;
      const std::string path = Key("messageTable", item.key());
      const std::string_view token = TrimBlanks(item.key());
      if (token.empty()) Fail(path, "expected a message identifier such as \"0xE048\"");
      const DWORD identifier = ReadToken(token, Kind::kNumber, path);
      if (table.count(identifier) != 0) Fail(path, "the identifier " + Hex(identifier) + " is given twice");
      table[identifier] = ReadText(item.value(), path);
    }
  }

  std::size_t budget_ = SimLimits::kMaxTotalDataBytes;
  std::set<HCALL> handles_;
};

// The "line L, column C: ..." part of a JSON syntax error.
std::string SyntaxErrorText(const Json::parse_error& error) {
  std::string text = error.what();
  const std::string marker = "parse error at ";
  const std::size_t at = text.find(marker);
  if (at != std::string::npos) return text.substr(at + marker.size());
  const std::size_t bracket = text.find("] ");
  return bracket != std::string::npos ? text.substr(bracket + 2) : text;
}

// The parser keeps the last of repeated keys without a word, so the text (by
// now known to be valid JSON) is walked once more for the first key given
// twice in one object. Gives "line L, column C: key path" of its second
// occurrence, or nothing.
std::optional<std::string> FindRepeatedKey(std::string_view text) {
  struct Frame {
    bool object;
    std::string path;
    std::set<std::string> keys;
    std::string key;
    std::size_t index = 0;
  };
  // The JSON reader ends its input at the first NUL; what follows was never
  // read and is not scanned either. The scan never trusts the text's shape:
  // an unbalanced bracket or an unended string ends it.
  text = text.substr(0, text.find('\0'));
  std::vector<Frame> frames;
  bool expectKey = false;
  std::size_t line = 1;
  std::size_t lineStart = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\n') {
      ++line;
      lineStart = i + 1;
    } else if (c == '{' || c == '[') {
      std::string path;
      if (!frames.empty()) {
        const Frame& top = frames.back();
        path = top.object ? Key(top.path, top.key) : Index(top.path, top.index);
      }
      frames.push_back(Frame{c == '{', std::move(path), {}, {}, 0});
      expectKey = c == '{';
    } else if (c == '}' || c == ']') {
      if (frames.empty()) return std::nullopt;
      frames.pop_back();
      expectKey = false;
    } else if (c == ',') {
      if (frames.empty()) return std::nullopt;
      if (frames.back().object) {
        expectKey = true;
      } else {
        ++frames.back().index;
      }
    } else if (c == '"') {
      const std::size_t start = i;
      for (++i; i < text.size() && text[i] != '"'; ++i) {
        if (text[i] == '\\') ++i;
      }
      if (i >= text.size()) return std::nullopt;
      if (expectKey && !frames.empty()) {
        expectKey = false;
        Frame& top = frames.back();
        const Json key = Json::parse(text.begin() + start, text.begin() + i + 1, nullptr, false);
        if (!key.is_string()) return std::nullopt;
        top.key = key.get<std::string>();
        if (!top.keys.insert(top.key).second) {
          return "line " + std::to_string(line) + ", column " + std::to_string(start - lineStart + 1) + ": " +
                 Key(top.path, top.key);
        }
      }
    }
  }
  return std::nullopt;
}

}  // namespace

SimScenarioResult ParseSimScenario(std::string_view jsonText, std::string_view sourceName) {
  SimScenarioResult result;
  const std::string source(sourceName);
  if (jsonText.size() > SimLimits::kMaxFileBytes) {
    result.error = SimScenarioError{
        source, "", "the scenario is larger than " + std::to_string(SimLimits::kMaxFileBytes) + " bytes"};
    return result;
  }
  Json root;
  try {
    root = Json::parse(jsonText.begin(), jsonText.end());
  } catch (const Json::parse_error& error) {
    const std::string text = SyntaxErrorText(error);
    const std::size_t colon = text.find(": ");
    if (text.starts_with("line ") && colon != std::string::npos) {
      result.error =
          SimScenarioError{source, text.substr(0, colon), "invalid JSON: " + text.substr(colon + 2)};
    } else {
      result.error = SimScenarioError{source, "", "invalid JSON: " + text};
    }
    return result;
  } catch (const Json::exception& error) {
    result.error = SimScenarioError{source, "", std::string("invalid JSON: ") + error.what()};
    return result;
  }
  if (const auto repeated = FindRepeatedKey(jsonText)) {
    result.error = SimScenarioError{source, *repeated, "the key is given twice"};
    return result;
  }
  try {
    ScenarioReader reader;
    result.scenario = reader.Read(root);
  } catch (const ReadFailure& failure) {
    result.error = SimScenarioError{source, failure.location, failure.reason};
  } catch (const std::bad_alloc&) {
    result.error = SimScenarioError{source, "", "not enough memory to read the scenario"};
  }
  return result;
}

}  // namespace ordalyn
