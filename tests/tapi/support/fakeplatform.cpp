#include "fakeplatform.h"

#include <cstdio>
#include <cstring>

#include "tapi/linetrace.h"

namespace ordalyn::test {

namespace {

std::string Args(const char* name, std::initializer_list<unsigned long long> values) {
  std::string text = std::string(name) + "(";
  bool first = true;
  for (auto v : values) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%s%llX", first ? "" : ",", v);
    text += buffer;
    first = false;
  }
  return text + ")";
}

// Appends text (with its NUL) after the data written so far; returns its
// offset and sets the size field.
struct BlockWriter {
  unsigned char* block;
  DWORD total;
  DWORD used;
  void Put(const std::optional<std::string>& text, DWORD& size, DWORD& offset) {
    if (!text) {
      return;
    }
    offset = used;
    size = static_cast<DWORD>(text->size() + 1);
    std::memcpy(block + used, text->c_str(), text->size() + 1);
    used += size;
  }
};

DWORD Need(std::initializer_list<const std::optional<std::string>*> texts) {
  DWORD need = 0;
  for (const auto* t : texts) {
    if (*t) {
      need += static_cast<DWORD>((*t)->size() + 1);
    }
  }
  return need;
}

}  // namespace

LONG FakePlatform::lineInitializeExA(HLINEAPP* app, HINSTANCE, LINECALLBACK cb, LPCSTR name, DWORD* numDevs,
                                     DWORD* version, LINEINITIALIZEEXPARAMS* params) {
  calls_made.push_back(Args("lineInitializeExA", {*version}));
  lastInitParams = *params;
  lastAppName = name;
  lastInitVersionIn = *version;
  if (initWritesOutputs) {
    *app = appHandle;
    *numDevs = deviceCount.value_or(static_cast<DWORD>(lines.size()));
    *version = reportedVersion;
  }
  if (initResult == 0) {
    callback = cb;
  }
  return initResult;
}

LONG FakePlatform::lineNegotiateAPIVersion(HLINEAPP app, DWORD device, DWORD low, DWORD high, DWORD* version,
                                           LINEEXTENSIONID*) {
  calls_made.push_back(Args("lineNegotiateAPIVersion", {app, device, low, high}));
  if (device >= lines.size()) {
    return LINEERR_BADDEVICEID;
  }
  *version = lines[device].version;
  return lines[device].negotiateResult;
}

LONG FakePlatform::lineGetDevCapsA(HLINEAPP app, DWORD device, DWORD version, DWORD ext, LINEDEVCAPS* caps) {
  calls_made.push_back(Args("lineGetDevCapsA", {app, device, version, ext}));
  capsBlockSizes.push_back(caps->dwTotalSize);
  if (device >= lines.size()) {
    return LINEERR_BADDEVICEID;
  }
  const FakeLine& line = lines[device];
  const DWORD fixed = sizeof(LINEDEVCAPS);
  const DWORD needed = fixed + static_cast<DWORD>(line.name.size() + 1 + line.extraCapsBytes);
  caps->dwNeededSize = needed;
  caps->dwMediaModes = line.mediaModes;
  caps->dwBearerModes = line.bearerModes;
  if (caps->dwTotalSize < needed) {
    caps->dwUsedSize = fixed;
    return line.capsResult;
  }
  auto* block = reinterpret_cast<unsigned char*>(caps);
  caps->dwLineNameOffset = fixed;
  caps->dwLineNameSize = line.zeroNameSize ? 0 : static_cast<DWORD>(line.name.size() + 1);
  std::memcpy(block + fixed, line.name.c_str(), line.name.size() + 1);
  caps->dwDevSpecificOffset = fixed + static_cast<DWORD>(line.name.size() + 1);
  caps->dwDevSpecificSize = static_cast<DWORD>(line.extraCapsBytes);
  std::memset(block + caps->dwDevSpecificOffset, 'x', line.extraCapsBytes);
  caps->dwUsedSize = needed;
  return line.capsResult;
}

LONG FakePlatform::lineOpenA(HLINEAPP app, DWORD device, HLINE* line, DWORD version, DWORD ext,
                             DWORD_PTR instance, DWORD privileges, DWORD media,
                             const LINECALLPARAMS* params) {
  calls_made.push_back(Args("lineOpenA", {app, device, version, ext, instance, privileges, media,
                                          static_cast<unsigned long long>(params != nullptr)}));
  if (openResult == 0) {
    *line = HLINE{};
  }
  return openResult;
}

LONG FakePlatform::lineGetCallInfoA(HCALL call, LINECALLINFO* info) {
  const std::uint32_t handle = CallHandleValue(call);
  calls_made.push_back(Args("lineGetCallInfoA", {handle}));
  callInfoBlockSizes.push_back(info->dwTotalSize);
  auto it = calls.find(handle);
  if (it == calls.end()) {
    return LINEERR_INVALCALLHANDLE;
  }
  const FakeCall& c = it->second;
  const DWORD fixed = sizeof(LINECALLINFO);
  const DWORD needed =
      fixed +
      Need({&c.callerId, &c.callerName, &c.calledId, &c.calledName, &c.connectedId, &c.connectedName}) +
      static_cast<DWORD>(c.extraBytes);
  info->dwNeededSize = needed;
  info->dwOrigin = c.origin;
  info->dwReason = c.reason;
  if (info->dwTotalSize < needed) {
    info->dwUsedSize = fixed;
  } else {
    BlockWriter w{reinterpret_cast<unsigned char*>(info), info->dwTotalSize, fixed};
    w.Put(c.callerId, info->dwCallerIDSize, info->dwCallerIDOffset);
    w.Put(c.callerName, info->dwCallerIDNameSize, info->dwCallerIDNameOffset);
    w.Put(c.calledId, info->dwCalledIDSize, info->dwCalledIDOffset);
    w.Put(c.calledName, info->dwCalledIDNameSize, info->dwCalledIDNameOffset);
    w.Put(c.connectedId, info->dwConnectedIDSize, info->dwConnectedIDOffset);
    w.Put(c.connectedName, info->dwConnectedIDNameSize, info->dwConnectedIDNameOffset);
    info->dwUsedSize = w.used + static_cast<DWORD>(c.extraBytes);
  }
  if (callInfoHook) {
    callInfoHook(reinterpret_cast<unsigned char*>(info), info->dwTotalSize);
  }
  return c.result;
}

LONG FakePlatform::lineShutdown(HLINEAPP app) {
  calls_made.push_back(Args("lineShutdown", {app}));
  callback = nullptr;
  return shutdownResult;
}

std::optional<std::string> FakePlatform::MessageTableText(DWORD id) {
  auto it = messageTable.find(id);
  if (it == messageTable.end()) {
    return std::nullopt;
  }
  return it->second;
}

void FakePlatform::Deliver(DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3, DWORD hDevice) {
  if (callback != nullptr) {
    callback(hDevice, message, 0, p1, p2, p3);
  }
}

}  // namespace ordalyn::test
