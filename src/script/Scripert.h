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
#include "script/ScriptError.h"
#include "script/StopSignal.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace quillon::callsys {
class TCallSys;
}

namespace quillon::script {

class TScripert;
class tscriptthrd;

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
    QStringList scriptLines;
    HostFactory hostFactory;
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
    const QStringList& ScriptLines() const { return m_scriptLines; }
    std::vector<TSection> SectionTable() const;
    const std::vector<TSysParam>& MacroTable() const { return m_macroTable; }
    const std::vector<TRem>& LabelTable() const { return m_labelTable; }
    const std::vector<TRem>& RoutineTable() const { return m_routineTable; }
    const std::vector<TSysParam>& SysParamTable() const { return m_sysParamTable; }
    int FindLabel(const QString& name) const;
    int FindRoutine(const QString& name) const;
    int FindBlockPartner(const QString& kind, int n);
    int FindElseIfEnd(int n) const;
    bool IsRoutineCall(const QString& lowerLine) const;
    void PushFrame(const QString& s);
    QString PopFrame();
    int FrameTop() const { return m_frameTop; }
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
    // Takes handlers, macros and script text from `copy`, then parses. The
    // host factory is the one this engine was made with.
    void applyTemplate(const EngineTemplate& copy);

    // One pass as the run thread makes it: an empty name runs the whole
    // script after a fresh parse. Never throws; false after an error.
    bool runPass(const QString& sectionName, QString& result);

    enum class Kind : std::uint8_t;
    struct LineInfo;

private:
    void resetTables();
    void buildLineInfo();
    LineInfo describe(const QString& text, int n) const;
    void BuildBlockLabels(const QString& w, int n);
    void RegisterRoutine(const QString& w, int n);
    void setLabel(const QString& name, int value);
    void setRoutine(const QString& name, int line);
    void reportMissingPartner(int n);

    bool runSectionBody(const QString& name, QString& result);
    bool runScriptBody(QString& result);
    QString evalResult();
    bool reportPassFailure(const ScriptFailure& failure, int line);
    template <typename Body> bool guarded(Body body);
    void executeAt(const LineInfo& info, int& n);
    void runLine(const LineInfo& info, int& n);
    void jumpToFrame(int& n);
    void runStatement(const QString& s, int n);
    void mustExecute(const QString& statement);
    bool condition(const QString& expression);
    bool arrivesInSequence(int n) const { return m_lastLine + 1 == n; }

    void runQuery(const QString& s, int n);
    void runCommand(const QString& s);
    void runMessageBox(const QString& s);
    void runDelay(const QString& s);
    void runNativeCall(const QString& s);
    void runPrototype(const QString& s);
    void routineCall(const QString& w, int& n);
    void bindParameters(const QString& w);
    QString pieceValue(const QString& piece, bool query);
    QString joinCommandPieces(const QStringList& pieces);
    void GetSysParam(QString& word, QString& param, std::shared_ptr<vbs::HostObject>& acom);
    void SetSysParam(const QString& word, const QString& param);
    void raiseHandler(const TIOSysEvent& handler, QString& name, QString& content,
                      std::shared_ptr<vbs::HostObject>& acom);

    QObject* m_owner;
    HostFactory m_hostFactory;
    std::unique_ptr<EngineHost> m_host;
    std::unique_ptr<callsys::TCallSys> m_ownCallSys;
    callsys::TCallSys* m_callSys = nullptr;
    QStringList m_defineOrders;
    bool m_enablePretreat = true;

    QStringList m_scriptLines;
    std::vector<LineInfo> m_lineInfo;
    std::vector<TSection> m_sectionTable;
    mutable std::mutex m_sectionMutex;  // FindSection may come from another thread
    std::vector<TSysParam> m_macroTable;
    std::vector<TRem> m_labelTable;
    std::unordered_map<std::u16string, int> m_labelIndex;  // name -> first entry
    std::vector<TRem> m_routineTable;
    std::unordered_map<std::u16string, int> m_routineIndex;
    std::vector<TSysParam> m_sysParamTable;
    std::array<QString, 256> m_frameRing;
    int m_frameTop = 0;
    QString m_stepVar;        // the counter "next" stepped last
    QString m_stepStatement;  // and its "v=1+v" statement
    int m_lastLine = -1;
    int m_currentLine = -1;  // the line a pass-ending error is reported for
    std::atomic<bool> m_parsed{false};  // parsed since the text was last replaced
    bool m_callPending = false;
    std::atomic<bool> m_finished{true};
    StopSignal m_stop;
    tscriptthrd* m_ownerThread = nullptr;
};

}  // namespace quillon::script
