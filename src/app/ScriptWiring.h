// How the program wires a script to itself. The template engine, from which
// every script run is made (runs copy its handlers, macros and text when
// they are created), carries the program's macro table with pretreatment
// on, the bridge's getsys/setsys handlers and the caller's own handlers for
// errors, line numbers and message boxes. `quillon --run` sets its template
// up here; the main window does the same with handlers that log errors and
// show boxes on the GUI thread.
//
//     DesktopBridge desktop(platform::openDefaultDesktop());
//     TScripert templ;
//     setUpTemplateEngine(templ, desktop.bridge(), {onError, {}, onMessageBox});
//     templ.LoadScriptFile(path);              // reports blocks without end
//     tscriptthrd run(owner, &templ);          // copies the template now
//     run.setSectionName("down");
//     run.resume();
#pragma once

#include "app/SysParamBridge.h"
#include "script/Scripert.h"

namespace quillon::app {

struct ScriptHandlers {
    // Every error of a pass, and blocks without their end while a script is
    // parsed: line (0-based, -1 for an unreadable file), column, number,
    // description. Runs call it on their own threads. Empty: errors that
    // end a pass go to standard error as "line L, column C: error N: ...".
    script::TVBSErrEvent onError;
    // A line is about to run (its 0-based index). Called on the run's
    // thread, before every line; may be empty.
    script::TGetLineNumEvent onLineNumber;
    // The messagebox command (caption "zemath", buttons 0) and the host's
    // MsgBox; returns the button pressed (1 is OK). Called on the run's
    // thread: a handler that shows a window hands it to the GUI thread
    // (base::callOnOwnerThread). Empty: nothing is shown and OK answered.
    vbs::MsgBoxHandler onMessageBox;
};

// Makes `engine` the program's template engine: the macro table of
// words::programDefineOrders(), pretreatment on, the queries and commands
// answered by `bridge`, and `handlers`. A line the bridge refuses ends its
// pass: error 5 for a missing piece or one that is not a number, 507 when
// there is no desktop. `bridge` must outlive the engine and every run made
// from it; it keeps no state, so runs may call it at the same time.
void setUpTemplateEngine(script::TScripert& engine, SysParamBridge& bridge, const ScriptHandlers& handlers);

// Only the bridge's handlers (OnGetSysParam and OnSetSysParam) on `engine`.
void answerWithBridge(script::TScripert& engine, SysParamBridge& bridge);

}  // namespace quillon::app
