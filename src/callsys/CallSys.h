// Native calls from scripts: "callsys[name(arguments)]" lines.
//
// A call names a published method of the main form (self.Method), a published
// method of one of the main form's named child components (button1.Method),
// or a plain function that program code registered with AddProto. Published
// methods are Qt slots and Q_INVOKABLE methods, found case-insensitively in
// the object's class and its ancestors; QObject's own methods (deleteLater,
// destroyed ...) are never reachable. Scripts cannot load libraries or name
// addresses: a plain function is reachable only when program code passed its
// address to AddProto.
//
// Each argument is converted by the type its position was declared with
// (undeclared calls pass every argument as a string). A method runs on the
// thread that owns its object: Call blocks until it has run there.
// One TCallSys belongs to one script run and is used by that run's thread.
#pragma once

#include "callsys/ProtoTypes.h"

#include <QPointer>
#include <QObject>
#include <QString>
#include <QStringView>

namespace quillon::callsys {

// Refusal texts: nothing was called, the script goes on.
inline constexpr QStringView kNotEnoughArguments = u"参数不足";
inline constexpr QStringView kNoFunction = u"没有找函数指针，无法呼叫函数";
// A method exists under the name but none of its parameter lists fits the values.
inline constexpr QStringView kArgumentsDoNotFit = u"参数类型不符，无法呼叫函数";

enum class CallOutcome {
    Called,     // the method or function ran; errorText is left untouched
    Refused,    // nothing was called; errorText holds the reason; not shown, the pass goes on
    Failed,     // an argument did not convert (or the callee threw); errorText says why; the pass ends
};

class TCallSys {
public:
    explicit TCallSys(QObject* mainForm = nullptr);
    ~TCallSys();
    TCallSys(const TCallSys&) = delete;
    TCallSys& operator=(const TCallSys&) = delete;

    // The object "self" names and whose child components calls can reach.
    QObject* MainForm() const;
    void SetMainForm(QObject* form);

    TProtoTypes& Protos() { return m_protos; }
    const TProtoTypes& Protos() const { return m_protos; }

    // Declares a prototype; `proc` is a real function address from program
    // code, or null for declarations from scripts. A name already declared
    // (or already called undeclared) keeps its first entry.
    const TProtoType& AddProto(const QString& declaration, ProcAddress proc = nullptr);

    // The registered address for `name` (lower case), or null.
    ProcAddress FindProc(const QString& name) const;

    // Carries out a call text such as "self.ShowIt(Hello, 3)". Argument
    // values keep their case and inner blanks. See CallOutcome for results.
    CallOutcome Call(const QString& callText, QString& errorText);

private:
    CallOutcome callMethod(const QString& component, const QString& method, const QString& name,
                           const QStringList& args, QString& errorText);
    CallOutcome callFunction(const QString& name, const QStringList& args, QString& errorText);

    QPointer<QObject> m_mainForm;
    TProtoTypes m_protos;
};

}  // namespace quillon::callsys
