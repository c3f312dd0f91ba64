#include "testapp/gui/gui_event_dispatcher.h"

#include <QCoreApplication>
#include <QMetaObject>

namespace kelo::testapp {

std::shared_ptr<control::QueuedDispatcher> MakeGuiEventDispatcher() {
  // The wake function needs the dispatcher it belongs to; a weak reference keeps a drain that
  // is still queued from touching a dispatcher that is already gone.
  auto self = std::make_shared<std::weak_ptr<control::QueuedDispatcher>>();
  auto dispatcher = std::make_shared<control::QueuedDispatcher>([self] {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) return;
    QMetaObject::invokeMethod(
        app,
        [self] {
          if (auto d = self->lock()) d->RunPending();
        },
        Qt::QueuedConnection);
  });
  *self = dispatcher;
  return dispatcher;
}

}  // namespace kelo::testapp
