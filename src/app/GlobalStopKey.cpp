#include "app/GlobalStopKey.h"

namespace quillon::app {

std::atomic<int> GlobalStopKey{DefaultGlobalStopKey};

} // namespace quillon::app
