// Generated scripts, each run on a run thread with a bounded time:
//  - structured scripts (nested if/elseif/else, for and do while loops with
//    empty bodies among them, calls of subs, bounded recursion) whose leaves
//    count a variable; the count they must reach is worked out from the
//    structure while it is generated;
//  - keyword soup: random block lines in any order, where the partners a
//    parse finds in one pass must be those of the line-by-line search, and
//    a run must end or stop when asked;
//  - bad bytes: random bytes, which must parse and run or fail, never crash
//    or hang.
#include "EngineFixture.h"
#include "script/ScriptText.h"
#include "script/ScriptThrd.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <limits>
#include <random>

namespace quillon::script::testing {
namespace {

constexpr int kLimitMs = 5000;       // per file that must end
constexpr int kForeverMs = 300;      // before a file that may loop forever is stopped

class Generator {
public:
    explicit Generator(unsigned seed) : m_random(seed) {}

    // A script whose leaves count `c`; returns the count it must reach.
    long structured(QStringList& lines)
    {
        lines << QStringLiteral("c=0");
        const long count = block(lines, 0);
        lines << QStringLiteral("endscript");
        for (const QStringList& sub : m_subs)
            lines << sub;
        return count;
    }

private:
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }

    long block(QStringList& lines, int depth)
    {
        long count = 0;
        const int items = pick(depth == 0 ? 6 : 4);
        for (int i = 0; i < items; ++i)
            count += item(lines, depth);
        return count;
    }

    long item(QStringList& lines, int depth)
    {
        const int choice = depth >= 5 ? 0 : pick(7);
        switch (choice) {
        case 1: return ifBlock(lines, depth);
        case 2: {
            const int times = pick(4);
            const QString v = QStringLiteral("v%1").arg(m_names++);
            lines << QStringLiteral("for %1=1 to %2").arg(v).arg(times);
            const long body = block(lines, depth + 1);
            lines << QStringLiteral("next");
            return times * body;
        }
        case 3: {
            const int times = pick(4);
            const QString d = QStringLiteral("d%1").arg(m_names++);
            lines << d + QStringLiteral("=0") << QStringLiteral("do while %1<%2").arg(d).arg(times)
                  << d + QStringLiteral("=") + d + QStringLiteral("+1");
            const long body = block(lines, depth + 1);
            lines << QStringLiteral("loop");
            return times * body;
        }
        case 4: {
            // A sub made here, called once or twice (its body may be empty).
            const QString name = QStringLiteral("s%1").arg(m_names++);
            QStringList sub{QStringLiteral("sub ") + name};
            const long body = block(sub, depth + 1);
            sub << QStringLiteral("end sub");
            m_subs.push_back(sub);
            const int calls = 1 + pick(2);
            for (int k = 0; k < calls; ++k)
                lines << (pick(2) ? QStringLiteral("call ") + name : name);
            return calls * body;
        }
        case 5: {
            // Bounded recursion: k levels, each counting once.
            const QString name = QStringLiteral("r%1").arg(m_names++);
            const QString k = QStringLiteral("k%1").arg(m_names++);
            m_subs.push_back({QStringLiteral("sub %1(%2)").arg(name, k), QStringLiteral("if %1>0 then").arg(k),
                              QStringLiteral("c=c+1"), QStringLiteral("call %1(%2-1)").arg(name, k),
                              QStringLiteral("end if"), QStringLiteral("end sub")});
            const int levels = pick(300);
            lines << QStringLiteral("call %1(%2)").arg(name).arg(levels);
            return levels;
        }
        case 6: lines << QString(); return 0;  // a blank line
        default: lines << QStringLiteral("c=c+1"); return 1;
        }
    }

    long ifBlock(QStringList& lines, int depth)
    {
        const bool ifTrue = pick(2);
        lines << (ifTrue ? QStringLiteral("if 1=1 then") : QStringLiteral("if 1=0 then"));
        long count = 0;
        const long first = block(lines, depth + 1);
        bool taken = ifTrue;
        if (ifTrue)
            count = first;
        for (int e = pick(3); e > 0; --e) {
            const bool elseIfTrue = pick(2);
            lines << (elseIfTrue ? QStringLiteral("elseif 2=2 then") : QStringLiteral("elseif 2=3 then"));
            const long branch = block(lines, depth + 1);
            if (!taken && elseIfTrue) {
                count = branch;
                taken = true;
            }
        }
        if (pick(2)) {
            lines << QStringLiteral("else");
            const long branch = block(lines, depth + 1);
            if (!taken)
                count = branch;
        }
        lines << (pick(2) ? QStringLiteral("end if") : QStringLiteral("endif"));
        return count;
    }

    std::mt19937 m_random;
    int m_names = 0;
    std::vector<QStringList> m_subs;
};

class RandomScriptTest : public ::testing::Test {
protected:
    RandomScriptTest()
    {
        templ.OnError = [this](int, int, int number, const QString&) {
            std::lock_guard lock(mutex);
            errors.push_back(number);
        };
    }

    // Runs the whole script; false when it neither ended nor stopped in time.
    bool runBounded(tscriptthrd& run, bool mayRunForever)
    {
        run.resume();
        if (run.waitIdle(mayRunForever ? kForeverMs : kLimitMs))
            return true;
        return mayRunForever && run.Stop(kLimitMs);
    }

    TScripert templ;
    std::mutex mutex;
    std::vector<int> errors;
};

TEST_F(RandomScriptTest, StructuredScriptsCountWhatTheirStructureSays)
{
    for (unsigned seed = 1; seed <= 150; ++seed) {
        Generator generator(seed);
        QStringList lines;
        const long expected = generator.structured(lines);
        templ.LoadScriptText(lines.join(QLatin1Char('\n')));
        tscriptthrd run(nullptr, &templ);
        ASSERT_TRUE(runBounded(run, false)) << "seed " << seed << " did not end:\n" << lines.join('\n').toStdString();
        QString c;
        run.Engine()->ScriptHost().evalText(u"c", c);
        EXPECT_EQ(c, QString::number(expected)) << "seed " << seed << ":\n" << lines.join('\n').toStdString();
        std::lock_guard lock(mutex);
        ASSERT_TRUE(errors.empty()) << "seed " << seed << ": error " << errors.front();
    }
}

TEST_F(RandomScriptTest, KeywordSoupParsesWithTheSearchesPartnersAndEndsOrStops)
{
    const char* pool[] = {"if x then", "elseif y then", "else", "end if", "endif", "do while z<3", "z=z+1",
                          "loop", "exit do", "for i=1 to 2", "next", "sub s(a)", "end sub", "function f(b)",
                          "f=b", "end function", "call s(1)", "q = f(2)", "goto top", "rem top", "section a",
                          "end section", "x=1", "", "endscript"};
    const struct {
        const char* kind;
        const char* label;
        Keyword keyword;
    } blocks[] = {{"if", "if_", Keyword::If},         {"elseif", "elseif_", Keyword::ElseIf},
                  {"else", "else_", Keyword::Else},   {"do", "do_", Keyword::DoWhile},
                  {"exitdo", "exitdo_", Keyword::ExitDo}, {"loop", "loop_", Keyword::Loop},
                  {"for", "for_", Keyword::For},      {"next", "next_", Keyword::Next},
                  {"sub", "sub_", Keyword::Sub},      {"func", "func_", Keyword::Function}};
    std::mt19937 random(7);
    templ.setDefineOrders(programMacros());
    for (int file = 0; file < 120; ++file) {
        QStringList lines;
        const int count = 1 + int(random() % 60);
        for (int i = 0; i < count; ++i)
            lines << QString::fromLatin1(pool[random() % std::size(pool)]);
        templ.LoadScriptText(lines.join(QLatin1Char('\n')));
        for (int n = 0; n < count; ++n) {
            const Keyword k = keywordOf(lines[n]);
            for (const auto& b : blocks) {
                if (b.keyword != k)
                    continue;
                // "rem top" takes no label of a block, so each label names the partner.
                const QString label = QLatin1String(b.label) + QString::number(n);
                EXPECT_EQ(templ.FindLabel(label), templ.FindBlockPartner(QString::fromLatin1(b.kind), n))
                    << label.toStdString() << " in\n" << lines.join('\n').toStdString();
            }
            if (k == Keyword::ElseIf)
                EXPECT_EQ(templ.FindLabel(QStringLiteral("elseif_end_%1").arg(n)), templ.FindElseIfEnd(n));
        }
        tscriptthrd run(nullptr, &templ);
        ASSERT_TRUE(runBounded(run, true)) << "file " << file << " neither ended nor stopped";
    }
}

TEST_F(RandomScriptTest, BadBytesParseAndRunOrFailButNeverHang)
{
    std::mt19937 random(11);
    const char alphabet[] = "\0\r\n\t \"'()[],=<>+-*/&:;_.$#@!?\\ifdoloopnextsubendcallgoto0123456789xyzXYZ";
    for (int file = 0; file < 60; ++file) {
        QByteArray bytes;
        const int size = int(random() % 400);
        for (int i = 0; i < size; ++i)
            bytes += random() % 3 == 0 ? char(random() % 256) : alphabet[random() % (sizeof alphabet - 1)];
        templ.LoadScriptText(decodeScriptBytes(bytes));
        tscriptthrd run(nullptr, &templ);
        ASSERT_TRUE(runBounded(run, true)) << "file " << file << " neither ended nor stopped";
    }
}

// Parsing four times the lines takes about four times as long, never near
// the sixteen times of a quadratic parse (the fastest of five tries, against
// a bound between the two for a busy machine), for the shapes that used to be
// quadratic: many unclosed blocks, deep nesting, many routines.
TEST_F(RandomScriptTest, ParsingGrowsLinearlyWithTheLines)
{
    auto shape = [](int n, int kind) {
        QStringList out;
        for (int i = 0; i < n; ++i) {
            if (kind == 0)
                out << QStringLiteral("if x%1 then").arg(i);
            else if (kind == 1)
                out << QStringLiteral("if x then");
            else
                out << QStringLiteral("sub s%1").arg(i) << QStringLiteral("y%1=s%1(1)").arg(i);
        }
        if (kind == 1)
            for (int i = 0; i < n; ++i)
                out << QStringLiteral("end if");
        return out.join(QLatin1Char('\n'));
    };
    templ.OnError = [](int, int, int, const QString&) {};
    auto fastest = [this](const QString& text) {
        qint64 best = std::numeric_limits<qint64>::max();
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer timer;
            timer.start();
            templ.LoadScriptText(text);
            best = std::min(best, timer.nsecsElapsed());
        }
        return double(best);
    };
    for (int kind = 0; kind < 3; ++kind) {
        const double small = fastest(shape(4000, kind));
        const double large = fastest(shape(16000, kind));
        EXPECT_LT(large / small, 12.0) << "shape " << kind << ": " << small / 1e6 << " ms, then " << large / 1e6 << " ms";
    }
}

}  // namespace
}  // namespace quillon::script::testing
