// A blocking call onto the thread that owns an object: a script run shows a
// message box or calls a method of the main window this way, and the work
// runs on the GUI thread while the run waits for it.
#pragma once

#include <functional>

class QObject;

namespace quillon::base {

// Runs `work` on the thread that owns `owner` and returns once it has run:
// directly when that is the calling thread (a queued call would wait for
// itself), else queued to that thread's event loop while the caller waits.
// False when it could not run: `owner` is null, its thread has finished, or
// `owner` went away before the call reached it. `work` must not throw. The
// owner's thread must keep handling events (a wait there that pumps events
// is enough), or the caller waits until it does.
bool callOnOwnerThread(QObject* owner, const std::function<void()>& work);

}  // namespace quillon::base
