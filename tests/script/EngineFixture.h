// Shared set-up for the engine tests: an engine on a FakeHost with the main
// window's macros, loaded from lines, with its errors collected.
#pragma once

#include "RecordingHost.h"
#include "script/Scripert.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace quillon::script::testing {

// The macro entries the program's template engine carries.
inline QStringList programMacros()
{
    return {QStringLiteral("findhandle ;getsys(findhandle,"), QStringLiteral("findwindow ;getsys(findwindow,"),
            QStringLiteral("findchild ;getsys(findchild,"),   QStringLiteral("test ;getsys(test,"),
            QStringLiteral("gethtxt ;getsys(gethtxt,"),       QStringLiteral("sethtxt ;setsys(sethtxt,"),
            QStringLiteral("sethclick ;setsys(sethclick,"),   QStringLiteral("key ;setsys(key,"),
            QStringLiteral("kdown ;setsys(kdown,"),           QStringLiteral("kup ;setsys(kup,"),
            QStringLiteral("mouse ;setsys(mouse,")};
}

// Script lines from UTF-8 literals.
inline QStringList lines(std::initializer_list<const char*> list)
{
    QStringList out;
    for (const char* l : list)
        out << QString::fromUtf8(l);
    return out;
}

struct ReportedError {
    int line, column, number;
    QString description;
    bool operator==(const ReportedError&) const = default;
};

inline void PrintTo(const ReportedError& e, std::ostream* os)
{
    *os << "line " << e.line << " col " << e.column << " error " << e.number << ": "
        << e.description.toStdString();
}

class EngineTest : public ::testing::Test {
protected:
    EngineTest()
    {
        engine = std::make_unique<TScripert>(nullptr, RecordingHost::factory());
        engine->setDefineOrders(programMacros());
        engine->OnError = [this](int line, int column, int number, const QString& d) {
            errors.push_back({line, column, number, d});
        };
    }

    void load(const QStringList& lines) { engine->LoadScriptText(lines.join(QLatin1Char('\n'))); }
    RecordingHost& host() { return static_cast<RecordingHost&>(engine->ScriptHost()); }
    QString var(const char* name) { return host().var(name); }
    void set(const char* name, const char* text) { host().setText(name, QString::fromUtf8(text)); }
    bool run(const char* section)
    {
        QString result;
        return engine->RunSection(QString::fromUtf8(section), result);
    }

    std::unique_ptr<TScripert> engine;
    std::vector<ReportedError> errors;
};

}  // namespace quillon::script::testing
