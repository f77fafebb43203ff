// What the simulated telephony platform simulates: its line devices, its calls,
// the messages it delivers after a line is opened, and the results it is told
// to force. A scenario is built in code, read from JSON text or a file
// (docs/scenarios.md describes the format), or taken from the built-in default
// environment.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tapi/tapidefs.h"

namespace ordalyn {

// Bounds that keep a hostile scenario from making the platform allocate or
// loop without end. A scenario file beyond them is refused with a message.
struct SimLimits {
  static constexpr std::size_t kMaxFileBytes = 1024 * 1024;
  static constexpr std::size_t kMaxLines = 256;
  static constexpr std::size_t kMaxCalls = 1024;
  static constexpr std::size_t kMaxScriptMessages = 10000;             // per script
  static constexpr std::size_t kMaxTextBytes = 1024;                   // one name, number or text
  static constexpr std::size_t kMaxDataBytes = 16384;                  // one block of device-specific data
  static constexpr std::size_t kMaxTotalDataBytes = 16 * 1024 * 1024;  // all texts and data together
  static constexpr std::size_t kMaxMessageTableEntries = 1024;
  static constexpr std::uint32_t kMaxDeviceCount = 1024;    // a forced device count
  static constexpr std::uint32_t kMaxDelayMs = 86400000;    // one day between two messages
  static constexpr std::uint32_t kMaxPeriodMs = 604800000;  // one week between two repetitions
  static constexpr std::uint32_t kMaxRepeatCount = 1000000;
};

// A TAPI version: major in the upper 16 bits, minor in the lower 16 bits.
constexpr DWORD kSimTapiVersion13 = 0x00010003;
constexpr DWORD kSimTapiVersion14 = 0x00010004;
constexpr DWORD kSimTapiVersion20 = 0x00020000;
constexpr DWORD kSimTapiVersion22 = 0x00020002;
constexpr DWORD kSimTapiVersion31 = 0x00030001;

// The information lineGetCallInfoA reports for one call. An absent text has
// size 0 in LINECALLINFO; a present one (even "") is written with its NUL.
struct SimCallInfo {
  std::optional<std::string> callerID;
  std::optional<std::string> callerIDName;
  std::optional<std::string> calledID;
  std::optional<std::string> calledIDName;
  std::optional<std::string> connectedID;
  std::optional<std::string> connectedIDName;
  // LINECALLPARTYID_* flags; when absent they follow from the texts
  // (ADDRESS for a number, NAME for a name, UNKNOWN for neither).
  std::optional<DWORD> callerIDFlags;
  std::optional<DWORD> calledIDFlags;
  std::optional<DWORD> connectedIDFlags;
  DWORD origin = 0;  // LINECALLORIGIN_*
  DWORD reason = 0;  // LINECALLREASON_*
  DWORD addressID = 0;
  DWORD bearerMode = LINEBEARERMODE_VOICE;
  DWORD mediaMode = LINEMEDIAMODE_INTERACTIVEVOICE;
  DWORD callID = 0;
  std::vector<std::uint8_t> devSpecific;  // appended as device-specific data

  bool operator==(const SimCallInfo&) const = default;
};

// The fields of SimCallInfo, as bits of SimCallUpdate::fields.
enum SimCallField : std::uint32_t {
  kSimCallerID = 1u << 0,
  kSimCallerIDName = 1u << 1,
  kSimCalledID = 1u << 2,
  kSimCalledIDName = 1u << 3,
  kSimConnectedID = 1u << 4,
  kSimConnectedIDName = 1u << 5,
  kSimCallerIDFlags = 1u << 6,
  kSimCalledIDFlags = 1u << 7,
  kSimConnectedIDFlags = 1u << 8,
  kSimOrigin = 1u << 9,
  kSimReason = 1u << 10,
  kSimAddressID = 1u << 11,
  kSimBearerMode = 1u << 12,
  kSimMediaMode = 1u << 13,
  kSimCallID = 1u << 14,
  kSimDevSpecific = 1u << 15,
};

// A change to a call's information: the fields named in `fields` take their
// values from `values`; the others stay as they are.
struct SimCallUpdate {
  std::uint32_t fields = 0;
  SimCallInfo values;

  bool Empty() const { return fields == 0; }
  void ApplyTo(SimCallInfo& info) const;
  bool operator==(const SimCallUpdate&) const = default;
};

struct SimCall {
  HCALL handle = 0;
  SimCallInfo info;
};

// Which hDevice a scripted message carries.
enum class SimDeviceTarget {
  kLine,   // the handle of the opened line the script runs on
  kCall,   // the handle of the message's call
  kValue,  // SimMessage::hDevice as it stands
};

// One message of a script.
struct SimMessage {
  std::uint32_t delayMs = 0;  // after the previous message; the first one after lineOpenA
  DWORD message = 0;          // any number, unknown ones included
  DWORD param1 = 0;
  DWORD param2 = 0;
  DWORD param3 = 0;
  SimDeviceTarget target = SimDeviceTarget::kLine;
  DWORD hDevice = 0;     // with SimDeviceTarget::kValue
  HCALL call = 0;        // the call the message concerns; 0 for none
  SimCallUpdate update;  // applied to that call just before the message is delivered

  bool operator==(const SimMessage&) const = default;
};

// How often a script runs. Repetition k starts periodMs after repetition k-1
// started; at the start of every repetition after the first, the scenario's
// calls get back their initial information.
struct SimRepeat {
  std::uint32_t count = 1;  // number of runs, 1 = no repetition
  bool endless = false;  // "forever" in a scenario file
  std::optional<std::uint32_t> periodMs;  // absent: the script's own length
};

struct SimScript {
  std::vector<SimMessage> messages;
  SimRepeat repeat;
};

// An endless, realistic stream of incoming calls on the opened line, drawn
// from a seeded generator: the same seed gives the same stream.
struct SimTraffic {
  std::uint64_t seed = 1;
};

struct SimLine {
  std::string name;  // "" gives dwLineNameSize 0
  DWORD mediaModes = 0;
  DWORD bearerModes = LINEBEARERMODE_VOICE;
  DWORD minApiVersion = kSimTapiVersion13;
  DWORD maxApiVersion = kSimTapiVersion22;
  // Forced results: when set, the call returns this value and has no other effect.
  std::optional<LONG> negotiateResult;
  std::optional<LONG> devCapsResult;
  std::optional<LONG> openResult;
  std::optional<std::string> providerInfo;
  std::vector<std::uint8_t> devSpecific;
  std::optional<DWORD> permanentLineId;  // absent: derived from the device number
  std::optional<SimScript> script;       // replaces the scenario's script on this line
};

struct SimScenario {
  std::vector<SimLine> lines;
  std::vector<SimCall> calls;                 // valid from a successful lineOpenA until lineShutdown
  SimScript script;                           // runs on every opened line without a script of its own
  std::optional<SimTraffic> traffic;          // runs where no script does
  DWORD tapiVersion = kSimTapiVersion31;      // written back by lineInitializeExA
  std::optional<LONG> initializeResult;       // no effect besides the result
  std::optional<LONG> shutdownResult;         // the shutdown still takes place
  std::optional<DWORD> deviceCount;           // absent: the number of lines
  std::map<DWORD, std::string> messageTable;  // message identifier -> text
};

// Why a scenario could not be used: the file (or the name given to a text),
// where in it (a key path such as "lines[2].mediaModes", or "line 3, column
// 17" for JSON syntax; empty for the file as a whole) and what is wrong.
struct SimScenarioError {
  std::string source;
  std::string location;
  std::string reason;

  // "source: location: reason", or "source: reason" without a location.
  std::string Text() const;
};

// The result of reading a scenario: exactly one of the two is set.
struct SimScenarioResult {
  std::optional<SimScenario> scenario;
  std::optional<SimScenarioError> error;

  bool Ok() const { return scenario.has_value(); }
};

// Reads a scenario from JSON text; sourceName names it in error messages.
SimScenarioResult ParseSimScenario(std::string_view jsonText, std::string_view sourceName);

// Reads a scenario file (at most SimLimits::kMaxFileBytes bytes).
SimScenarioResult LoadSimScenarioFile(const std::string& path);

// The built-in environment used when no scenario is chosen: five lines, of
// which line 3 is the first suited to voice monitoring, line 1 speaks only
// TAPI 1.3 and line 2 has LINEMEDIAMODE_UNKNOWN; endless call traffic on
// whichever line is opened.
SimScenario DefaultSimScenario();

// Text conversion for scenario texts: UTF-8 (as JSON holds it) to the
// single-byte code page 1252 that TAPI's A functions deliver. No value when a
// character has no place in code page 1252 or the text is not valid UTF-8.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

}  // namespace ordalyn
