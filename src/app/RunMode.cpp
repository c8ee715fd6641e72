// --run and --check: scripts without the window.
//
// --run builds a template engine the way the main window does (its macros,
// its handlers), creates one script run from it and runs the whole script or
// one section on the run's own thread. Errors go to standard error, the texts
// of messagebox and MsgBox to standard output.
#include "app/CommandLine.h"

#include "app/ScriptWiring.h"
#include "app/SysParamBridge.h"
#include "app/SysParamWords.h"

#include "script/ScriptThrd.h"
#include "script/Scripert.h"

#include <atomic>
#include <cstdio>

namespace quillon::app {

namespace {

using script::TScripert;

void printUsage()
{
    std::fputs("usage: quillon --run FILE [--section NAME]\n"
               "       quillon --check FILE\n",
               stderr);
}

void printLine(FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

bool loadScript(TScripert& engine, const QString& path)
{
    try {
        engine.LoadScriptFile(path);
        return true;
    } catch (const script::ScriptFileError& e) {
        printLine(stderr, QStringLiteral("quillon: %1").arg(e.message));
    } catch (const script::ScriptFailure& e) {
        script::printScriptError(-1, 0, e.number, e.description);
    }
    return false;
}

// Runs call these on their own threads, so they only touch an atomic and
// the standard streams.
ScriptHandlers commandLineHandlers(std::atomic<bool>& anyError)
{
    ScriptHandlers handlers;
    handlers.onError = [&anyError](int line, int column, int number, const QString& description) {
        anyError = true;
        script::printScriptError(line, column, number, description);
    };
    handlers.onMessageBox = [](const QString& prompt, int, const QString&) {
        printLine(stdout, prompt);
        return 1;
    };
    return handlers;
}

}  // namespace

int runScriptCommand(const QStringList& args)
{
    QString file;
    QString section;
    bool sectionGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--section") && i + 1 < args.size() && !sectionGiven) {
            section = args[++i];
            sectionGiven = true;
        } else if (file.isEmpty() && !args[i].startsWith(QLatin1String("--"))) {
            file = args[i];
        } else {
            file.clear();
            break;
        }
    }
    if (file.isEmpty() || (sectionGiven && section.isEmpty())) {
        printUsage();
        return 2;
    }

    std::atomic<bool> anyError{false};
    // The real desktop when a display can be opened; without one, scripts
    // that only compute still run and desktop commands fail their line.
    QString warning;
    DesktopBridge desktop(platform::openDefaultDesktop(&warning));
    if (!warning.isEmpty())
        printLine(stderr, QStringLiteral("quillon: %1").arg(warning));
    TScripert templateEngine;
    const ScriptHandlers handlers = commandLineHandlers(anyError);
    setUpTemplateEngine(templateEngine, desktop.bridge(), handlers);
    // The one parse: it reports blocks without partners, and the run takes it.
    if (!loadScript(templateEngine, file))
        return 1;

    script::tscriptthrd run(nullptr, &templateEngine);
    run.setSectionName(section);
    run.resume();
    while (!run.waitIdle(1000)) {
    }
    return anyError ? 1 : 0;
}

int checkScriptCommand(const QStringList& args)
{
    if (args.size() != 1 || args[0].startsWith(QLatin1String("--"))) {
        printUsage();
        return 2;
    }
    TScripert engine;
    engine.setDefineOrders(words::programDefineOrders());
    int missing = 0;
    engine.OnError = [&missing](int line, int column, int number, const QString& description) {
        ++missing;
        printLine(stdout, script::formatScriptError(line, column, number, description));
    };
    if (!loadScript(engine, args[0]))
        return 1;
    return missing > 0 ? 1 : 0;
}

}  // namespace quillon::app
