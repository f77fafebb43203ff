// TAPI values in words: the names of line messages, call states and their
// modes, call information flags, call origins and reasons, and the texts of
// TAPI error codes, as they appear in trace lines.
//
// Every function is pure: it keeps no state, cannot fail and never rejects a
// value. A value that no table holds comes back in upper-case hexadecimal
// inside "Unknown (...)", "; Undefined (...)" or after "Unknown TAPI error $".
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "tapi/tapidefs.h"

namespace ordalyn {

// Reads the text of a message identifier from the TAPI library's message table
// (TapiPlatform::MessageTableText). No value when there is no text. An empty
// function stands for "no message table at all".
using MessageTableLookup = std::function<std::optional<std::string>(DWORD messageId)>;

// True when the TAPI result, read as a signed 32-bit value, is negative.
bool IsTapiError(LONG code);

// The message-table identifier of a TAPI error code: the low 16 bits of a
// request error (-1 gives 0xFFFF), 0xF000 + n for phone error 0x90000000 + n,
// 0xE000 + n for line error 0x80000000 + n.
DWORD TapiErrorMessageId(DWORD code);

// The text of a TAPI error code. The message table is asked first; its text is
// returned unchanged (a trailing line break stays part of it), up to its first
// NUL; a text that is empty up to there counts as none. Without a text there,
// the unit's own line, phone and request error tables answer; a code without
// text in them gives "Unknown TAPI error $" followed by the code as eight
// upper-case hexadecimal digits.
std::string TapiErrorText(LONG code, const MessageTableLookup& messageTable);

// "LINE_CALLSTATE" for 2; unknown messages give "Unknown (" + "%8X" + ")".
std::string LineMessageName(DWORD message);

// "LINECALLSTATE_OFFERING" for 0x2; any other value gives "Unknown (%X)".
std::string CallStateName(DWORD state);

// The mode that comes with a call state, ready to be appended to the state's
// name: "; ACTIVE", "; Undefined (%X)" for a mode without a name, or empty for
// mode 0 without a name.
std::string CallStateModeText(DWORD state, DWORD mode);

// The names of the call information flags set among bits 0 to 27, in
// ascending bit order and separated by single blanks; empty when none is set.
std::string CallInfoStatesText(DWORD flags);

// "LINECALLORIGIN_EXTERNAL" for 0x4; any other value gives "Unknown (%8X)".
std::string CallOriginName(DWORD origin);

// "LINECALLREASON_DIRECT" for 0x1; any other value gives "Unknown (%8X)".
std::string CallReasonName(DWORD reason);

// The names read back into values, so that a trace can be read with the same
// vocabulary it was written with. Each is the exact inverse of the function
// above it in this file: it accepts what that function gives, the hexadecimal
// fallbacks included, and nothing else.
std::optional<DWORD> LineMessageValue(std::string_view name);
std::optional<DWORD> CallStateValue(std::string_view name);
// The mode of a state from its mode text ("; ACTIVE", "; Undefined (8)", or
// empty for mode 0).
std::optional<DWORD> CallStateModeValue(DWORD state, std::string_view text);
std::optional<DWORD> CallInfoStatesValue(std::string_view text);
std::optional<DWORD> CallOriginValue(std::string_view name);
std::optional<DWORD> CallReasonValue(std::string_view name);

}  // namespace ordalyn
