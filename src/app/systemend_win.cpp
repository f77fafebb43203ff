// On Windows the system ends the program with the session: Qt asks the
// application to commit its data first.
#include <QGuiApplication>
#include <QSessionManager>

#include "app/program.h"

namespace ordalyn {

void OnSystemEnd(QObject* context, std::function<void()> handler) {
  QObject::connect(qApp, &QGuiApplication::commitDataRequest, context,
                   [handler](QSessionManager&) { handler(); });
}

}  // namespace ordalyn
