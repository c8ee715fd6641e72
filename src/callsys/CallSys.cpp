#include "callsys/CallSys.h"

namespace quillon::callsys {

TCallSys::TCallSys(QObject* mainForm) : m_mainForm(mainForm) {}

TCallSys::~TCallSys() = default;

QObject* TCallSys::MainForm() const
{
    return m_mainForm.data();
}

void TCallSys::SetMainForm(QObject* form)
{
    m_mainForm = form;
}

const TProtoType& TCallSys::AddProto(const QString& declaration, ProcAddress proc)
{
    return m_protos.Add(declaration, proc);
}

ProcAddress TCallSys::FindProc(const QString& name) const
{
    const TProtoType* entry = m_protos.Find(name);
    return entry ? entry->proc : nullptr;
}

CallOutcome TCallSys::Call(const QString& callText, QString& errorText)
{
    Q_UNUSED(callText);
    errorText = kNoFunction.toString();
    return CallOutcome::Refused;
}

}  // namespace quillon::callsys
