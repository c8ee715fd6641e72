// A small stand-in for the script host: integer and text values, variables,
// + - * / & and the comparisons < > =, "dim" lists, and a record of every
// statement it was given. Enough to watch the engine drive a host.
#pragma once

#include "script/EngineHost.h"

#include <QHash>
#include <QStringList>

#include <memory>
#include <mutex>

namespace quillon::script::testing {

class FakeHost : public EngineHost {
public:
    bool evalText(QStringView expression, QString& text) override;
    bool evalCondition(QStringView expression, bool& truth) override;
    bool executeStatement(QStringView statement) override;
    void addObject(const QString& name, std::shared_ptr<vbs::HostObject>) override { objects << name; }
    void reset() override { vars.clear(); }
    void setMsgBoxHandler(vbs::MsgBoxHandler) override {}
    const HostError& lastError() const override { return error; }

    QHash<QString, QString> vars;  // lower-case name -> value as text
    QStringList statements;        // every statement, as given
    QStringList objects;
    HostError error;

private:
    struct Parser;
    bool fail(int number, const QString& description);
};

// A factory that hands out FakeHosts and remembers the last one made.
struct FakeHostFactory {
    HostFactory factory();
    FakeHost* last = nullptr;
};

}  // namespace quillon::script::testing
