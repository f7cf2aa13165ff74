#include "UiThreadDispatch.h"

#include <QMetaObject>
#include <memory>

OutputProcedure PostToUiThread(QObject* context, OutputProcedure procedure) {
  // Queued calls to one receiver from one thread are delivered in the order
  // they were posted.
  auto shared = std::make_shared<OutputProcedure>(std::move(procedure));
  return [context, shared](const std::string& chunk) {
    if (!*shared) return;
    QMetaObject::invokeMethod(
        context, [shared, chunk] { (*shared)(chunk); }, Qt::QueuedConnection);
  };
}
