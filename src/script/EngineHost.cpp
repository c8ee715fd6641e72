#include "script/EngineHost.h"

#include "script/vbs/HostObject.h"
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
        if (!m_host.eval(expression, value))
            return fromHost();
        try {
            text = value.toText();
        } catch (const vbs::VbsError& e) {
            return fail(e);
        }
        clear();
        return true;
    }

    bool evalCondition(QStringView expression, bool& truth) override
    {
        vbs::Value value;
        if (!m_host.eval(expression, value))
            return fromHost();
        try {
            truth = value.isEmpty() ? false : value.toBool();
        } catch (const vbs::VbsError& e) {
            return fail(e);
        }
        clear();
        return true;
    }

    bool executeStatement(QStringView statement) override
    {
        if (!m_host.executeStatement(statement))
            return fromHost();
        clear();
        return true;
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
    void clear()
    {
        if (m_error.number != 0)
            m_error = {};
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
