#include "tapi/tapiutil.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <span>
#include <string_view>
#include <utility>

#include "util/utools.h"

namespace ordalyn {

namespace {

// Names are views of string literals: their lengths are known when names
// are read back, and each still ends with its NUL.
struct NamedValue {
  DWORD value;
  std::string_view name;
};

// Error texts, one per code; an empty text marks a place where TAPI defines
// no code. LineErrorTexts[n - 1] belongs to 0x80000000 + n, PhoneErrorTexts[n - 1]
// to 0x90000000 + n and RequestErrorTexts[n - 1] to the request error -n.
constexpr const char* LineErrorTexts[] = {
    // 1: LINEERR_ALLOCATED
    "The line device is already in use",
    // 2: LINEERR_BADDEVICEID
    "Invalid line device ID",
    // 3: LINEERR_BEARERMODEUNAVAIL
    "The requested bearer mode is unavailable",
    // 4: no code
    "",
    // 5: LINEERR_CALLUNAVAIL
    "No call appearance available",
    // 6: LINEERR_COMPLETIONOVERRUN
    "Too many call completions outstanding",
    // 7: LINEERR_CONFERENCEFULL
    "The conference is full",
    // 8: LINEERR_DIALBILLING
    "The ''$'' dial modifier is not supported",
    // 9: LINEERR_DIALDIALTONE
    "The ''W'' dial modifier is not supported",
    // 10: LINEERR_DIALPROMPT
    "The ''?'' dial modifier is not supported",
    // 11: LINEERR_DIALQUIET
    "The ''@'' dial modifier is not supported",
    // 12: LINEERR_INCOMPATIBLEAPIVERSION
    "Incompatible API version",
    // 13: LINEERR_INCOMPATIBLEEXTVERSION
    "Incompatible extension version",
    // 14: LINEERR_INIFILECORRUPT
    "The TAPI configuration information is unusable",
    // 15: LINEERR_INUSE
    "The line device is already in use",
    // 16: LINEERR_INVALADDRESS
    "The phone number is invalid or not properly formatted",
    // 17: LINEERR_INVALADDRESSID
    "Invalid address ID",
    // 18: LINEERR_INVALADDRESSMODE
    "Invalid address mode",
    // 19: LINEERR_INVALADDRESSSTATE
    "Operation not permitted in current address state",
    // 20: LINEERR_INVALAPPHANDLE
    "Invalid TAPI line application handle",
    // 21: LINEERR_INVALAPPNAME
    "Invalid application name",
    // 22: LINEERR_INVALBEARERMODE
    "Invalid bearer mode",
    // 23: LINEERR_INVALCALLCOMPLMODE
    "Invalid call completion mode",
    // 24: LINEERR_INVALCALLHANDLE
    "Invalid call handle",
    // 25: LINEERR_INVALCALLPARAMS
    "Invalid LINECALLPARAMS structure",
    // 26: LINEERR_INVALCALLPRIVILEGE
    "Invalid call privilege",
    // 27: LINEERR_INVALCALLSELECT
    "Invalid call select parameter",
    // 28: LINEERR_INVALCALLSTATE
    "Operation not permitted in current call state",
    // 29: LINEERR_INVALCALLSTATELIST
    "Invalid call state list",
    // 30: LINEERR_INVALCARD
    "Invalid calling card ID",
    // 31: LINEERR_INVALCOMPLETIONID
    "Invalid call completion ID",
    // 32: LINEERR_INVALCONFCALLHANDLE
    "Invalid conference call handle",
    // 33: LINEERR_INVALCONSULTCALLHANDLE
    "Invalid consultation call handle",
    // 34: LINEERR_INVALCOUNTRYCODE
    "Invalid country code",
    // 35: LINEERR_INVALDEVICECLASS
    "Invalid device class identifier",
    // 36: LINEERR_INVALDEVICEHANDLE
    "Invalid device handle",
    // 37: LINEERR_INVALDIALPARAMS
    "Invalid dialing parameters",
    // 38: LINEERR_INVALDIGITLIST
    "Invalid digit list",
    // 39: LINEERR_INVALDIGITMODE
    "Invalid digit mode",
    // 40: LINEERR_INVALDIGITS
    "Invalid digits",
    // 41: LINEERR_INVALEXTVERSION
    "Invalid extension version",
    // 42: LINEERR_INVALGROUPID
    "Invalid group pickup ID",
    // 43: LINEERR_INVALLINEHANDLE
    "Invalid line handle",
    // 44: LINEERR_INVALLINESTATE
    "Operation not permitted in current line state",
    // 45: LINEERR_INVALLOCATION
    "Invalid location ID",
    // 46: LINEERR_INVALMEDIALIST
    "Invalid media list",
    // 47: LINEERR_INVALMEDIAMODE
    "Invalid media mode",
    // 48: LINEERR_INVALMESSAGEID
    "Invalid message ID",
    // 49: no code
    "",
    // 50: LINEERR_INVALPARAM
    "Invalid parameter",
    // 51: LINEERR_INVALPARKID
    "Invalid park ID",
    // 52: LINEERR_INVALPARKMODE
    "Invalid park mode",
    // 53: LINEERR_INVALPOINTER
    "Invalid pointer",
    // 54: LINEERR_INVALPRIVSELECT
    "Invalid call privilege selection",
    // 55: LINEERR_INVALRATE
    "Invalid rate",
    // 56: LINEERR_INVALREQUESTMODE
    "Invalid request mode",
    // 57: LINEERR_INVALTERMINALID
    "Invalid terminal ID",
    // 58: LINEERR_INVALTERMINALMODE
    "Invalid terminal mode",
    // 59: LINEERR_INVALTIMEOUT
    "Invalid timeout value",
    // 60: LINEERR_INVALTONE
    "Invalid tone",
    // 61: LINEERR_INVALTONELIST
    "Invalid tone list",
    // 62: LINEERR_INVALTONEMODE
    "Invalid tone mode",
    // 63: LINEERR_INVALTRANSFERMODE
    "Invalid transfer mode",
    // 64: LINEERR_LINEMAPPERFAILED
    "No device matches the specified requirements",
    // 65: LINEERR_NOCONFERENCE
    "The call is not part of a conference",
    // 66: LINEERR_NODEVICE
    "The device was removed, or the device class is not recognized",
    // 67: LINEERR_NODRIVER
    "The service provider was removed",
    // 68: LINEERR_NOMEM
    "Insufficient memory available to complete the operation",
    // 69: LINEERR_NOREQUEST
    "No Assisted Telephony requests are pending",
    // 70: LINEERR_NOTOWNER
    "The application is does not have OWNER privilege on the call",
    // 71: LINEERR_NOTREGISTERED
    "The application is not registered to handle requests",
    // 72: LINEERR_OPERATIONFAILED
    "The operation failed for unspecified reasons",
    // 73: LINEERR_OPERATIONUNAVAIL
    "The operation is not supported by the underlying service provider",
    // 74: LINEERR_RATEUNAVAIL
    "The requested data rate is not available",
    // 75: LINEERR_RESOURCEUNAVAIL
    "A resource needed to fulfill the request is not available",
    // 76: LINEERR_REQUESTOVERRUN
    "The request queue is already full",
    // 77: LINEERR_STRUCTURETOOSMALL
    "The application failed to allocate sufficient memory for the minimum structure size",
    // 78: LINEERR_TARGETNOTFOUND
    "The call handoff failed because the specified target was not found",
    // 79: LINEERR_TARGETSELF
    "No higher priority target exists for the call handoff",
    // 80: LINEERR_UNINITIALIZED
    "The telephony service has not been initialized",
    // 81: LINEERR_USERUSERINFOTOOBIG
    "The amount of user-user info exceeds the maximum permitted",
    // 82: LINEERR_REINIT
    "The operation cannot be completed until all TAPI applications call lineShutdown",
    // 83: LINEERR_ADDRESSBLOCKED
    "You are not permitted to call this number",
    // 84: LINEERR_BILLINGREJECTED
    "The calling card number or other billing information was rejected",
    // 85: LINEERR_INVALFEATURE
    "Invalid device-specific feature",
    // 86: LINEERR_NOMULTIPLEINSTANCE
    "You cannot have two instances of the same service provider",
    // 87: LINEERR_INVALAGENTID
    "Invalid agent ID",
    // 88: LINEERR_INVALAGENTGROUP
    "Invalid agent group",
    // 89: LINEERR_INVALPASSWORD
    "Invalid agent password",
    // 90: LINEERR_INVALAGENTSTATE
    "Invalid agent state",
    // 91: LINEERR_INVALAGENTACTIVITY
    "Invalid agent activity",
    // 92: LINEERR_DIALVOICEDETECT
    "The '':'' dial modifier is not supported",
};
static_assert(std::size(LineErrorTexts) == 92);

constexpr const char* PhoneErrorTexts[] = {
    // 1: PHONEERR_ALLOCATED
    "The phone device is already in use",
    // 2: PHONEERR_BADDEVICEID
    "Invalid phone device ID",
    // 3: PHONEERR_INCOMPATIBLEAPIVERSION
    "Incompatible API version",
    // 4: PHONEERR_INCOMPATIBLEEXTVERSION
    "Incompatible extension version",
    // 5: PHONEERR_INIFILECORRUPT
    "The TAPI configuration information is unusable",
    // 6: PHONEERR_INUSE
    "The phone device is already in use",
    // 7: PHONEERR_INVALAPPHANDLE
    "Invalid TAPI phone application handle",
    // 8: PHONEERR_INVALAPPNAME
    "Invalid application name",
    // 9: PHONEERR_INVALBUTTONLAMPID
    "Invalid button or lamp ID",
    // 10: PHONEERR_INVALBUTTONMODE
    "Invalid button mode",
    // 11: PHONEERR_INVALBUTTONSTATE
    "Invalid button state",
    // 12: PHONEERR_INVALDATAID
    "Invalid data segment ID",
    // 13: PHONEERR_INVALDEVICECLASS
    "Invalid device class identifier",
    // 14: PHONEERR_INVALEXTVERSION
    "Invalid extension version",
    // 15: PHONEERR_INVALHOOKSWITCHDEV
    "Invalid hookswitch device ID",
    // 16: PHONEERR_INVALHOOKSWITCHMODE
    "Invalid hookswitch mode",
    // 17: PHONEERR_INVALLAMPMODE
    "Invalid lamp mode",
    // 18: PHONEERR_INVALPARAM
    "Invalid parameter",
    // 19: PHONEERR_INVALPHONEHANDLE
    "Invalid phone handle",
    // 20: PHONEERR_INVALPHONESTATE
    "Operation not permitted in current phone state",
    // 21: PHONEERR_INVALPOINTER
    "Invalid pointer",
    // 22: PHONEERR_INVALPRIVILEGE
    "Invalid privilege",
    // 23: PHONEERR_INVALRINGMODE
    "Invalid ring mode",
    // 24: PHONEERR_NODEVICE
    "The device was removed, or the device class is not recognized",
    // 25: PHONEERR_NODRIVER
    "The service provider was removed",
    // 26: PHONEERR_NOMEM
    "Insufficient memory available to complete the operation",
    // 27: PHONEERR_NOTOWNER
    "The application is does not have OWNER privilege on the phone",
    // 28: PHONEERR_OPERATIONFAILED
    "The operation failed for unspecified reasons",
    // 29: PHONEERR_OPERATIONUNAVAIL
    "The operation is not supported by the underlying service provider",
    // 30: no code
    "",
    // 31: PHONEERR_RESOURCEUNAVAIL
    "A resource needed to fulfill the request is not available",
    // 32: PHONEERR_REQUESTOVERRUN
    "The request queue is already full",
    // 33: PHONEERR_STRUCTURETOOSMALL
    "The application failed to allocate sufficient memory for the minimum structure size",
    // 34: PHONEERR_UNINITIALIZED
    "The telephony service has not been initialized",
    // 35: PHONEERR_REINIT
    "The operation cannot be completed until all TAPI applications call phoneShutdown",
};
static_assert(std::size(PhoneErrorTexts) == 35);

constexpr const char* RequestErrorTexts[] = {
    // -1: TAPIERR_DROPPED
    "The call was disconnected",
    // -2: TAPIERR_NOREQUESTRECIPIENT
    "No program is available to handle the request",
    // -3: TAPIERR_REQUESTQUEUEFULL
    "The queue of call requests is full",
    // -4: TAPIERR_INVALDESTADDRESS
    "The phone number is invalid or improperly formatted",
    // -5: TAPIERR_INVALWINDOWHANDLE
    "Invalid window handle",
    // -6: TAPIERR_INVALDEVICECLASS
    "Invalid device class",
    // -7: TAPIERR_INVALDEVICEID
    "Invalid device ID",
    // -8: TAPIERR_DEVICECLASSUNAVAIL
    "The device class is unavailable",
    // -9: TAPIERR_DEVICEIDUNAVAIL
    "The specified device is unavailable",
    // -10: TAPIERR_DEVICEINUSE
    "The device is already in use",
    // -11: TAPIERR_DESTBUSY
    "The called number is busy",
    // -12: TAPIERR_DESTNOANSWER
    "The called party does not answer",
    // -13: TAPIERR_DESTUNAVAIL
    "The called number could not be reached",
    // -14: TAPIERR_UNKNOWNWINHANDLE
    "Unknown window handle",
    // -15: TAPIERR_UNKNOWNREQUESTID
    "Unknown request ID",
    // -16: TAPIERR_REQUESTFAILED
    "The request failed for unspecified reasons",
    // -17: TAPIERR_REQUESTCANCELLED
    "The request was cancelled",
    // -18: TAPIERR_INVALPOINTER
    "Invalid pointer",
};
static_assert(std::size(RequestErrorTexts) == 18);

// Line and phone message names by message number.
constexpr std::string_view LineMessageNames[] = {
    "LINE_ADDRESSSTATE",        // 0
    "LINE_CALLINFO",            // 1
    "LINE_CALLSTATE",           // 2
    "LINE_CLOSE",               // 3
    "LINE_DEVSPECIFIC",         // 4
    "LINE_DEVSPECIFICFEATURE",  // 5
    "LINE_GATHERDIGITS",        // 6
    "LINE_GENERATE",            // 7
    "LINE_LINEDEVSTATE",        // 8
    "LINE_MONITORDIGITS",       // 9
    "LINE_MONITORMEDIA",        // 10
    "LINE_MONITORTONE",         // 11
    "LINE_REPLY",               // 12
    "LINE_REQUEST",             // 13
    "PHONE_BUTTON",             // 14
    "PHONE_CLOSE",              // 15
    "PHONE_DEVSPECIFIC",        // 16
    "PHONE_REPLY",              // 17
    "PHONE_STATE",              // 18
    "LINE_CREATE",              // 19
    "PHONE_CREATE",             // 20
    "LINE_AGENTSPECIFIC",       // 21
    "LINE_AGENTSTATUS",         // 22
    "LINE_APPNEWCALL",          // 23
    "LINE_PROXYREQUEST",        // 24
    "LINE_REMOVE",              // 25
    "PHONE_REMOVE",             // 26
};
static_assert(std::size(LineMessageNames) == 27);

// LINECALLSTATE values.
constexpr NamedValue CallStateNames[] = {
    {LINECALLSTATE_IDLE, "LINECALLSTATE_IDLE"},
    {LINECALLSTATE_OFFERING, "LINECALLSTATE_OFFERING"},
    {LINECALLSTATE_ACCEPTED, "LINECALLSTATE_ACCEPTED"},
    {LINECALLSTATE_DIALTONE, "LINECALLSTATE_DIALTONE"},
    {LINECALLSTATE_DIALING, "LINECALLSTATE_DIALING"},
    {LINECALLSTATE_RINGBACK, "LINECALLSTATE_RINGBACK"},
    {LINECALLSTATE_BUSY, "LINECALLSTATE_BUSY"},
    {LINECALLSTATE_SPECIALINFO, "LINECALLSTATE_SPECIALINFO"},
    {LINECALLSTATE_CONNECTED, "LINECALLSTATE_CONNECTED"},
    {LINECALLSTATE_PROCEEDING, "LINECALLSTATE_PROCEEDING"},
    {LINECALLSTATE_ONHOLD, "LINECALLSTATE_ONHOLD"},
    {LINECALLSTATE_CONFERENCED, "LINECALLSTATE_CONFERENCED"},
    {LINECALLSTATE_ONHOLDPENDCONF, "LINECALLSTATE_ONHOLDPENDCONF"},
    {LINECALLSTATE_ONHOLDPENDTRANSFER, "LINECALLSTATE_ONHOLDPENDTRANSFER"},
    {LINECALLSTATE_DISCONNECTED, "LINECALLSTATE_DISCONNECTED"},
    {LINECALLSTATE_UNKNOWN, "LINECALLSTATE_UNKNOWN"},
};
static_assert(std::size(CallStateNames) == 16);

// LINECALLORIGIN values.
constexpr NamedValue CallOriginNames[] = {
    {LINECALLORIGIN_OUTBOUND, "LINECALLORIGIN_OUTBOUND"},
    {LINECALLORIGIN_INTERNAL, "LINECALLORIGIN_INTERNAL"},
    {LINECALLORIGIN_EXTERNAL, "LINECALLORIGIN_EXTERNAL"},
    {LINECALLORIGIN_UNKNOWN, "LINECALLORIGIN_UNKNOWN"},
    {LINECALLORIGIN_UNAVAIL, "LINECALLORIGIN_UNAVAIL"},
    {LINECALLORIGIN_CONFERENCE, "LINECALLORIGIN_CONFERENCE"},
    {LINECALLORIGIN_INBOUND, "LINECALLORIGIN_INBOUND"},
};
static_assert(std::size(CallOriginNames) == 7);

// LINECALLREASON values.
constexpr NamedValue CallReasonNames[] = {
    {0x1, "LINECALLREASON_DIRECT"},      {0x2, "LINECALLREASON_FWDBUSY"},
    {0x4, "LINECALLREASON_FWDNOANSWER"}, {0x8, "LINECALLREASON_FWDUNCOND"},
    {0x10, "LINECALLREASON_PICKUP"},     {0x20, "LINECALLREASON_UNPARK"},
    {0x40, "LINECALLREASON_REDIRECT"},   {0x80, "LINECALLREASON_CALLCOMPLETION"},
    {0x100, "LINECALLREASON_TRANSFER"},  {0x200, "LINECALLREASON_REMINDER"},
    {0x400, "LINECALLREASON_UNKNOWN"},   {0x800, "LINECALLREASON_UNAVAIL"},
    {0x1000, "LINECALLREASON_INTRUDE"},
};
static_assert(std::size(CallReasonNames) == 13);

// LINECALLINFOSTATE flags, in ascending bit order.
constexpr NamedValue CallInfoStateNames[] = {
    {0x1, "LINECALLINFOSTATE_OTHER"},
    {0x2, "LINECALLINFOSTATE_DEVSPECIFIC"},
    {0x4, "LINECALLINFOSTATE_BEARERMODE"},
    {0x8, "LINECALLINFOSTATE_RATE"},
    {0x10, "LINECALLINFOSTATE_MEDIAMODE"},
    {0x20, "LINECALLINFOSTATE_APPSPECIFIC"},
    {0x40, "LINECALLINFOSTATE_CALLID"},
    {0x80, "LINECALLINFOSTATE_RELATEDCALLID"},
    {0x100, "LINECALLINFOSTATE_ORIGIN"},
    {0x200, "LINECALLINFOSTATE_REASON"},
    {0x400, "LINECALLINFOSTATE_COMPLETIONID"},
    {0x800, "LINECALLINFOSTATE_NUMOWNERINCR"},
    {0x1000, "LINECALLINFOSTATE_NUMOWNERDECR"},
    {0x2000, "LINECALLINFOSTATE_NUMMONITORS"},
    {0x4000, "LINECALLINFOSTATE_TRUNK"},
    {0x8000, "LINECALLINFOSTATE_CALLERID"},
    {0x10000, "LINECALLINFOSTATE_CALLEDID"},
    {0x20000, "LINECALLINFOSTATE_CONNECTEDID"},
    {0x40000, "LINECALLINFOSTATE_REDIRECTIONID"},
    {0x80000, "LINECALLINFOSTATE_REDIRECTINGID"},
    {0x100000, "LINECALLINFOSTATE_DISPLAY"},
    {0x200000, "LINECALLINFOSTATE_USERUSERINFO"},
    {0x400000, "LINECALLINFOSTATE_HIGHLEVELCOMP"},
    {0x800000, "LINECALLINFOSTATE_LOWLEVELCOMP"},
    {0x1000000, "LINECALLINFOSTATE_CHARGINGINFO"},
    {0x2000000, "LINECALLINFOSTATE_TERMINAL"},
    {0x4000000, "LINECALLINFOSTATE_DIALPARAMS"},
    {0x8000000, "LINECALLINFOSTATE_MONITORMODES"},
};
static_assert(std::size(CallInfoStateNames) == 28);

// The modes that come with the call states, one table per state.
constexpr NamedValue OfferingModeTexts[] = {
    {0x1, "; ACTIVE"},    // LINEOFFERINGMODE_ACTIVE
    {0x2, "; INACTIVE"},  // LINEOFFERINGMODE_INACTIVE
};

constexpr NamedValue DialToneModeTexts[] = {
    {0x1, "; NORMAL"},    // LINEDIALTONEMODE_NORMAL
    {0x2, "; SPECIAL"},   // LINEDIALTONEMODE_SPECIAL
    {0x4, "; INTERNAL"},  // LINEDIALTONEMODE_INTERNAL
    {0x8, "; EXTERNAL"},  // LINEDIALTONEMODE_EXTERNAL
    {0x10, "; UNKNOWN"},  // LINEDIALTONEMODE_UNKNOWN
    {0x20, "; UNAVAIL"},  // LINEDIALTONEMODE_UNAVAIL
};

constexpr NamedValue BusyModeTexts[] = {
    {0x1, "; STATION"},  // LINEBUSYMODE_STATION
    {0x2, "; TRUNK"},    // LINEBUSYMODE_TRUNK
    {0x4, "; UNKNOWN"},  // LINEBUSYMODE_UNKNOWN
    {0x8, "; UNAVAIL"},  // LINEBUSYMODE_UNAVAIL
};

constexpr NamedValue SpecialInfoModeTexts[] = {
    {0x1, "; NOCIRCUIT"},  // LINESPECIALINFO_NOCIRCUIT
    {0x2, "; CUSTIRREG"},  // LINESPECIALINFO_CUSTIRREG
    {0x4, "; REORDER"},    // LINESPECIALINFO_REORDER
    {0x8, "; UNKNOWN"},    // LINESPECIALINFO_UNKNOWN
    {0x10, "; UNAVAIL"},   // LINESPECIALINFO_UNAVAIL
};

constexpr NamedValue ConnectedModeTexts[] = {
    {0x1, "; ACTIVE"},        // LINECONNECTEDMODE_ACTIVE
    {0x2, "; INACTIVE"},      // LINECONNECTEDMODE_INACTIVE
    {0x4, "; ACTIVEHELD"},    // LINECONNECTEDMODE_ACTIVEHELD
    {0x8, "; INACTIVEHELD"},  // LINECONNECTEDMODE_INACTIVEHELD
    {0x10, "; CONFIRMED"},    // LINECONNECTEDMODE_CONFIRMED
};

constexpr NamedValue DisconnectModeTexts[] = {
    {LINEDISCONNECTMODE_NORMAL, "; NORMAL"},
    {LINEDISCONNECTMODE_UNKNOWN, "; UNKNOWN"},
    {LINEDISCONNECTMODE_REJECT, "; REJECT"},
    {LINEDISCONNECTMODE_PICKUP, "; PICKUP"},
    {LINEDISCONNECTMODE_FORWARDED, "; FORWARDED"},
    {LINEDISCONNECTMODE_BUSY, "; BUSY"},
    {LINEDISCONNECTMODE_NOANSWER, "; NOANSWER"},
    {LINEDISCONNECTMODE_BADADDRESS, "; BADADDRESS"},
    {LINEDISCONNECTMODE_UNREACHABLE, "; UNREACHABLE"},
    {LINEDISCONNECTMODE_CONGESTION, "; CONGESTION"},
    {LINEDISCONNECTMODE_INCOMPATIBLE, "; INCOMPATIBLE"},
    {LINEDISCONNECTMODE_UNAVAIL, "; UNAVAIL"},
    {LINEDISCONNECTMODE_NODIALTONE, "; NODIALTONE"},
};

struct StateModeTable {
  DWORD state;
  std::span<const NamedValue> modes;
};

// The states whose mode parameter has names (LINECALLSTATE_OFFERING, _DIALTONE,
// _BUSY, _SPECIALINFO, _CONNECTED and _DISCONNECTED).
constexpr StateModeTable CallStateModeTables[] = {
    {LINECALLSTATE_OFFERING, OfferingModeTexts},   {LINECALLSTATE_DIALTONE, DialToneModeTexts},
    {LINECALLSTATE_BUSY, BusyModeTexts},           {LINECALLSTATE_SPECIALINFO, SpecialInfoModeTexts},
    {LINECALLSTATE_CONNECTED, ConnectedModeTexts}, {LINECALLSTATE_DISCONNECTED, DisconnectModeTexts},
};

// The flag tables are walked in ascending bit order: entry i must be bit i.
constexpr bool IsBitSequence(std::span<const NamedValue> table) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (table[i].value != (DWORD{1} << i)) {
      return false;
    }
  }
  return true;
}
static_assert(IsBitSequence(CallInfoStateNames), "one name per bit, bits 0 to 27");
static_assert(IsBitSequence(CallStateNames), "one name per bit, bits 0 to 15");

constexpr DWORD LineErrorBase = 0x80000000;
constexpr DWORD PhoneErrorBase = 0x90000000;
constexpr DWORD PhoneErrorBit = 0x10000000;
constexpr DWORD RequestErrorLimit = 0xFFFF0000;  // request errors lie above it

const char* FindName(std::span<const NamedValue> table, DWORD value) {
  for (const NamedValue& entry : table) {
    if (entry.value == value) {
      return entry.name.data();
    }
  }
  return nullptr;
}

// The text of table entry n (counted from 1), or nullptr when n lies outside
// the table or the entry is empty.
const char* ErrorTableText(std::span<const char* const> table, DWORD n) {
  if (n < 1 || n > table.size()) {
    return nullptr;
  }
  const char* text = table[n - 1];
  return text[0] != '\0' ? text : nullptr;
}

const char* OwnErrorText(DWORD code) {
  if (code > RequestErrorLimit) {
    return ErrorTableText(RequestErrorTexts, 0u - code);
  }
  if ((code & PhoneErrorBit) != 0) {
    return code > PhoneErrorBase ? ErrorTableText(PhoneErrorTexts, code - PhoneErrorBase) : nullptr;
  }
  return code > LineErrorBase ? ErrorTableText(LineErrorTexts, code - LineErrorBase) : nullptr;
}

std::string Format(const char* format, DWORD value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, format, static_cast<unsigned>(value));
  return buffer;
}

// "Unknown (" + the value right-aligned in eight characters + ")".
std::string UnknownPadded(DWORD value) { return Format("Unknown (%8X)", value); }

// Whether a text is a name of a table. The names of a table share their
// front ("LINECALLSTATE_"), so the last character is compared before the
// whole: most names of the same length differ there.
bool IsName(std::string_view text, std::string_view name) {
  return text.size() == name.size() && !text.empty() && text.back() == name.back() &&
         std::memcmp(text.data(), name.data(), text.size()) == 0;
}

std::optional<DWORD> FindValue(std::span<const NamedValue> table, std::string_view name) {
  for (const NamedValue& entry : table) {
    if (IsName(name, entry.name)) {
      return entry.value;
    }
  }
  return std::nullopt;
}

// The value inside prefix + digits + ")"; with padded, the digits stand
// right-aligned in a field of eight characters filled with blanks.
std::optional<DWORD> ReadFallback(std::string_view text, std::string_view prefix, bool padded) {
  if (text.size() <= prefix.size() || text.substr(0, prefix.size()) != prefix || text.back() != ')') {
    return std::nullopt;
  }
  std::string_view digits = text.substr(prefix.size(), text.size() - prefix.size() - 1);
  if (padded) {
    if (digits.size() != 8) {
      return std::nullopt;
    }
    digits.remove_prefix(std::min(digits.find_first_not_of(' '), digits.size()));
  }
  return ReadHex(digits, kHexUpper);
}

// A name of the table, or the "Unknown (...)" fallback (padded or not) of a
// value the table lacks.
std::optional<DWORD> NamedOrUnknown(std::span<const NamedValue> table, std::string_view name, bool padded) {
  if (const auto value = FindValue(table, name)) {
    return value;
  }
  const auto value = ReadFallback(name, "Unknown (", padded);
  if (value && FindName(table, *value) == nullptr) {
    return value;
  }
  return std::nullopt;
}

}  // namespace

bool IsTapiError(LONG code) { return code < 0; }

DWORD TapiErrorMessageId(DWORD code) {
  if (code > RequestErrorLimit) {
    return code & 0xFFFF;
  }
  if ((code & PhoneErrorBit) != 0) {
    return code - PhoneErrorBase + 0xF000;
  }
  return code - LineErrorBase + 0xE000;
}

std::string TapiErrorText(LONG code, const MessageTableLookup& messageTable) {
  const auto bits = static_cast<DWORD>(code);
  if (messageTable) {
    if (std::optional<std::string> text = messageTable(TapiErrorMessageId(bits))) {
      // The text ends at its first NUL. An empty text is no text.
      text->resize(std::strlen(text->c_str()));
      if (!text->empty()) {
        return std::move(*text);
      }
    }
  }
  if (const char* text = OwnErrorText(bits)) {
    return text;
  }
  return Format("Unknown TAPI error $%.8X", bits);
}

std::string LineMessageName(DWORD message) {
  if (message < std::size(LineMessageNames)) {
    return std::string(LineMessageNames[message]);
  }
  return UnknownPadded(message);
}

std::string CallStateName(DWORD state) {
  if (const char* name = FindName(CallStateNames, state)) {
    return name;
  }
  return Format("Unknown (%X)", state);
}

std::string CallStateModeText(DWORD state, DWORD mode) {
  for (const StateModeTable& table : CallStateModeTables) {
    if (table.state == state) {
      if (const char* text = FindName(table.modes, mode)) {
        return text;
      }
      break;
    }
  }
  if (mode == 0) {
    return {};
  }
  return Format("; Undefined (%X)", mode);
}

std::string CallInfoStatesText(DWORD flags) {
  std::string text;
  for (const NamedValue& entry : CallInfoStateNames) {
    if ((flags & entry.value) != 0) {
      if (!text.empty()) {
        text += ' ';
      }
      text += entry.name;
    }
  }
  return text;
}

std::string CallOriginName(DWORD origin) {
  if (const char* name = FindName(CallOriginNames, origin)) {
    return name;
  }
  return UnknownPadded(origin);
}

std::string CallReasonName(DWORD reason) {
  if (const char* name = FindName(CallReasonNames, reason)) {
    return name;
  }
  return UnknownPadded(reason);
}

// The messages whose names have a given length, one bit per message: a name
// read back is compared only with the names of its length.
constexpr auto kLineMessagesByLength = [] {
  std::array<std::uint32_t, 32> masks{};
  for (std::size_t i = 0; i < std::size(LineMessageNames); ++i) {
    masks[LineMessageNames[i].size()] |= std::uint32_t{1} << i;
  }
  return masks;
}();

std::optional<DWORD> LineMessageValue(std::string_view name) {
  if (name.size() < kLineMessagesByLength.size()) {
    for (std::uint32_t mask = kLineMessagesByLength[name.size()]; mask != 0; mask &= mask - 1) {
      const auto value = static_cast<DWORD>(std::countr_zero(mask));
      if (IsName(name, LineMessageNames[value])) {
        return value;
      }
    }
  }
  const auto value = ReadFallback(name, "Unknown (", true);
  if (value && *value >= std::size(LineMessageNames)) {
    return value;
  }
  return std::nullopt;
}

std::optional<DWORD> CallStateValue(std::string_view name) {
  return NamedOrUnknown(CallStateNames, name, false);
}

std::optional<DWORD> CallStateModeValue(DWORD state, std::string_view text) {
  std::span<const NamedValue> modes;
  for (const StateModeTable& table : CallStateModeTables) {
    if (table.state == state) {
      modes = table.modes;
      break;
    }
  }
  if (text.empty()) {
    return FindName(modes, 0) == nullptr ? std::optional<DWORD>(0) : std::nullopt;
  }
  if (const auto value = FindValue(modes, text)) {
    return value;
  }
  const auto value = ReadFallback(text, "; Undefined (", false);
  if (value && *value != 0 && FindName(modes, *value) == nullptr) {
    return value;
  }
  return std::nullopt;
}

std::optional<DWORD> CallInfoStatesValue(std::string_view text) {
  DWORD flags = 0;
  std::size_t next = 0;  // the names come in ascending bit order
  while (!text.empty()) {
    const std::size_t blank = text.find(' ');
    const std::string_view name = text.substr(0, blank);
    std::size_t i = next;
    while (i < std::size(CallInfoStateNames) && !IsName(name, CallInfoStateNames[i].name)) {
      ++i;
    }
    if (i == std::size(CallInfoStateNames)) {
      return std::nullopt;
    }
    flags |= CallInfoStateNames[i].value;
    next = i + 1;
    if (blank == std::string_view::npos) {
      break;
    }
    text.remove_prefix(blank + 1);
    if (text.empty()) {
      return std::nullopt;  // a trailing blank
    }
  }
  return flags;
}

std::optional<DWORD> CallOriginValue(std::string_view name) {
  return NamedOrUnknown(CallOriginNames, name, true);
}

std::optional<DWORD> CallReasonValue(std::string_view name) {
  return NamedOrUnknown(CallReasonNames, name, true);
}

}  // namespace ordalyn
