// The headless command-line modes of the program.
#pragma once

#include <QStringList>

namespace quillon::app {

// Reads lines from standard input and answers each with exactly one line:
// "?expr" prints the value as CStr renders it, any other line runs as a
// statement and prints "ok"; a failure prints "ERROR:<number> <description>".
int runConsole();

// --run FILE [--section NAME]: runs a script without the window.
// Exit status 0 on success, 1 when any error was reported, 2 on bad arguments.
int runScriptCommand(const QStringList& args);

// The program with its window; `hide` as the first argument starts it in
// the tray. Returns the exit status of its event loop.
int runWindow(int& argc, char** argv);

// --check FILE: lists every block without its partner; exit 1 if any.
int checkScriptCommand(const QStringList& args);

}  // namespace quillon::app
