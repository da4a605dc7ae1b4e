// Pausing a main-thread task on the injected clock, so that tests can run the pause virtually.
#pragma once

#include "async/Cancellation.h"
#include "platform/Clock.h"

#include <qcoro/qcorotask.h>

namespace tidyword {

// Resumes the task once `delay` has passed on `clock`. Ends with `Cancelled` when `token` is
// cancelled first (or already was); the task then resumes from the event loop, never from
// inside the call that cancelled it. The clock must outlive the sleep.
QCoro::Task<void> sleep(platform::Clock& clock, platform::Clock::Duration delay,
                        CancellationToken token = {});

}  // namespace tidyword
