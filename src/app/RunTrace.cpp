#include "app/RunTrace.h"

#include <QByteArray>
#include <QFile>

#include <ctime>

namespace quillon::app {

std::shared_ptr<RunTrace> RunTrace::fromEnvironment()
{
    const QString name = qEnvironmentVariable(kRunTraceVariable);
    if (name.isEmpty())
        return nullptr;
    std::FILE* file = std::fopen(QFile::encodeName(name).constData(), "ae");
    if (!file)
        return nullptr;
    return std::make_shared<RunTrace>(file);
}

RunTrace::RunTrace(std::FILE* file) : m_file(file) {}

RunTrace::~RunTrace()
{
    std::fclose(m_file);
}

long long RunTrace::nowNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

void RunTrace::write(const QString& text)
{
    // Stamped before the lock: a line waiting for another writer keeps the
    // time its event happened.
    const QByteArray line = QByteArray::number(nowNs()) + ' ' + text.toUtf8() + '\n';
    std::lock_guard lock(m_mutex);
    std::fwrite(line.constData(), 1, std::size_t(line.size()), m_file);
    std::fflush(m_file);
}

}  // namespace quillon::app
