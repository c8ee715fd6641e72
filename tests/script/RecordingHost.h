// The real script host behind a thin layer that records every statement and
// bound object, so tests can see exactly what the engine hands the host.
#pragma once

#include "script/EngineHost.h"

#include <QStringList>

namespace quillon::script::testing {

class RecordingHost : public EngineHost {
public:
    bool evalText(QStringView e, QString& text) override { return m_host->evalText(e, text); }
    bool evalCondition(QStringView e, bool& truth) override { return m_host->evalCondition(e, truth); }
    bool executeStatement(QStringView s) override
    {
        statements << s.toString();
        if (refuseEverything)
            return false;
        return m_host->executeStatement(s);
    }
    PreparedText prepare(const QString& text, bool expression) override { return m_host->prepare(text, expression); }
    bool evalText(const PreparedText& e, QString& text) override { return m_host->evalText(e, text); }
    bool evalCondition(const PreparedText& e, bool& truth) override { return m_host->evalCondition(e, truth); }
    bool executeStatement(const PreparedText& s) override
    {
        statements << s.text;
        if (refuseEverything)
            return false;
        return m_host->executeStatement(s);
    }
    void addObject(const QString& name, std::shared_ptr<vbs::HostObject> object) override
    {
        objects << name;
        m_host->addObject(name, std::move(object));
    }
    void reset() override { m_host->reset(); }
    void setMsgBoxHandler(vbs::MsgBoxHandler handler) override { m_host->setMsgBoxHandler(std::move(handler)); }
    const HostError& lastError() const override { return refuseEverything ? m_refusal : m_host->lastError(); }

    // A variable's value as text (empty when unset).
    QString var(const char* name)
    {
        QString text;
        m_host->evalText(QString::fromLatin1(name), text);
        return text;
    }
    // Sets a variable to a text, without recording the statement.
    void setText(const char* name, QString text)
    {
        text.replace(QLatin1String("\""), QLatin1String("\"\""));
        m_host->executeStatement(QString::fromLatin1(name) + QLatin1String("=\"") + text + QLatin1Char('"'));
    }

    QStringList statements;
    QStringList objects;
    // Refuse every statement with 1044, as a host might that never accepts
    // the line without its parentheses.
    bool refuseEverything = false;

    static HostFactory factory()
    {
        return [] { return std::unique_ptr<EngineHost>(std::make_unique<RecordingHost>()); };
    }

private:
    std::unique_ptr<EngineHost> m_host = createVbsHost();
    HostError m_refusal{1044, 0, QStringLiteral("Cannot use parentheses when calling a Sub")};
};

}  // namespace quillon::script::testing
