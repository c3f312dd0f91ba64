// Runs the control object's event handlers on the GUI thread.
//
// The service object raises events on its own delivery thread. The window program answers
// them with widgets (labels, message boxes), which only the GUI thread may touch, so every
// handler is queued and run from the Qt event loop.
#pragma once

#include <memory>

#include "control/event_dispatcher.h"

namespace kelo::testapp {

// A queued dispatcher whose arrivals schedule a drain on the application object's thread.
// QCoreApplication must exist while events can arrive, i.e. the FiscalPrinter that uses this
// dispatcher must be destroyed before the application object.
std::shared_ptr<control::QueuedDispatcher> MakeGuiEventDispatcher();

}  // namespace kelo::testapp
