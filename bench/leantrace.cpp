#include "leantrace.h"

#include <cstring>
#include <string_view>
#include <utility>

#include "tapi/tapiutil.h"
#include "tracepipeline.h"

namespace ordalyn::bench {

namespace {

void AppendHex(std::string& out, std::uint32_t value, int minDigits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char digits[8];
  int count = 0;
  do {
    digits[count++] = kDigits[value & 0xF];
    value >>= 4;
  } while (value != 0);
  while (count < minDigits) digits[count++] = '0';
  while (count > 0) out.push_back(digits[--count]);
}

void AppendTwo(std::string& out, int value) {
  out.push_back(static_cast<char>('0' + value / 10 % 10));
  out.push_back(static_cast<char>('0' + value % 10));
}

// The text at offset: up to its NUL or the block's end; trimmed of the
// characters 0 to 32 when asked.
std::string_view TextAt(const unsigned char* block, std::size_t size, DWORD offset, bool trim) {
  if (offset >= size) return {};
  const char* start = reinterpret_cast<const char*>(block) + offset;
  const void* nul = std::memchr(start, 0, size - offset);
  std::string_view text(start, nul != nullptr ? static_cast<const char*>(nul) - start : size - offset);
  if (trim) {
    while (!text.empty() && static_cast<unsigned char>(text.front()) <= 32) text.remove_prefix(1);
    while (!text.empty() && static_cast<unsigned char>(text.back()) <= 32) text.remove_suffix(1);
  }
  return text;
}

std::string_view PartyId(const unsigned char* block, std::size_t size, DWORD idSize, DWORD idOffset,
                         DWORD nameSize, DWORD nameOffset, bool trimName) {
  std::string_view id;
  if (idSize != 0) id = TextAt(block, size, idOffset, true);
  if (id.empty() && nameSize != 0) id = TextAt(block, size, nameOffset, trimName);
  return id;
}

LeanLineTrace* g_lean = nullptr;

void CALLBACK LeanCallback(DWORD, DWORD message, DWORD_PTR, DWORD_PTR param1, DWORD_PTR param2,
                           DWORD_PTR param3) {
  if (g_lean != nullptr) g_lean->HandleMessage(message, param1, param2, param3);
}

}  // namespace

LeanFileLog::LeanFileLog(const Clock& clock, std::size_t bufferSize, std::unique_ptr<OutputFile> file)
    : clock_(clock), bufferSize_(bufferSize), file_(std::move(file)) {
  waiting_.reserve(bufferSize_ * 2 + 4096);
}

LeanFileLog::~LeanFileLog() { Close(); }

int LeanFileLog::Open(const std::string& fileName) {
  waiting_.clear();
  return file_->Create(fileName);
}

int LeanFileLog::Close() {
  if (!file_->IsOpen()) return 0;
  const OutputFile::WriteResult result = file_->Write(waiting_.data(), waiting_.size());
  waiting_.clear();
  const int closeError = file_->Close();
  return result.error != 0 ? result.error : closeError;
}

void LeanFileLog::LogLine(const std::string& text) {
  const LocalDateTime now = clock_.Now();
  AppendTwo(waiting_, now.hour);
  waiting_.push_back(':');
  AppendTwo(waiting_, now.minute);
  waiting_.push_back(':');
  AppendTwo(waiting_, now.second);
  waiting_.push_back(':');
  waiting_.push_back(static_cast<char>('0' + now.millisecond / 100 % 10));
  AppendTwo(waiting_, now.millisecond % 100);
  waiting_.append(" | ");
  waiting_.append(text);
  waiting_.append("\r\n");
  WriteOut();
}

void LeanFileLog::LogText(const char* text, std::size_t size) {
  waiting_.append(text, size);
  waiting_.append("\r\n");
  WriteOut();
}

void LeanFileLog::LogSeparator() { LogText(std::string(92, '-').c_str(), 92); }

void LeanFileLog::LogHeader() {
  for (const std::string& line :
       {std::string("Ordalyn - Build: 1.0.0.1"), std::string("Copyright (c) Ordalyn"), std::string(48, '='),
        std::string()}) {
    LogText(line.data(), line.size());
  }
}

void LeanFileLog::WriteOut() {
  if (waiting_.size() < bufferSize_) return;
  const std::size_t size = waiting_.size() - waiting_.size() % bufferSize_;
  const OutputFile::WriteResult result = file_->Write(waiting_.data(), size);
  if (result.error != 0) ++errors_;
  waiting_.erase(0, result.written);
}

LeanLineTrace::LeanLineTrace(TapiPlatform& platform, TapiState& state, LeanFileLog* log)
    : platform_(platform), state_(state), log_(log) {
  line_.reserve(512);
}

const std::string& LeanLineTrace::Compose(DWORD message, DWORD_PTR param1, DWORD_PTR param2,
                                          DWORD_PTR param3) {
  std::string& text = line_;
  text.clear();
  text += LineMessageName(message);
  const auto p1 = static_cast<DWORD>(param1);
  const auto p2 = static_cast<DWORD>(param2);
  bool withCallInfo = false;
  switch (message) {
    case LINE_CALLSTATE:
      text += ": ";
      text += CallStateName(p1);
      text += CallStateModeText(p1, p2);
      withCallInfo = true;
      break;
    case LINE_CALLINFO:
      text += ": ";
      text += CallInfoStatesText(p1);
      withCallInfo = true;
      break;
    case LINE_APPNEWCALL:
      state_.currentCall = static_cast<HCALL>(param2);
      text += " - hCall: ";
      AppendHex(text, CallHandleValue(state_.currentCall), 8);
      break;
    default:
      break;
  }
  if (withCallInfo) {
    // One zero-filled heap block per query, grown once, as the trace does.
    std::size_t size = sizeof(LINECALLINFO);
    std::unique_ptr<unsigned char[]> block(new unsigned char[size]());
    reinterpret_cast<LINECALLINFO*>(block.get())->dwTotalSize = static_cast<DWORD>(size);
    platform_.lineGetCallInfoA(state_.currentCall, reinterpret_cast<LINECALLINFO*>(block.get()));
    const DWORD needed = reinterpret_cast<LINECALLINFO*>(block.get())->dwNeededSize;
    bool usable = true;
    if (needed > size) {
      if (needed > 1024 * 1024) {
        usable = false;
      } else {
        size = needed;
        block.reset(new unsigned char[size]());
        reinterpret_cast<LINECALLINFO*>(block.get())->dwTotalSize = needed;
        platform_.lineGetCallInfoA(state_.currentCall, reinterpret_cast<LINECALLINFO*>(block.get()));
      }
    }
    LINECALLINFO empty{};
    const LINECALLINFO& ci = usable ? *reinterpret_cast<const LINECALLINFO*>(block.get()) : empty;
    const unsigned char* data = usable ? block.get() : nullptr;
    const std::size_t dataSize = usable ? size : 0;
    text += " - hCall: ";
    AppendHex(text, CallHandleValue(state_.currentCall), 8);
    text += " - CallerID: ";
    text += PartyId(data, dataSize, ci.dwCallerIDSize, ci.dwCallerIDOffset, ci.dwCallerIDNameSize,
                    ci.dwCallerIDNameOffset, true);
    text += " - CalledID: ";
    text += PartyId(data, dataSize, ci.dwCalledIDSize, ci.dwCalledIDOffset, ci.dwCalledIDNameSize,
                    ci.dwCalledIDNameOffset, false);
    const std::string_view connected = PartyId(data, dataSize, ci.dwConnectedIDSize, ci.dwConnectedIDOffset,
                                               ci.dwConnectedIDNameSize, ci.dwConnectedIDNameOffset, false);
    if (!connected.empty()) {
      text += " - ConnectedID: ";
      text += connected;
    }
    if (ci.dwOrigin != 0 || ci.dwReason != 0) {
      text += " - (";
      if (ci.dwOrigin != 0) text += CallOriginName(ci.dwOrigin);
      if (ci.dwReason != 0) {
        if (ci.dwOrigin != 0) text += ", ";
        text += CallReasonName(ci.dwReason);
      }
      text += ")";
    }
  }
  text += " - ";
  AppendHex(text, static_cast<std::uint32_t>(param1), 1);
  text += "|";
  AppendHex(text, static_cast<std::uint32_t>(param2), 1);
  text += "|";
  AppendHex(text, static_cast<std::uint32_t>(param3), 1);
  return text;
}

void LeanLineTrace::HandleMessage(DWORD message, DWORD_PTR param1, DWORD_PTR param2, DWORD_PTR param3) {
  const std::string& line = Compose(message, param1, param2, param3);
  if (log_ != nullptr) log_->LogLine(line);
}

LeanPipeline::LeanPipeline(const Clock& clock, std::size_t bufferSize, std::unique_ptr<OutputFile> file,
                           const std::string& fileName, std::optional<SimScenario> scenario)
    : platform(pump, scenario ? std::move(*scenario) : TrafficScenario()),
      log(clock, bufferSize, std::move(file)),
      trace(platform, state, &log) {
  g_lean = &trace;
  log.Open(fileName);
  log.LogHeader();
  FillInitParams(state.initParams);
  state.tapiVersion = kTapiHighVersion;
  platform.lineInitializeExA(&state.appHandle, platform.ModuleHandle(), LeanCallback, kTapiAppName,
                             &state.deviceCount, &state.tapiVersion, &state.initParams);
  LINEEXTENSIONID extension{};
  platform.lineNegotiateAPIVersion(state.appHandle, kTrafficDevice, kTapiLowVersion, kTapiHighVersion,
                                   &state.lineApiVersion, &extension);
  opened = platform.lineOpenA(state.appHandle, kTrafficDevice, &state.lineHandle, state.lineApiVersion, 0, 0,
                              LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr) == 0;
  log.LogSeparator();
}

LeanPipeline::~LeanPipeline() {
  if (g_lean == &trace) g_lean = nullptr;
}

}  // namespace ordalyn::bench
