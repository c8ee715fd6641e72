#include "QtPrinters.h"
#include "HttpRecorder.h"
#include "desktop/UserCounter.h"
#include "desktop/ZenIdhttp.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSysInfo>
#include <QThread>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quillon::desktop;
using quillon::desktoptest::HttpRecorder;

namespace {

using Fields = std::vector<std::pair<QByteArray, QByteArray>>;

Fields fields(const char* appid, const char* mcode, const char* status)
{
    return {{"appid", appid}, {"mcode", mcode}, {"status", status}};
}

}  // namespace

TEST(UserCounter, StartAndCloseReportsPostTheThreeFieldsInOrder)
{
    HttpRecorder server;
    TUserCounter counter;
    counter.StartupReport("TARVELCN", "m1", counterUrlFor(server.baseUrl()));
    counter.ClosingReport();
    ASSERT_TRUE(counter.Finish(5000));

    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& r : requests) {
        EXPECT_EQ(r.method, "POST");
        EXPECT_EQ(r.target, "/appCounter/counter.php");
        EXPECT_TRUE(r.headers.contains("multipart/form-data; boundary="));
    }
    // Each report has a body of its own with exactly three fields.
    EXPECT_EQ(requests[0].fields, fields("TARVELCN", "m1", "true"));
    EXPECT_EQ(requests[1].fields, fields("TARVELCN", "m1", "false"));
    EXPECT_EQ(counter.failures(), 0);
}

TEST(UserCounter, EmptyArgumentsKeepTheStoredValues)
{
    HttpRecorder server;
    TUserCounter counter;
    counter.StartupReport("APP", "", counterUrlFor(server.baseUrl()));
    counter.StartupReport("", "code", "");
    counter.StartupReport("", "", "");
    ASSERT_TRUE(counter.Finish(5000));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].fields, fields("APP", "", "true"));
    EXPECT_EQ(requests[1].fields, fields("APP", "code", "true"));
    EXPECT_EQ(requests[2].fields, fields("APP", "code", "true"));
}

TEST(UserCounter, NoEndpointMeansNoConnectionAtAll)
{
    // Any connection curl tried would go through this proxy.
    HttpRecorder proxy;
    qputenv("http_proxy", proxy.baseUrl().toUtf8());
    qputenv("HTTP_PROXY", proxy.baseUrl().toUtf8());
    {
        TUserCounter counter;
        counter.StartupReport("TARVELCN", "m", "");
        counter.ClosingReport();
        QElapsedTimer t;
        t.start();
        EXPECT_TRUE(counter.Finish(5000));
        EXPECT_LT(t.elapsed(), 100);
    }
    // The proxy works: a configured endpoint does reach it.
    {
        TUserCounter counter;
        counter.StartupReport("TARVELCN", "m", "http://counter.invalid/appCounter/counter.php");
        counter.Finish(5000);
    }
    qunsetenv("http_proxy");
    qunsetenv("HTTP_PROXY");
    ASSERT_EQ(proxy.connections(), 1);
    EXPECT_EQ(proxy.requests()[0].target, "http://counter.invalid/appCounter/counter.php");
}

TEST(UserCounter, AServerThatNeverAnswersCostsAtMostTheTimeOut)
{
    HttpRecorder silent(false);
    TUserCounter counter;
    counter.totalTimeoutMs = 800;
    std::atomic<int> told{0};
    counter.OnReportFailed = [&](const QString& message) {
        EXPECT_TRUE(message.contains("appCounter/counter.php"));
        ++told;
    };
    QElapsedTimer t;
    t.start();
    counter.StartupReport("TARVELCN", "m", counterUrlFor(silent.baseUrl()));
    EXPECT_LT(t.elapsed(), 200) << "the report must not block its caller";
    ASSERT_TRUE(silent.waitForRequests(1, 3000));
    // The start-up report times out on its own; the closing report after it
    // is given up when exit stops waiting.
    while (told.load() == 0 && t.elapsed() < 5000)
        QThread::msleep(10);
    EXPECT_EQ(told.load(), 1);
    EXPECT_GE(t.elapsed(), 700);
    counter.ClosingReport();
    t.restart();
    EXPECT_FALSE(counter.Finish(300));
    EXPECT_LT(t.elapsed(), 1500);
    EXPECT_GE(counter.failures(), 1);
}

TEST(UserCounter, RefusedConnectionsAndErrorStatusesAreFailuresNothingMore)
{
    TZenIdhttp http;
    http.connectTimeoutMs = 500;
    http.AddParameter("appid", "x");
    QString error;
    EXPECT_FALSE(http.Post("http://127.0.0.1:1/appCounter/counter.php", &error));
    EXPECT_FALSE(error.isEmpty());
    // Only web addresses are followed.
    QTemporaryDir tmp;
    http.AddParameter("appid", "x");
    EXPECT_FALSE(http.Post("file://" + tmp.path() + "/x", &error));
    EXPECT_FALSE(QFile::exists(tmp.path() + "/x"));
    // The list keeps the last value of each name.
    EXPECT_EQ(http.Parameters().value("APPID"), "x");
}

TEST(UserCounter, EndpointComesFromTheEnvironmentOrTheSetting)
{
    QTemporaryDir tmp;
    const QString ini = tmp.path() + "/counter.ini";
    EXPECT_EQ(configuredEndpoint(ini), "");
    QFile f(ini);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("endpoint=http://stats.example:8080/\n");
    f.close();
    EXPECT_EQ(configuredEndpoint(ini), "http://stats.example:8080/");
    qputenv("QUILLON_COUNTER_URL", "http://env.example/base");
    EXPECT_EQ(configuredEndpoint(ini), "http://env.example/base");
    qunsetenv("QUILLON_COUNTER_URL");

    EXPECT_EQ(counterUrlFor("http://h:1/"), "http://h:1/appCounter/counter.php");
    EXPECT_EQ(counterUrlFor("http://h:1/x"), "http://h:1/x/appCounter/counter.php");
    EXPECT_EQ(counterUrlFor("http://h/appCounter/counter.php"), "http://h/appCounter/counter.php");
    EXPECT_EQ(counterUrlFor("  "), "");
}

TEST(UserCounter, MachineCodeIsStableAndHidesTheMachineId)
{
    const QString code = machineCode();
    EXPECT_EQ(code, machineCode());
    EXPECT_EQ(code.size(), 32);
    EXPECT_TRUE(QByteArray::fromHex(code.toLatin1()).toHex() == code.toLatin1());
    const QByteArray id = QSysInfo::machineUniqueId();
    if (!id.isEmpty()) {
        EXPECT_FALSE(code.contains(QString::fromLatin1(id.left(8)), Qt::CaseInsensitive));
    }
}
