#include "app/ScriptWiring.h"

#include "app/SysParamWords.h"
#include "platform/Desktop.h"

namespace quillon::app {

namespace {

// A line the bridge refuses ends the pass: a bad argument is VBScript's
// "Invalid procedure call or argument", a missing desktop a failure of the
// host call itself.
[[noreturn]] void failLine(const QString& description)
{
    const bool noDesktop = description == QLatin1String(platform::kNoDisplayError);
    throw script::ScriptFailure(noDesktop ? 507 : 5, description);
}

}  // namespace

void answerWithBridge(script::TScripert& engine, SysParamBridge& bridge)
{
    engine.OnGetSysParam = [&bridge](script::TScripert*, QString& word, QString& text, auto&) {
        QString error;
        if (!bridge.query(word, text, &error))
            failLine(error);
    };
    engine.OnSetSysParam = [&bridge](script::TScripert* sender, QString& word, QString& text, auto&) {
        QString error;
        // Keys a run presses are held under its engine, released when it stops.
        if (!bridge.command(word, text, &error, sender))
            failLine(error);
    };
}

void setUpTemplateEngine(script::TScripert& engine, SysParamBridge& bridge, const ScriptHandlers& handlers)
{
    engine.setDefineOrders(words::programDefineOrders());
    engine.setEnablePretreat(true);
    answerWithBridge(engine, bridge);
    engine.OnError = handlers.onError;
    engine.OnLineNumber = handlers.onLineNumber;
    engine.OnMessageBox = handlers.onMessageBox;
}

}  // namespace quillon::app
