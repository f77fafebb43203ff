// TAPI constant names and their values, for reading scenario files: messages,
// errors, call states and their modes, call information states, origins,
// reasons, media and bearer modes, privileges, line and address states, party
// ID flags, device capability flags and string formats.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "tapi/tapidefs.h"

namespace ordalyn {

struct TapiConstant {
  std::string_view name;
  DWORD value;
};

// Every known constant, in the order of the TAPI headers.
std::span<const TapiConstant> TapiConstants();

// The value of a constant name (exact spelling, upper case); none when unknown.
std::optional<DWORD> FindTapiConstant(std::string_view name);

}  // namespace ordalyn
