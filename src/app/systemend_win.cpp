// On Windows the system ends the program with the session: Qt asks the
// application to commit its data first.
#include <QGuiApplication>
#include <QSessionManager>

#include "app/program.h"
#include "util/endrequest.h"

namespace ordalyn {

// Nothing to catch: a Windows program learns of the session's end through
// its windows' messages.
void CatchEndSignals() {}

void OnSystemEnd(QObject* context, std::function<void()> handler) {
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, context, [handler](QSessionManager&) {
    RequestEnd();
    handler();
  });
}

}  // namespace ordalyn
