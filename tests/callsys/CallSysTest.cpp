#include "callsys/CallSys.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QWidget>
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace quillon::callsys {
namespace {

// A window whose published methods record how they were called.
class TestWindow : public QWidget {
    Q_OBJECT
public:
    QString lastCall;
    QStringList received;
    QThread* ranOn = nullptr;

    Q_INVOKABLE void showIt(const QString& s) { record(QStringLiteral("showIt"), {s}); }
    Q_INVOKABLE void pick(int n) { record(QStringLiteral("pick(int)"), {QString::number(n)}); }

public slots:
    void pick(const QString& s) { record(QStringLiteral("pick(QString)"), {s}); }
    void addTwo(int a, int b) { record(QStringLiteral("addTwo"), {QString::number(a), QString::number(b)}); }
    void noArgs() { record(QStringLiteral("noArgs"), {}); }
    void fill(QString& s, int& n)
    {
        record(QStringLiteral("fill"), {s, QString::number(n)});
        s = QStringLiteral("written");
        n = -1;
    }
    void measure(double d, int n) { record(QStringLiteral("measure"), {QString::number(d), QString::number(n)}); }
    void inherited() { record(QStringLiteral("TestWindow::inherited"), {}); }

signals:
    void happened(const QString& what);

protected:
    void record(const QString& call, const QStringList& args)
    {
        lastCall = call;
        received = args;
        ranOn = QThread::currentThread();
    }
};

class DerivedWindow : public TestWindow {
    Q_OBJECT
public slots:
    void Inherited() { record(QStringLiteral("DerivedWindow::Inherited"), {}); }
};

class Button : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    QString pressedWith;
public slots:
    void press(const QString& how) { pressedWith = how; }
};

class CallSysTest : public ::testing::Test {
protected:
    CallSysTest()
    {
        button = new Button(&window);
        button->setObjectName(QStringLiteral("Button1"));
        auto* panel = new QWidget(&window);
        panel->setObjectName(QStringLiteral("panel"));
        inner = new Button(panel);
        inner->setObjectName(QStringLiteral("innerButton"));
    }

    CallOutcome call(const QString& text)
    {
        error = QStringLiteral("untouched");
        return sys.Call(text, error);
    }

    DerivedWindow window;
    Button* button = nullptr;
    Button* inner = nullptr;
    TCallSys sys{&window};
    QString error;
};

TEST_F(CallSysTest, UndeclaredCallsPassArgumentsAsWrittenButTrimmed)
{
    const std::pair<const char*, QStringList> cases[] = {
        {"Self.SHOWIT(  Hello World  )", {"Hello World"}},
        {"self.showIt(c:\\temp;x)", {"c:\\temp;x"}},
        {"self.showIt( , a(b), )", {"a(b)"}},
    };
    for (const auto& [text, received] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(call(QString::fromUtf8(text)), CallOutcome::Called);
        EXPECT_EQ(error, QStringLiteral("untouched"));
        EXPECT_EQ(window.received, received);
    }
    ASSERT_NE(sys.Protos().Find(QStringLiteral("self.showit")), nullptr);
    EXPECT_EQ(sys.Protos().Find(QStringLiteral("self.showit"))->params, QStringList{QStringLiteral("no proto type")});
}

TEST_F(CallSysTest, RefusalsMakeNoCall)
{
    struct Case { const char* text; QStringView reason; };
    const Case cases[] = {
        {"neverRegistered(1)", kNoFunction},
        {"(1)", kNoFunction},
        {"self.showIt", kNoFunction},
        {"nobody.press(x)", kNoFunction},
        {"button1.missing(x)", kNoFunction},
        {"self.deleteLater()", kNoFunction},
        {"self.destroyed()", kNoFunction},
        {"self.happened(x)", kNoFunction},
        {"self.addTwo(1)", kArgumentsDoNotFit},
        {"self.fill(a, b)", kArgumentsDoNotFit},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(call(QString::fromUtf8(c.text)), CallOutcome::Refused);
        EXPECT_EQ(error, c.reason.toString());
    }
    EXPECT_TRUE(window.lastCall.isEmpty());
    EXPECT_TRUE(button->pressedWith.isEmpty());
    EXPECT_EQ(sys.Protos().Find(QStringLiteral("neverregistered")), nullptr);
}

TEST_F(CallSysTest, ComponentsAreFoundByNameAtAnyDepth)
{
    EXPECT_EQ(call(QStringLiteral("BUTTON1.Press(Twice)")), CallOutcome::Called);
    EXPECT_EQ(button->pressedWith, QStringLiteral("Twice"));
    EXPECT_EQ(call(QStringLiteral("innerbutton.press(deep)")), CallOutcome::Called);
    EXPECT_EQ(inner->pressedWith, QStringLiteral("deep"));
}

TEST_F(CallSysTest, DeclaredIntegersNeedEnoughArgumentsAndIgnoreSurplus)
{
    sys.AddProto(QStringLiteral("self.AddTwo(integer, integer)"));
    EXPECT_EQ(call(QStringLiteral("self.addtwo(1)")), CallOutcome::Refused);
    EXPECT_EQ(error, kNotEnoughArguments.toString());
    EXPECT_TRUE(window.lastCall.isEmpty());
    EXPECT_EQ(call(QStringLiteral("self.addtwo(1, $1F, 99)")), CallOutcome::Called);
    EXPECT_EQ(window.received, (QStringList{QStringLiteral("1"), QStringLiteral("31")}));
}

TEST_F(CallSysTest, IntegerArgumentsConvertOrEndThePass)
{
    sys.AddProto(QStringLiteral("self.pick(integer)"));
    const std::pair<const char*, const char*> good[] = {
        {"-2147483648", "-2147483648"}, {"2147483647", "2147483647"}, {"$FFFFFFFF", "-1"},
        {"-$10", "-16"}, {"0x7f", "127"}, {"+5", "5"}};
    for (const auto& [text, value] : good) {
        SCOPED_TRACE(text);
        EXPECT_EQ(call(QStringLiteral("self.pick(%1)").arg(QString::fromUtf8(text))), CallOutcome::Called);
        EXPECT_EQ(window.received, QStringList{QString::fromUtf8(value)});
    }
    window.lastCall.clear();
    for (const char* bad : {"abc", "2147483648", "$100000000", "1 2", "$", "-", "1.5"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(call(QStringLiteral("self.pick(%1)").arg(QString::fromUtf8(bad))), CallOutcome::Failed);
        EXPECT_TRUE(error.contains(QString::fromUtf8(bad)));
    }
    EXPECT_TRUE(window.lastCall.isEmpty());
}

TEST_F(CallSysTest, OverloadsFollowTheDeclarationMadeBeforeTheFirstCall)
{
    EXPECT_EQ(call(QStringLiteral("self.pick(7)")), CallOutcome::Called);
    EXPECT_EQ(window.lastCall, QStringLiteral("pick(QString)"));
    TCallSys declared(&window);
    declared.AddProto(QStringLiteral("self.pick(integer)"));
    EXPECT_EQ(declared.Call(QStringLiteral("self.pick(7)"), error), CallOutcome::Called);
    EXPECT_EQ(window.lastCall, QStringLiteral("pick(int)"));
    // Declared after a call, the placeholder stays and strings keep being passed.
    sys.AddProto(QStringLiteral("self.pick(integer)"));
    EXPECT_EQ(call(QStringLiteral("self.pick(8)")), CallOutcome::Called);
    EXPECT_EQ(window.lastCall, QStringLiteral("pick(QString)"));
}

TEST_F(CallSysTest, VarPositionsAreWritableAndRealPositionsPassNoValue)
{
    sys.AddProto(QStringLiteral("self.fill(var string, var integer)"));
    EXPECT_EQ(call(QStringLiteral("self.fill(Some Text, 12)")), CallOutcome::Called);
    EXPECT_EQ(window.received, (QStringList{QStringLiteral("Some Text"), QStringLiteral("12")}));
    sys.AddProto(QStringLiteral("self.measure(real, integer)"));
    EXPECT_EQ(call(QStringLiteral("self.measure(2.5, 3)")), CallOutcome::Called);
    EXPECT_EQ(window.received, (QStringList{QStringLiteral("0"), QStringLiteral("3")}));
}

TEST_F(CallSysTest, EmptyParenthesesAndInheritedMethods)
{
    EXPECT_EQ(call(QStringLiteral("self.noargs()")), CallOutcome::Called);
    EXPECT_EQ(window.lastCall, QStringLiteral("noArgs"));
    window.lastCall.clear();
    EXPECT_EQ(call(QStringLiteral("self.noargs(0)")), CallOutcome::Called);   // surplus values are ignored
    EXPECT_EQ(window.lastCall, QStringLiteral("noArgs"));
    EXPECT_EQ(call(QStringLiteral("self.inherited()")), CallOutcome::Called);
    EXPECT_EQ(window.lastCall, QStringLiteral("DerivedWindow::Inherited"));
}

// Registered plain functions record what they received here.
struct Received {
    int a = 0;
    int b = 0;
    QString text;
    bool textWasNull = false;
    QString varText;
    bool varTextWasNull = false;
    int varNumber = 0;
    double real = -1;
};
Received g_received;

void sumFunction(int a, int b)
{
    g_received.a = a;
    g_received.b = b;
}

void joinFunction(const char* text, char** varText, int* varNumber, double real, int last)
{
    g_received.textWasNull = text == nullptr;
    g_received.text = QString::fromUtf8(text);
    g_received.varText = QString::fromUtf8(*varText);
    g_received.varTextWasNull = *varText == nullptr;
    g_received.varNumber = *varNumber;
    g_received.real = real;
    g_received.b = last;
    *varText = nullptr;
    *varNumber = 0;
}

void throwingFunction(int)
{
    throw std::runtime_error("refused by the callee");
}

TEST(RegisteredFunctions, WhatTheyThrowEndsThePass)
{
    TCallSys sys;
    sys.AddProto(QStringLiteral("boom(integer)"), reinterpret_cast<ProcAddress>(&throwingFunction));
    QString error;
    EXPECT_EQ(sys.Call(QStringLiteral("boom(1)"), error), CallOutcome::Failed);
    EXPECT_EQ(error, QStringLiteral("refused by the callee"));
}

TEST(RegisteredFunctions, AreCalledWithConvertedValuesUnderBothConventions)
{
    TCallSys sys;
    sys.AddProto(QStringLiteral("Sum(integer, integer)"), reinterpret_cast<ProcAddress>(&sumFunction));
    sys.AddProto(QStringLiteral("Join(string, var string, var integer, real, integer); stdcall"),
                 reinterpret_cast<ProcAddress>(&joinFunction));
    EXPECT_EQ(sys.FindProc(QStringLiteral("sum")), reinterpret_cast<ProcAddress>(&sumFunction));
    QString error;

    g_received = {};
    EXPECT_EQ(sys.Call(QStringLiteral("SUM(2, 40)"), error), CallOutcome::Called);
    EXPECT_EQ(g_received.a + g_received.b, 42);
    EXPECT_EQ(g_received.a, 2);

    g_received = {};
    EXPECT_EQ(sys.Call(QStringLiteral("join(Mixed Case \u4e2d, d:\\x, -7, 1.5, 9)"), error), CallOutcome::Called);
    EXPECT_EQ(g_received.text, QStringLiteral("Mixed Case \u4e2d"));
    EXPECT_EQ(g_received.varText, QStringLiteral("d:\\x"));
    EXPECT_EQ(g_received.varNumber, -7);
    EXPECT_EQ(g_received.real, 0.0);
    EXPECT_EQ(g_received.b, 9);

    g_received = {};
    EXPECT_EQ(sys.Call(QStringLiteral("join(x, , 1, 0, 2)"), error), CallOutcome::Called);
    EXPECT_TRUE(g_received.varTextWasNull);
    EXPECT_FALSE(g_received.textWasNull);
    sys.Call(QStringLiteral("join(x, y, 1, 0)"), error);
    EXPECT_EQ(error, kNotEnoughArguments.toString());
    // A name that only resembles a registered one reaches nothing.
    EXPECT_EQ(sys.Call(QStringLiteral("sum.(1, 2)"), error), CallOutcome::Refused);
    EXPECT_EQ(error, kNoFunction.toString());
}

TEST(CallThreads, AMethodCalledFromAWorkerRunsOnTheGuiThread)
{
    TestWindow window;
    window.show();
    std::atomic<bool> done{false};
    CallOutcome outcome = CallOutcome::Refused;
    std::thread worker([&] {
        TCallSys sys(&window);
        QString error;
        outcome = sys.Call(QStringLiteral("self.showIt(from a worker)"), error);
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while (!done && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    worker.join();
    EXPECT_EQ(outcome, CallOutcome::Called);
    EXPECT_EQ(window.received, QStringList{QStringLiteral("from a worker")});
    EXPECT_EQ(window.ranOn, QThread::currentThread());
}

}  // namespace
}  // namespace quillon::callsys

#include "CallSysTest.moc"
