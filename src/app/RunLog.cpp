#include "app/RunLog.h"

#include <QMetaObject>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSplitter>
#include <QToolButton>
#include <QVBoxLayout>

namespace quillon::app {

QString formatRunLogEntry(const RunLogEntry& entry)
{
    const QString when = entry.time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    // A notice about a trigger key rather than a script (a refused grab).
    if (entry.line < 0 && entry.script.isEmpty())
        return QStringLiteral("%1  %2  %3").arg(when, entry.key, entry.description);
    if (entry.line < 0)
        return QStringLiteral("%1  %2  %3  脚本载入失败 (%4): %5")
            .arg(when, entry.key, entry.script)
            .arg(entry.number)
            .arg(entry.description);
    return QStringLiteral("%1  %2  %3  行 %4 列 %5  错误 %6: %7")
        .arg(when, entry.key, entry.script)
        .arg(entry.line)
        .arg(entry.column)
        .arg(entry.number)
        .arg(entry.description);
}

RunLog::RunLog(QObject* parent, int capacity)
    : QObject(parent), m_capacity(std::max(1, capacity))
{
}

void RunLog::add(RunLogEntry entry)
{
    if (!entry.time.isValid())
        entry.time = QDateTime::currentDateTime();
    {
        std::lock_guard lock(m_mutex);
        entry.serial = ++m_serial;
        m_entries.push_back(std::move(entry));
        while (int(m_entries.size()) > m_capacity)
            m_entries.pop_front();
    }
    notify();
}

void RunLog::notify()
{
    // One notification on its way is enough: the window reads every entry
    // it has not shown yet when it gets there.
    if (m_notifyPending.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_notifyPending = false;
            emit added();
        },
        Qt::QueuedConnection);
}

std::vector<RunLogEntry> RunLog::entriesAfter(std::uint64_t serial) const
{
    std::lock_guard lock(m_mutex);
    std::vector<RunLogEntry> result;
    for (const RunLogEntry& entry : m_entries) {
        if (entry.serial > serial)
            result.push_back(entry);
    }
    return result;
}

int RunLog::size() const
{
    std::lock_guard lock(m_mutex);
    return int(m_entries.size());
}

std::uint64_t RunLog::total() const
{
    std::lock_guard lock(m_mutex);
    return m_serial;
}

RunLogView::RunLogView(RunLog& log, QWidget* parent)
    : QWidget(parent), m_log(log), m_bar(new QToolButton(this)), m_text(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("RunLogView"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_bar->setCheckable(true);
    m_bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    m_bar->setAutoRaise(true);
    m_bar->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_text->setReadOnly(true);
    m_text->setMaximumBlockCount(RunLog::kCapacity);
    m_text->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_text->setVisible(false);
    layout->addWidget(m_bar);
    layout->addWidget(m_text);
    connect(m_bar, &QToolButton::toggled, this, &RunLogView::setExpanded);
    connect(&m_log, &RunLog::added, this, &RunLogView::refresh);
    refresh();
}

bool RunLogView::expanded() const
{
    return m_text->isVisibleTo(this);
}

void RunLogView::setExpanded(bool on)
{
    m_text->setVisible(on);
    if (m_bar->isChecked() != on)
        m_bar->setChecked(on);
    updateBar();
    // Below the table in a splitter, which would otherwise keep the log at
    // the bar's height: expanded it takes a third, collapsed only the bar.
    if (auto* splitter = qobject_cast<QSplitter*>(parentWidget()); splitter && splitter->count() == 2) {
        QList<int> sizes = splitter->sizes();
        const int total = sizes[0] + sizes[1];
        const int bar = m_bar->sizeHint().height();
        const int mine = on ? std::max(total / 3, bar + 60) : bar;
        splitter->setSizes({std::max(0, total - mine), mine});
    }
}

QString RunLogView::text() const
{
    return m_text->toPlainText();
}

void RunLogView::refresh()
{
    const std::vector<RunLogEntry> fresh = m_log.entriesAfter(m_shown);
    for (const RunLogEntry& entry : fresh) {
        m_text->appendPlainText(formatRunLogEntry(entry));
        m_shown = entry.serial;
    }
    if (!fresh.empty())
        m_text->verticalScrollBar()->setValue(m_text->verticalScrollBar()->maximum());
    updateBar();
}

void RunLogView::updateBar()
{
    m_bar->setArrowType(expanded() ? Qt::DownArrow : Qt::RightArrow);
    m_bar->setText(QStringLiteral("运行日志 (%1)").arg(m_log.total()));
}

}  // namespace quillon::app
