// Runs every script file of this folder through the engine on a run thread
// and compares what it shows and reports with the expectations written in
// the file's comments, in order:
//   // expect: TEXT     a message box (messagebox or MsgBox) showing TEXT
//   // expect error N   an error N reported through OnError
//   // run: NAME        run section NAME instead of the whole script
#include "app/ScriptWiring.h"
#include "script/ScriptThrd.h"
#include "script/Scripert.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <mutex>

namespace quillon::script {
namespace {

struct Expectations {
    QString section;
    QStringList events;
};

Expectations readExpectations(const QString& text)
{
    static const QRegularExpression expect(QStringLiteral(R"(//\s*expect(?::\s?(.*)|\s+error\s+(\d+))\s*$)"));
    static const QRegularExpression runLine(QStringLiteral(R"(//\s*run:\s*(\S+))"));
    Expectations e;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        const QString l = line.trimmed();
        if (const auto m = runLine.match(l); m.hasMatch())
            e.section = m.captured(1);
        else if (const auto m2 = expect.match(l); m2.hasMatch())
            e.events << (m2.capturedLength(2) ? QStringLiteral("error ") + m2.captured(2)
                                              : QStringLiteral("box: ") + m2.captured(1).trimmed());
    }
    return e;
}

class ScriptFileTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ScriptFileTest, ShowsAndReportsWhatItsCommentsExpect)
{
    const QString path = QStringLiteral(QUILLON_SCRIPT_DIR "/") + QString::fromStdString(GetParam());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const Expectations expected = readExpectations(QString::fromUtf8(file.readAll()));

    std::mutex mutex;
    QStringList events;
    app::ScriptHandlers handlers;
    handlers.onError = [&](int line, int, int number, const QString& d) {
        std::lock_guard lock(mutex);
        events << QStringLiteral("error %1").arg(number);
        std::printf("  line %d: error %d: %s\n", line, number, qPrintable(d));
    };
    handlers.onMessageBox = [&](const QString& prompt, int, const QString&) {
        std::lock_guard lock(mutex);
        events << QStringLiteral("box: ") + prompt;
        return 1;
    };
    app::DesktopBridge headless(nullptr);
    TScripert templ;
    app::setUpTemplateEngine(templ, headless.bridge(), handlers);
    templ.LoadScriptFile(path);
    tscriptthrd run(nullptr, &templ);
    run.setSectionName(expected.section);
    run.resume();
    ASSERT_TRUE(run.waitIdle(20000)) << "the script did not finish";
    std::lock_guard lock(mutex);
    EXPECT_EQ(events.join(QLatin1Char('\n')).toStdString(), expected.events.join(QLatin1Char('\n')).toStdString());
}

std::vector<std::string> scriptFiles()
{
    std::vector<std::string> files;
    for (const QString& name : QDir(QStringLiteral(QUILLON_SCRIPT_DIR))
                                   .entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
        if (name != QLatin1String("CMakeLists.txt"))
            files.push_back(name.toStdString());
    }
    return files;
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptFileTest, ::testing::ValuesIn(scriptFiles()),
                         [](const auto& info) {
                             QString name = QString::fromStdString(info.param);
                             name.chop(4);
                             return name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]")),
                                                 QStringLiteral("_")).toStdString();
                         });

}  // namespace
}  // namespace quillon::script
