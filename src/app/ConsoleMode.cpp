// quillon --console: one answer line per input line, so a caller can pipe
// lines in and read answers back in step.
#include "app/CommandLine.h"

#include "script/vbs/ScriptHost.h"
#include "script/vbs/Value.h"
#include "script/vbs/VbsError.h"

#include <QString>

#include <cstdio>
#include <iostream>
#include <string>

namespace quillon::app {

namespace {

void writeLine(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The value as CStr renders it; values CStr refuses are named instead.
QString render(const vbs::Value& value)
{
    if (value.isNull())
        return QStringLiteral("Null");
    if (value.isObject() || value.isArray())
        return value.typeName();
    return value.toString();
}

QString answer(vbs::ScriptHost& host, const QString& line)
{
    bool ok = false;
    QString result;
    if (line.startsWith(QLatin1Char('?'))) {
        vbs::Value value;
        ok = host.eval(QStringView(line).mid(1), value);
        if (ok) {
            try {
                result = render(value);
            } catch (const vbs::VbsError& e) {
                return QStringLiteral("ERROR:%1 %2").arg(e.number).arg(e.description);
            }
        }
    } else {
        ok = host.executeStatement(line);
        result = QStringLiteral("ok");
    }
    if (!ok)
        return QStringLiteral("ERROR:%1 %2").arg(host.error().number).arg(host.error().description);
    return result;
}

}  // namespace

int runConsole()
{
    vbs::ScriptHost host;
    // MsgBox shows its prompt on standard error so that standard output keeps
    // exactly one answer per line; it answers OK.
    host.setMsgBoxHandler([](const QString& prompt, int, const QString&) {
        const QByteArray bytes = prompt.toUtf8();
        std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stderr);
        std::fputc('\n', stderr);
        std::fflush(stderr);
        return 1;
    });
    std::string raw;
    while (std::getline(std::cin, raw)) {
        if (!raw.empty() && raw.back() == '\r')
            raw.pop_back();
        writeLine(answer(host, QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()))));
    }
    return 0;
}

}  // namespace quillon::app
