// Cost of native calls: parsing a declaration, a call of a slot on the
// calling thread, a call marshalled to the thread that owns the object, and
// a registered function called through libffi.
#include "callsys/CallSys.h"

#include <QCoreApplication>
#include <QThread>
#include <benchmark/benchmark.h>

namespace {

class Target : public QObject {
    Q_OBJECT
public:
    int calls = 0;
public slots:
    void touch(const QString& text, int n)
    {
        calls += n + int(text.size());
    }
};

int g_sum = 0;
void addUp(int a, int b)
{
    g_sum += a + b;
}

void BM_ParseDeclaration(benchmark::State& state)
{
    for (auto _ : state) {
        quillon::callsys::TProtoTypes table;
        benchmark::DoNotOptimize(&table.Add(QStringLiteral("Sum(integer, var integer): integer; stdcall"), nullptr));
    }
}
BENCHMARK(BM_ParseDeclaration);

void BM_CallSlotSameThread(benchmark::State& state)
{
    QObject form;
    auto* target = new Target;
    target->setParent(&form);
    target->setObjectName(QStringLiteral("Target"));
    quillon::callsys::TCallSys sys(&form);
    sys.AddProto(QStringLiteral("target.touch(string, integer)"));
    QString error;
    for (auto _ : state)
        benchmark::DoNotOptimize(sys.Call(QStringLiteral("target.touch(Hello, 3)"), error));
}
BENCHMARK(BM_CallSlotSameThread);

void BM_CallSlotOtherThread(benchmark::State& state)
{
    QThread owner;
    owner.start();
    auto* form = new Target;
    form->moveToThread(&owner);
    quillon::callsys::TCallSys sys(form);
    sys.AddProto(QStringLiteral("self.touch(string, integer)"));
    QString error;
    for (auto _ : state)
        benchmark::DoNotOptimize(sys.Call(QStringLiteral("self.touch(Hello, 3)"), error));
    QMetaObject::invokeMethod(form, &QObject::deleteLater);
    owner.quit();
    owner.wait();
}
BENCHMARK(BM_CallSlotOtherThread);

void BM_CallRegisteredFunction(benchmark::State& state)
{
    quillon::callsys::TCallSys sys;
    sys.AddProto(QStringLiteral("AddUp(integer, integer)"), reinterpret_cast<quillon::callsys::ProcAddress>(&addUp));
    QString error;
    for (auto _ : state)
        benchmark::DoNotOptimize(sys.Call(QStringLiteral("addup(2, 40)"), error));
}
BENCHMARK(BM_CallRegisteredFunction);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

#include "CallSysBench.moc"
