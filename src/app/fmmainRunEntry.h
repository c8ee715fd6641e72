// The window's record of one script run (RunningScripts' entries), shared
// by the files that make, start, stop and free runs.
#pragma once

#include "app/fmmain.h"
#include "script/ScriptThrd.h"

#include <QString>

#include <atomic>
#include <memory>
#include <mutex>

namespace quillon::app {

// What the window keeps of one run. The script path is read by the run's
// thread when it reports an error and written by the GUI thread at starts.
struct Tfrmmain::RunEntry {
    QString key;      // run key: F1, F1_2
    QString baseKey;  // the trigger key the run belongs to
    struct Context {
        std::mutex mutex;
        QString script;
        QString section;  // guarded by mutex: the section of the pass traced next
        // The run trace writes the next line event: the first of a pass.
        std::atomic<bool> traceNext{false};
    };
    std::shared_ptr<Context> context = std::make_shared<Context>();
    std::unique_ptr<script::tscriptthrd> run;
};

}  // namespace quillon::app
