// TScripert: the script engine. It loads a script file, pretreats its lines
// (comments and macros), binds every block statement, label and routine to
// the line of its partner, splits the text into named sections and runs a
// section or the whole script line by line through its own script host.
//
// Script files are UTF-8 when their bytes are valid UTF-8 (a BOM is skipped),
// otherwise GBK. Line indexes are 0-based indexes into the whole file in every
// table, event and error.
//
// Errors. Ordinary statements that fail are reported through OnError and the
// pass goes on. Anything else that fails while a line runs ends the pass: a
// condition or argument the host cannot evaluate, a failing statement of a
// block rule, a jump outside the script (812), or an event handler that fails
// the line. A handler fails the line by throwing ScriptFailure (any other
// std::exception counts as error 507 with its what() text). A pass that ends
// by an error is reported through OnError, or on standard error when no
// OnError is assigned; the engine is then finished and can run again.
//
// Threads: an engine is used by one thread at a time, except FindSection,
// requestStop, clearStop and the flags, which any thread may use.
//
// The engine's parts live in files of their own: loading and pretreatment
// (ScripertLoading.cpp), block partners, labels, routines and frames
// (ScripertBlocks.cpp), line decoding (ScripertLines.cpp, over the keyword
// table of LineKeywords.h), host calls (ScripertHostCalls.cpp) and the run
// loop (Scripert.cpp).
#pragma once

#include "script/EngineHost.h"
#include "script/LineKeywords.h"
#include "script/RoutineMatcher.h"
#include "script/ScriptError.h"
#include "script/StopSignal.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace quillon::callsys {
class TCallSys;
}

namespace quillon::script {

class TScripert;
class tscriptthrd;
struct ParsedScript;

struct TSysParam {
    QString name;
    QString value;
};

struct TRem {
    QString name;
    int line = -1;
};

struct TSection {
    int startLine = 0;
    QString name;
    QStringList lines;
};

// Event handler types. `acom` is the object a query's answer is bound to.
using TIOSysEvent = std::function<void(TScripert* sender, QString& aname, QString& acontent,
                                       std::shared_ptr<vbs::HostObject>& acom)>;
using TVBSErrEvent = std::function<void(int errLine, int errColumn, int errNumber,
                                        const QString& errDescription)>;
using TGetLineNumEvent = std::function<void(TScripert* sender, int lineNum)>;
using TNotifyEvent = std::function<void(TScripert* sender)>;

// What a run copies from the template engine when it is created: the event
// handlers (not OnExecute), the macro text, the script text and the way to
// make a script host.
struct EngineTemplate {
    TIOSysEvent OnGetSysParam;
    TIOSysEvent OnSetSysParam;
    TVBSErrEvent OnError;
    TGetLineNumEvent OnLineNumber;
    TNotifyEvent OnAfterPreGetSections;
    vbs::MsgBoxHandler OnMessageBox;
    QStringList defineOrders;
    QStringList scriptLines;  // as loaded, before pretreatment
    HostFactory hostFactory;
    std::shared_ptr<const ParsedScript> parsed;  // the template's parse; may be null
};

// The caption of the box shown by the messagebox command.
inline constexpr const char* kMessageBoxCaption = "zemath";

class TScripert {
public:
    // `hostFactory` makes the script host; empty means the VBScript host.
    explicit TScripert(QObject* owner = nullptr, HostFactory hostFactory = {});
    ~TScripert();
    TScripert(const TScripert&) = delete;
    TScripert& operator=(const TScripert&) = delete;

    // Published properties.
    callsys::TCallSys* CallSys() const { return m_callSys; }
    void setCallSys(callsys::TCallSys* callSys);
    const QStringList& DefineOrders() const { return m_defineOrders; }
    void setDefineOrders(const QStringList& orders) { m_defineOrders = orders; }
    bool EnablePretreat() const { return m_enablePretreat; }
    void setEnablePretreat(bool on) { m_enablePretreat = on; }

    // Published events, raised on the thread that runs the engine.
    TIOSysEvent OnGetSysParam;
    TIOSysEvent OnSetSysParam;
    TVBSErrEvent OnError;
    TGetLineNumEvent OnLineNumber;
    TNotifyEvent OnAfterPreGetSections;
    TNotifyEvent OnExecute;
    // Shows the messagebox command's text and the host's MsgBox; without a
    // handler nothing is shown and the box answers OK.
    vbs::MsgBoxHandler OnMessageBox;

    QObject* owner() const { return m_owner; }

    // Replaces the script with the file's lines and parses it. Throws
    // ScriptFileError (tables unchanged) when the file cannot be read.
    void LoadScriptFile(const QString& fileName);
    // Replaces the script with `text` split at CR, LF and CR LF; parses it.
    void LoadScriptText(const QString& text);
    // Rebuilds macros, pretreats the lines in place, builds labels, routines
    // and sections; raises OnAfterPreGetSections. A block without its partner
    // goes to OnError (811); without a handler it throws ScriptFailure.
    void ParseScript();
    // The first section whose name equals `name` ignoring case (a copy).
    std::optional<TSection> FindSection(const QString& name);
    // Strips the comment and applies the first matching macro to a trimmed line.
    QString PretreatLine(const QString& line) const;
    void LoadDefineOrders();
    void AddDefineOrder(const QString& key, const QString& value);

    // Runs one section; false when the pass ended by an error (reported).
    bool RunSection(const QString& name, QString& result);
    // Runs the lines outside sections; false when the pass ended by an error.
    bool RunScript(QString& result);
    // Runs one line at index n; a jump changes n. Throws ScriptFailure when
    // the line ends the pass.
    void ExecuteLine(const QString& line, int& n);

    // Asks a running pass to end after its current line and ends a delay in
    // progress at once; any thread. The request holds until clearStop().
    void requestStop() { m_stop.request(); }
    // Withdraws a stop request, so the next pass runs; any thread.
    void clearStop() { m_stop.clear(); }
    bool StopRequested() const { return m_stop.requested(); }
    // Milliseconds left in the delay in progress (0 when none runs).
    int DelayRemaining() const { return m_stop.remaining(); }
    bool Finished() const { return m_finished.load(); }

    // Tables and run state, for the run thread, dispatch and tests.
    const QStringList& ScriptLines() const;
    std::vector<TSection> SectionTable() const;
    const std::vector<TSysParam>& MacroTable() const { return m_macroTable; }
    const std::vector<TRem>& LabelTable() const;
    const std::vector<TRem>& RoutineTable() const;
    const std::vector<TSysParam>& SysParamTable() const { return m_sysParamTable; }
    int FindLabel(const QString& name) const;
    int FindRoutine(const QString& name) const;
    // The partner of the block statement of `kind` ("if", "elseif", "else",
    // "do", "exitdo", "loop", "for", "next", "sub", "func") on line n,
    // searched line by line; -1 when there is none. A parse finds every
    // partner in one pass over the script instead, with the same answers.
    int FindBlockPartner(const QString& kind, int n) const;
    int FindElseIfEnd(int n) const;
    bool IsRoutineCall(const QString& lowerLine) const;
    // Routine calls in progress (each `call` adds one until its end sub or
    // end function returns).
    int CallDepth() const { return int(m_calls.size()); }
    int LastLine() const { return m_lastLine; }
    bool CallPending() const { return m_callPending; }
    // The run whose thread runs this engine; with one, a delay waits on the
    // engine's stop signal, without one it keeps the calling thread's events
    // flowing. The engine never calls into the run.
    tscriptthrd* OwnerThread() const { return m_ownerThread; }
    void setOwnerThread(tscriptthrd* thread) { m_ownerThread = thread; }
    EngineHost& ScriptHost() { return *m_host; }
    const HostFactory& hostFactory() const { return m_hostFactory; }

    // What a run copies from this engine (see EngineTemplate).
    EngineTemplate templateCopy() const;
    // Takes handlers, macros and script text from `copy`. The parsed script
    // comes with the copy when it was parsed the way this engine would parse
    // it (same macros, pretreatment on); otherwise the text is parsed here.
    // The host factory is the one this engine was made with.
    void applyTemplate(const EngineTemplate& copy);

    // One pass as the run thread makes it: an empty name runs the whole
    // script. Never throws; false after an error.
    bool runPass(const QString& sectionName, QString& result);

    // Deepest routine-call nesting; a deeper call ends the pass with error 28.
    static constexpr int kMaxCallDepth = 100000;

    enum class Kind : std::uint8_t;
    struct LineInfo;
    struct CompiledLine;

private:
    struct CallFrame {
        int returnLine;
        int callLine;
    };

    const ParsedScript& script() const { return *m_script; }
    bool BuildBlockLabels(ParsedScript& parsed, int n);
    void RegisterRoutine(ParsedScript& parsed, int n);
    void reportMissingPartner(int n);
    void publish(std::shared_ptr<const ParsedScript> parsed);
    bool parseIsCurrent() const;

    LineInfo describe(const ParsedScript& parsed, const QString& text, int n, RoutineMatcher::Scratch& scratch) const;
    CompiledLine& compiled(const LineInfo& info, int n);
    CompiledLine& compileLine(const LineInfo& info, int n);

    bool runSectionBody(const QString& name, QString& result);
    bool runScriptBody(QString& result);
    void startPass();
    QString evalResult();
    bool reportPassFailure(const ScriptFailure& failure, int line);
    template <typename Body> bool guarded(Body body);
    void executeAt(const LineInfo& info, int& n);
    void runLine(const LineInfo& info, int& n);
    void runStatement(const PreparedText& statement, int n);
    void statementFailed(const PreparedText& statement, int n);
    void mustExecute(const PreparedText& statement);
    bool condition(const PreparedText& expression);
    bool arrivesInSequence() const { return m_inSequence; }

    void runQuery(const LineInfo& info, int n);
    void runCommand(const LineInfo& info, int n);
    void runMessageBox(const LineInfo& info, int n);
    void runDelay(const LineInfo& info, int n);
    void runNativeCall(const LineInfo& info, int n);
    void runPrototype(const LineInfo& info);
    void routineCall(const LineInfo& info, int& n);
    void bindParameters(const LineInfo& info, int n);
    void returnFromRoutine(const LineInfo& info, int& n);
    QString pieceValue(const QString& piece, PreparedText* slot, bool query);
    QString joinCommandPieces(const QStringList& pieces, std::vector<PreparedText>& programs);
    void GetSysParam(QString& word, QString& param, std::shared_ptr<vbs::HostObject>& acom);
    void SetSysParam(const QString& word, const QString& param);

    QObject* m_owner;
    HostFactory m_hostFactory;
    std::unique_ptr<EngineHost> m_host;
    std::unique_ptr<callsys::TCallSys> m_ownCallSys;
    callsys::TCallSys* m_callSys = nullptr;
    QStringList m_defineOrders;
    bool m_enablePretreat = true;

    QStringList m_sourceLines;                    // the script as loaded
    std::shared_ptr<const ParsedScript> m_script; // the last parse; shared with copies
    mutable std::mutex m_scriptMutex;             // FindSection may come from another thread
    std::vector<std::unique_ptr<CompiledLine>> m_compiled;  // per line that ran, this host's programs
    std::unique_ptr<CompiledLine> m_scratchSlot;            // programs of a line run from another text
    std::vector<TSysParam> m_macroTable;
    std::vector<TSysParam> m_sysParamTable;
    std::vector<CallFrame> m_calls;
    int m_lastLine = -1;
    int m_currentLine = -1;    // the line a pass-ending error is reported for
    bool m_inSequence = true;  // the line about to run follows the one that ran
    bool m_returning = false;  // the line that ran returned from a routine
    std::atomic<bool> m_parsed{false};  // parsed since the text was last replaced
    bool m_callPending = false;
    std::atomic<bool> m_finished{true};
    StopSignal m_stop;
    tscriptthrd* m_ownerThread = nullptr;
};

}  // namespace quillon::script
