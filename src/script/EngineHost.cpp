#include "script/EngineHost.h"

#include "script/vbs/HostObject.h"
#include "script/vbs/Program.h"
#include "script/vbs/Value.h"
#include "script/vbs/VbsError.h"

namespace quillon::script {

namespace {

// The engine's view of the VBScript host. Conversions that fail (a value with
// no text or no truth value) become the host's own error numbers.
class VbsEngineHost final : public EngineHost {
public:
    bool evalText(QStringView expression, QString& text) override
    {
        vbs::Value value;
        return m_host.eval(expression, value) ? toText(value, text) : fromHost();
    }

    bool evalCondition(QStringView expression, bool& truth) override
    {
        vbs::Value value;
        return m_host.eval(expression, value) ? toTruth(value, truth) : fromHost();
    }

    bool executeStatement(QStringView statement) override
    {
        return m_host.executeStatement(statement) ? succeeded() : fromHost();
    }

    PreparedText prepare(const QString& text, bool expression) override
    {
        return {text, m_host.compile(text, expression)};
    }

    bool evalText(const PreparedText& expression, QString& text) override
    {
        if (!expression.code)
            return evalText(expression.text, text);
        vbs::Value value;
        return m_host.eval(program(expression), value) ? toText(value, text) : fromHost();
    }

    bool evalCondition(const PreparedText& expression, bool& truth) override
    {
        if (!expression.code)
            return evalCondition(expression.text, truth);
        if (m_host.flatCondition(program(expression), truth))
            return succeeded();
        vbs::Value value;
        return m_host.eval(program(expression), value) ? toTruth(value, truth) : fromHost();
    }

    bool executeStatement(const PreparedText& statement) override
    {
        if (!statement.code)
            return executeStatement(statement.text);
        return m_host.executeStatement(program(statement)) ? succeeded() : fromHost();
    }

    void addObject(const QString& name, std::shared_ptr<vbs::HostObject> object) override
    {
        m_host.addObject(name, std::move(object), true);
    }

    void reset() override { m_host.reset(); }

    void setMsgBoxHandler(vbs::MsgBoxHandler handler) override
    {
        m_host.setMsgBoxHandler(std::move(handler));
    }

    const HostError& lastError() const override { return m_error; }

private:
    static const vbs::Program& program(const PreparedText& prepared)
    {
        return *static_cast<const vbs::Program*>(prepared.code.get());
    }

    bool succeeded()
    {
        if (m_error.number != 0)
            m_error = {};
        return true;
    }

    bool toText(const vbs::Value& value, QString& text)
    {
        try {
            text = value.toText();
        } catch (const vbs::VbsError& e) {
            return fail(e);
        }
        return succeeded();
    }

    bool toTruth(const vbs::Value& value, bool& truth)
    {
        if (value.type() == vbs::Value::Type::Boolean) {
            truth = value.boolValue();
            return succeeded();
        }
        try {
            truth = value.isEmpty() ? false : value.toBool();
        } catch (const vbs::VbsError& e) {
            return fail(e);
        }
        return succeeded();
    }

    bool fromHost()
    {
        const vbs::ScriptError& e = m_host.error();
        m_error = {e.number, e.column, e.description};
        return false;
    }

    bool fail(const vbs::VbsError& e)
    {
        m_error = {e.number, e.column < 0 ? 0 : e.column, e.description};
        return false;
    }

    vbs::ScriptHost m_host;
    HostError m_error;
};

}  // namespace

std::unique_ptr<EngineHost> createVbsHost()
{
    return std::make_unique<VbsEngineHost>();
}

}  // namespace quillon::script
