// libFuzzer entry: any bytes, read as UTF-8 lines, go to Eval or
// ExecuteStatement of one long-lived host. Built with -DQUILLON_FUZZ=ON (clang).
#include "script/vbs/ScriptHost.h"
#include "script/vbs/Value.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static quillon::vbs::ScriptHost host;
    static int calls = 0;
    if (++calls % 1000 == 0)
        host.reset();
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        quillon::vbs::Value value;
        const bool ok = line.startsWith(QLatin1Char('?')) ? host.eval(QStringView(line).mid(1), value)
                                                          : host.executeStatement(line);
        if (!ok && host.error().number <= 0)
            std::abort();  // a failure must always carry an error number
    }
    return 0;
}
