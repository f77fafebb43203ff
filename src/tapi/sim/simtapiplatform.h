// The simulated telephony platform: TAPI as a service provider would present
// it, driven by a scenario. It fills the variable-size structures the way TAPI
// does (dwNeededSize, dwUsedSize, offsets into the caller's block), answers
// with TAPI's error codes, and delivers line messages by posting them through
// the message pump, so the line callback always runs from the event loop and
// never inside a TAPI call.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "tapi/messagepump.h"
#include "tapi/sim/simscenario.h"
#include "tapi/tapiplatform.h"

namespace ordalyn {

// The environment variable that names a scenario file; unset or empty means
// the built-in default environment.
inline constexpr const char* kSimScenarioVariable = "ORDALYN_TAPI_SCENARIO";

class SimTapiPlatform final : public TapiPlatform {
 public:
  // A platform that simulates the scenario.
  SimTapiPlatform(MessagePump& pump, SimScenario scenario);
  // A platform whose scenario could not be used: lineInitializeExA fails with
  // LINEERR_INIFILECORRUPT and, the first time, writes the reason to
  // diagnostics (standard error when null).
  SimTapiPlatform(MessagePump& pump, SimScenarioError error, std::ostream* diagnostics = nullptr);
  ~SimTapiPlatform() override;

  SimTapiPlatform(const SimTapiPlatform&) = delete;
  SimTapiPlatform& operator=(const SimTapiPlatform&) = delete;

  static std::unique_ptr<SimTapiPlatform> FromResult(MessagePump& pump, SimScenarioResult result,
                                                     std::ostream* diagnostics = nullptr);
  static std::unique_ptr<SimTapiPlatform> FromJson(MessagePump& pump, std::string_view jsonText,
                                                   std::string_view sourceName = "scenario",
                                                   std::ostream* diagnostics = nullptr);
  static std::unique_ptr<SimTapiPlatform> FromFile(MessagePump& pump, const std::string& path,
                                                   std::ostream* diagnostics = nullptr);

  LONG lineInitializeExA(HLINEAPP* lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                         LPCSTR lpszFriendlyAppName, DWORD* lpdwNumDevs, DWORD* lpdwAPIVersion,
                         LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) override;
  LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                               DWORD dwAPIHighVersion, DWORD* lpdwAPIVersion,
                               LINEEXTENSIONID* lpExtensionID) override;
  LONG lineGetDevCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                       LINEDEVCAPS* lpLineDevCaps) override;
  LONG lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE* lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                 DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                 const LINECALLPARAMS* lpCallParams) override;
  LONG lineGetCallInfoA(HCALL hCall, LINECALLINFO* lpCallInfo) override;
  LONG lineShutdown(HLINEAPP hLineApp) override;
  std::optional<std::string> MessageTableText(DWORD messageId) override;
  HINSTANCE ModuleHandle() override;

  // The scenario in use; null when it could not be used.
  const SimScenario* Scenario() const;
  // Why the scenario could not be used; none when it is in use.
  const std::optional<SimScenarioError>& ScenarioError() const;

  // Inspection for tests: initialised applications, open lines, and the calls
  // lineGetCallInfoA currently answers for.
  std::size_t ApplicationCount() const;
  std::size_t OpenLineCount() const;
  std::size_t CallCount() const;

  // At most this many calls of the generated traffic are kept; older ones are
  // forgotten (their handles become invalid) as a provider reclaims idle calls.
  static constexpr std::size_t kMaxTrafficCalls = 64;

 private:
  struct Core;
  std::shared_ptr<Core> core_;  // shared with the posted messages, which hold it weakly
};

// The platform the program runs on where tapi32 is missing: the scenario file
// named by ORDALYN_TAPI_SCENARIO, or the default environment when it is unset
// or empty.
std::unique_ptr<SimTapiPlatform> CreateSimTapiPlatformFromEnvironment(MessagePump& pump,
                                                                      std::ostream* diagnostics = nullptr);

}  // namespace ordalyn
