// The built-in environment: what the program sees when no scenario file is
// chosen. A small office: a fax modem, an old voice modem that speaks only
// TAPI 1.3, a wave driver line that also reports unknown media, the office
// extension (the first line suited to voice monitoring) and an ISDN line.
// Whichever line is opened carries an endless stream of incoming calls.
#include "tapi/sim/simscenario.h"

namespace ordalyn {
namespace {

constexpr DWORD kMediaUnknown = 0x2;
constexpr DWORD kMediaInteractiveVoice = 0x4;
constexpr DWORD kMediaAutomatedVoice = 0x8;
constexpr DWORD kMediaDataModem = 0x10;
constexpr DWORD kMediaG3Fax = 0x20;
constexpr DWORD kMediaG4Fax = 0x80;
constexpr DWORD kMediaDigitalData = 0x100;
constexpr DWORD kBearerVoice = 0x1;
constexpr DWORD kBearerSpeech = 0x2;
constexpr DWORD kBearerData = 0x8;

constexpr const char* kProvider = "Ordalyn Telephony Simulator";

SimLine Line(const char* name, DWORD media, DWORD bearer, DWORD minVersion, DWORD maxVersion) {
  SimLine line;
  line.name = name;
  line.mediaModes = media;
  line.bearerModes = bearer;
  line.minApiVersion = minVersion;
  line.maxApiVersion = maxVersion;
  line.providerInfo = kProvider;
  return line;
}

std::vector<std::uint8_t> Bytes(std::size_t count, std::uint8_t first) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

}  // namespace

SimScenario DefaultSimScenario() {
  SimScenario scenario;
  // Line 0: data and fax only, no voice at all.
  scenario.lines.push_back(Line("Sample Fax Modem", kMediaDataModem | kMediaG3Fax, kBearerVoice | kBearerData,
                                kSimTapiVersion14, kSimTapiVersion22));
  // Line 1: voice media and voice bearer, but TAPI 1.3 only.
  scenario.lines.push_back(Line("Legacy Voice Modem",
                                kMediaInteractiveVoice | kMediaAutomatedVoice | kMediaDataModem, kBearerVoice,
                                kSimTapiVersion13, kSimTapiVersion13));
  // Line 2: voice, but the wave driver also claims unknown media.
  scenario.lines.push_back(Line("Wave Line 1", kMediaUnknown | kMediaInteractiveVoice | kMediaAutomatedVoice,
                                kBearerVoice, kSimTapiVersion14, kSimTapiVersion20));
  // Line 3: the office extension, the first line suited to voice monitoring.
  // Its device-specific data makes LINEDEVCAPS outgrow 292 bytes.
  SimLine extension = Line("Office Extension 214", kMediaInteractiveVoice | kMediaAutomatedVoice,
                           kBearerVoice | kBearerSpeech, kSimTapiVersion14, kSimTapiVersion31);
  extension.devSpecific = Bytes(48, 0x30);
  scenario.lines.push_back(std::move(extension));
  // Line 4: ISDN, also suited to voice, with a long name that holds " - ".
  SimLine isdn = Line("ISDN Line 1 - MSN 5550199 - Basic Rate Interface, B-Channel 1",
                      kMediaInteractiveVoice | kMediaG4Fax | kMediaDigitalData,
                      kBearerVoice | kBearerSpeech | kBearerData, kSimTapiVersion20, kSimTapiVersion31);
  isdn.devSpecific = Bytes(16, 0xA0);
  scenario.lines.push_back(std::move(isdn));

  scenario.traffic = SimTraffic{0x0D5A1F0C0FFEEull};
  scenario.tapiVersion = kSimTapiVersion31;
  return scenario;
}

}  // namespace ordalyn
