// Script lines that call methods of a real window: callsys[...] reaches the
// window's slots from a run thread, and the slot runs on the GUI thread.
#include "script/ScriptThrd.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <atomic>

namespace quillon::script::testing {
namespace {

class CallTarget : public QWidget {
    Q_OBJECT
public:
    CallTarget()
    {
        m_label = new QLabel(this);
        m_label->setObjectName(QStringLiteral("Caption"));
    }

    QThread* ranOn = nullptr;
    int lastNumber = 0;
    QString lastText;
    QLabel* m_label;

public slots:
    void Poke(int n)
    {
        ranOn = QThread::currentThread();
        lastNumber = n;
        m_label->setText(QString::number(n));  // touching a widget: GUI thread only
    }
    void Greet(const QString& text)
    {
        ranOn = QThread::currentThread();
        lastText = text;
    }
};

// Runs `section` of `script` on a run owned by `window`, keeping the GUI
// thread's events flowing (the calls are queued to it) until the pass ends.
void runOnWindow(CallTarget& window, const char* script, std::atomic<int>& errors)
{
    TScripert templ(&window);
    templ.OnError = [&](int, int, int, const QString&) { errors++; };
    templ.LoadScriptText(QString::fromUtf8(script));
    tscriptthrd run(&window, &templ);
    run.setSectionName(QStringLiteral("down"));
    run.resume();
    QElapsedTimer timer;
    timer.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (!run.waitIdle(1) && timer.elapsed() < 5000);
    EXPECT_TRUE(run.Idle());
}

TEST(WindowCall, DeclaredIntegerSlotRunsOnTheGuiThread)
{
    CallTarget window;
    std::atomic<int> errors{0};
    runOnWindow(window,
                "section down\n"
                "n=40\n"
                "callproto[self.poke(integer)]\n"
                "callsys[self.Poke(n+2)]\n"
                "end section\n",
                errors);
    EXPECT_EQ(errors.load(), 0);
    EXPECT_EQ(window.lastNumber, 42);
    EXPECT_EQ(window.ranOn, window.thread());
    EXPECT_EQ(window.m_label->text(), QStringLiteral("42"));
}

TEST(WindowCall, UndeclaredCallPassesTheScriptsTextUnchanged)
{
    CallTarget window;
    std::atomic<int> errors{0};
    runOnWindow(window,
                "section down\n"
                "callsys[self.greet(\"Hello World\")]\n"
                "callsys[self.NoSuchMethod(1)]\n"
                "after=1\n"
                "end section\n",
                errors);
    EXPECT_EQ(errors.load(), 0) << "a refused call is not an error";
    EXPECT_EQ(window.lastText, QStringLiteral("Hello World"));
    EXPECT_EQ(window.ranOn, window.thread());
}

}  // namespace
}  // namespace quillon::script::testing

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "WindowCallTest.moc"
