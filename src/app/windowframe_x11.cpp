// X11: the window manager frames a window only when it is mapped, and Qt
// learns the frame then. A window manager that supports
// _NET_REQUEST_FRAME_EXTENTS (EWMH) tells it before: it writes
// _NET_FRAME_EXTENTS onto the unmapped window when asked.
#include <QGuiApplication>
#include <QThread>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/windowframe.h"

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

namespace ordalyn {

#if QT_CONFIG(xcb)

namespace {

// How long the window manager may take to answer before the window is shown
// all the same (its frame then known a moment later).
constexpr auto kAnswerTimeout = std::chrono::milliseconds(250);

struct FreeReply {
  void operator()(void* reply) const { std::free(reply); }
};
template <typename T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_atom_t Atom(xcb_connection_t* connection, const char* name) {
  const Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
      connection, xcb_intern_atom(connection, 0, static_cast<std::uint16_t>(std::strlen(name)), name),
      nullptr));
  return reply ? reply->atom : static_cast<xcb_atom_t>(XCB_ATOM_NONE);
}

// True when the window manager lists the atom among the hints it supports.
bool Supported(xcb_connection_t* connection, xcb_window_t root, xcb_atom_t atom) {
  const xcb_atom_t supported = Atom(connection, "_NET_SUPPORTED");
  const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
      connection, xcb_get_property(connection, 0, root, supported, XCB_ATOM_ATOM, 0, 4096), nullptr));
  if (!reply || reply->format != 32) return false;
  const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
  const int count = xcb_get_property_value_length(reply.get()) / 4;
  for (int i = 0; i < count; ++i) {
    if (atoms[i] == atom) return true;
  }
  return false;
}

}  // namespace

std::optional<QMargins> AskFrameMargins(QWidget* window) {
  auto* x11 = qApp != nullptr ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  if (x11 == nullptr || x11->connection() == nullptr) return std::nullopt;
  xcb_connection_t* connection = x11->connection();
  const auto id = static_cast<xcb_window_t>(window->winId());
  const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
  const xcb_atom_t request = Atom(connection, "_NET_REQUEST_FRAME_EXTENTS");
  const xcb_atom_t extents = Atom(connection, "_NET_FRAME_EXTENTS");
  if (screen == nullptr || request == XCB_ATOM_NONE || extents == XCB_ATOM_NONE ||
      !Supported(connection, screen->root, request)) {
    return std::nullopt;
  }

  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = id;
  message.type = request;
  xcb_send_event(connection, 0, screen->root,
                 XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY | XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);

  const auto deadline = std::chrono::steady_clock::now() + kAnswerTimeout;
  do {
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, id, extents, XCB_ATOM_CARDINAL, 0, 4), nullptr));
    if (reply && reply->format == 32 && xcb_get_property_value_length(reply.get()) == 16) {
      // left, right, top, bottom
      const auto* sides = static_cast<const std::uint32_t*>(xcb_get_property_value(reply.get()));
      return QMargins(static_cast<int>(sides[0]), static_cast<int>(sides[2]), static_cast<int>(sides[1]),
                      static_cast<int>(sides[3]));
    }
    QThread::msleep(5);
  } while (std::chrono::steady_clock::now() < deadline);
  return std::nullopt;
}

#else

// A Qt without X11 support.
std::optional<QMargins> AskFrameMargins(QWidget* /*window*/) { return std::nullopt; }

#endif

}  // namespace ordalyn
