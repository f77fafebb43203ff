#include "tapi/sim/simtraffic.h"

#include <utility>

namespace ordalyn {
namespace {

// TAPI values the traffic uses, under short names of its own.
constexpr DWORD kMsgCallInfo = LINE_CALLINFO;
constexpr DWORD kMsgCallState = LINE_CALLSTATE;
constexpr DWORD kMsgLineDevState = LINE_LINEDEVSTATE;
constexpr DWORD kMsgAppNewCall = LINE_APPNEWCALL;
constexpr DWORD kStateIdle = LINECALLSTATE_IDLE;
constexpr DWORD kStateOffering = LINECALLSTATE_OFFERING;
constexpr DWORD kStateAccepted = LINECALLSTATE_ACCEPTED;
constexpr DWORD kStateConnected = LINECALLSTATE_CONNECTED;
constexpr DWORD kStateDisconnected = LINECALLSTATE_DISCONNECTED;
constexpr DWORD kOfferingActive = 0x1;
constexpr DWORD kConnectedActive = 0x1;
constexpr DWORD kDisconnectNormal = LINEDISCONNECTMODE_NORMAL;
constexpr DWORD kDisconnectUnknown = LINEDISCONNECTMODE_UNKNOWN;
constexpr DWORD kDisconnectReject = LINEDISCONNECTMODE_REJECT;
constexpr DWORD kDisconnectBusy = LINEDISCONNECTMODE_BUSY;
constexpr DWORD kDisconnectNoAnswer = LINEDISCONNECTMODE_NOANSWER;
constexpr DWORD kDisconnectUnreachable = LINEDISCONNECTMODE_UNREACHABLE;
constexpr DWORD kDisconnectCongestion = LINEDISCONNECTMODE_CONGESTION;
constexpr DWORD kInfoCallerID = 0x8000;
constexpr DWORD kInfoConnectedID = 0x20000;
constexpr DWORD kDevStateRinging = 0x2;
constexpr DWORD kPrivilegeMonitor = 0x2;
constexpr DWORD kOriginInternal = 0x2;
constexpr DWORD kOriginExternal = 0x4;
constexpr DWORD kReasonDirect = 0x1;
constexpr DWORD kReasonFwdBusy = 0x2;
constexpr DWORD kReasonFwdNoAnswer = 0x4;
constexpr DWORD kReasonFwdUncond = 0x8;
constexpr DWORD kReasonPickup = 0x10;
constexpr DWORD kReasonTransfer = 0x100;
constexpr DWORD kPartyBlocked = 0x1;

// Who calls. A null pointer leaves the text out of LINECALLINFO; blanks around
// some numbers and names are what real switches deliver now and then.
struct Caller {
  const char* number;
  const char* name;
  DWORD origin;
  bool blocked;
};
constexpr Caller kCallers[] = {
    {" 5550100 ", "Miller, Anne", kOriginExternal, false},
    {"5550123", " Bauer Logistics ", kOriginExternal, false},
    {"+49 30 5550199", "Berlin Office", kOriginExternal, false},
    {"0049895550142", nullptr, kOriginExternal, false},
    {"   ", "Reception Desk", kOriginExternal, false},
    {nullptr, "Dr. M\xFCller", kOriginExternal, false},
    {"5550177", "", kOriginExternal, false},
    {nullptr, nullptr, kOriginExternal, true},
    {"201", "Helpdesk", kOriginInternal, false},
    {"  207", " Conference Room B ", kOriginInternal, false},
    {"214", "Reception", kOriginInternal, false},
};

// Whom the call is for: this line's own number or name.
struct Called {
  const char* number;
  const char* name;
};
constexpr Called kCalled[] = {
    {"200", nullptr},
    {nullptr, " Reception "},
    {"5550199", "Sales"},
    {"  ", " Front Desk "},
};

constexpr DWORD kReasons[] = {kReasonDirect,   kReasonDirect,  kReasonDirect,      kReasonDirect,
                              kReasonDirect,   kReasonFwdBusy, kReasonFwdNoAnswer, kReasonFwdUncond,
                              kReasonTransfer, kReasonPickup};

std::optional<std::string> Text(const char* text) {
  return text == nullptr ? std::nullopt : std::optional<std::string>(text);
}

SimMessage Message(std::uint32_t delayMs, DWORD message, DWORD param1, DWORD param2, DWORD param3, HCALL call,
                   SimDeviceTarget target) {
  SimMessage m;
  m.delayMs = delayMs;
  m.message = message;
  m.param1 = param1;
  m.param2 = param2;
  m.param3 = param3;
  m.call = call;
  m.target = target;
  return m;
}

}  // namespace

SimTrafficGenerator::SimTrafficGenerator(std::uint64_t seed, DWORD deviceId)
    : state_(seed ^ (0x9E3779B97F4A7C15ull * (static_cast<std::uint64_t>(deviceId) + 1))),
      handleBase_((deviceId & 0x7F) << 24),
      handleCounter_(0x00010A2C) {}

// splitmix64: small, fast and the same on every platform and compiler.
std::uint64_t SimTrafficGenerator::Random() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::uint32_t SimTrafficGenerator::Between(std::uint32_t low, std::uint32_t high) {
  return low + static_cast<std::uint32_t>(Random() % (static_cast<std::uint64_t>(high) - low + 1));
}

SimMessage SimTrafficGenerator::Next() {
  if (planned_.empty()) PlanCall();
  SimMessage next = std::move(planned_.front());
  planned_.pop_front();
  return next;
}

void SimTrafficGenerator::PlanCall() {
  handleCounter_ = (handleCounter_ + Between(4, 64)) & 0x00FFFFFF;
  if (handleCounter_ == 0) handleCounter_ = 0x00010A2C;
  const HCALL call = handleBase_ | handleCounter_;
  const Caller& caller = kCallers[Between(0, std::size(kCallers) - 1)];
  const Called& called = kCalled[Between(0, std::size(kCalled) - 1)];
  const bool firstCall = callCount_++ == 0;

  // The call as LINE_APPNEWCALL announces it: whom it is for, where it comes
  // from and why; the caller's identity follows with LINE_CALLINFO.
  SimMessage newCall = Message(firstCall ? Between(800, 2500) : Between(1500, 5000), kMsgAppNewCall, 0, call,
                               kPrivilegeMonitor, call, SimDeviceTarget::kLine);
  newCall.update.fields = kSimCallerID | kSimCallerIDName | kSimCalledID | kSimCalledIDName |
                          kSimConnectedID | kSimConnectedIDName | kSimCallerIDFlags | kSimOrigin |
                          kSimReason | kSimCallID | kSimMediaMode | kSimBearerMode;
  newCall.update.values.calledID = Text(called.number);
  newCall.update.values.calledIDName = Text(called.name);
  // Now and then a switch reports no origin, so only the reason shows.
  newCall.update.values.origin = Between(0, 11) == 0 ? 0 : caller.origin;
  newCall.update.values.reason =
      caller.origin == kOriginInternal ? kReasonDirect : kReasons[Between(0, std::size(kReasons) - 1)];
  newCall.update.values.callID = 1000 + callCount_;
  planned_.push_back(std::move(newCall));

  planned_.push_back(Message(Between(1, 5), kMsgCallState, kStateOffering, kOfferingActive, 0, call,
                             SimDeviceTarget::kCall));

  SimMessage callerId =
      Message(Between(100, 600), kMsgCallInfo, kInfoCallerID, 0, 0, call, SimDeviceTarget::kCall);
  callerId.update.fields = kSimCallerID | kSimCallerIDName | kSimCallerIDFlags;
  callerId.update.values.callerID = Text(caller.number);
  callerId.update.values.callerIDName = Text(caller.name);
  if (caller.blocked) callerId.update.values.callerIDFlags = kPartyBlocked;
  planned_.push_back(std::move(callerId));

  // What becomes of the call.
  const std::uint32_t fate = Between(0, 19);
  const bool answered = fate < 12;
  const bool noAnswer = fate >= 12 && fate < 16;
  const bool busy = fate >= 16 && fate < 18;
  const bool rejected = fate == 18;

  if (busy || fate == 19) {
    planned_.push_back(
        Message(Between(200, 800), kMsgCallState, kStateDisconnected,
                busy ? kDisconnectBusy : (Between(0, 1) ? kDisconnectUnreachable : kDisconnectCongestion), 0,
                call, SimDeviceTarget::kCall));
  } else {
    const std::uint32_t rings = rejected ? 1 : (noAnswer ? Between(3, 5) : Between(1, 4));
    for (std::uint32_t ring = 1; ring <= rings; ++ring) {
      planned_.push_back(Message(ring == 1 ? Between(50, 300) : Between(3000, 4500), kMsgLineDevState,
                                 kDevStateRinging, 0, ring, 0, SimDeviceTarget::kLine));
      if (ring == 1 && !rejected) {
        planned_.push_back(
            Message(Between(20, 200), kMsgCallState, kStateAccepted, 0, 0, call, SimDeviceTarget::kCall));
      }
    }
    if (answered) {
      SimMessage connected = Message(Between(500, 3000), kMsgCallState, kStateConnected, kConnectedActive, 0,
                                     call, SimDeviceTarget::kCall);
      connected.update.fields = kSimConnectedID | kSimConnectedIDName;
      connected.update.values.connectedID = Text(caller.number);
      connected.update.values.connectedIDName = Text(caller.name);
      planned_.push_back(std::move(connected));
      if (Between(0, 1) == 0) {
        planned_.push_back(
            Message(Between(10, 100), kMsgCallInfo, kInfoConnectedID, 0, 0, call, SimDeviceTarget::kCall));
      }
      planned_.push_back(Message(Between(3000, 20000), kMsgCallState, kStateDisconnected,
                                 Between(0, 4) == 0 ? kDisconnectUnknown : kDisconnectNormal, 0, call,
                                 SimDeviceTarget::kCall));
    } else {
      planned_.push_back(Message(Between(500, 2500), kMsgCallState, kStateDisconnected,
                                 rejected ? kDisconnectReject : kDisconnectNoAnswer, 0, call,
                                 SimDeviceTarget::kCall));
    }
  }
  planned_.push_back(
      Message(Between(20, 150), kMsgCallState, kStateIdle, 0, 0, call, SimDeviceTarget::kCall));
}

}  // namespace ordalyn
