// TAPI logon and logoff of the traced line, the line query and the result
// lines they write.
#pragma once

#include <string>

#include "log/tracesink.h"
#include "tapi/tapiplatform.h"
#include "tapi/tapistate.h"

namespace ordalyn {

// What the line query yields for one line device.
struct LineQueryResult {
  std::string lineName;
  DWORD apiVersion = 0;
  DWORD mediaModes = 0;
  bool suitedForVoice = false;
};

// "2.2" for 0x00020002: the two groups of four hexadecimal digits, each read as
// a decimal number (a group that is no decimal number counts as 0).
std::string VersionText(DWORD version);

// Negotiates an API version for the device and reads its capabilities. The
// negotiation writes straight into apiVersion; name, media modes and the
// suited-for-voice flag change only when both calls succeed. Returns 0 on
// success, else the result of the call that failed (a capabilities block of
// implausible size counts as LINEERR_NOMEM).
LONG LineQuery(TapiPlatform& platform, HLINEAPP appHandle, DWORD device, std::string& lineName,
               DWORD& apiVersion, DWORD& mediaModes, bool& suitedForVoice);

class TapiSession {
 public:
  TapiSession(TapiPlatform& platform, TapiState& state, TraceSink& sink);

  // Header, initialisation, line query, open, logon line, separator; no TAPI
  // error stops the sequence, a failing write of the sink does.
  void Logon();
  // Separator, shutdown, "TAPI - Logoff" when logged on; clears logged on.
  void Logoff();
  // "Step: OK" or "Step: Error: <unsigned number>(<error text>)".
  void ResultLine(const std::string& step, LONG result);
  std::string ResultText(const std::string& step, LONG result);

 private:
  TapiPlatform& platform_;
  TapiState& state_;
  TraceSink& sink_;
};

}  // namespace ordalyn
