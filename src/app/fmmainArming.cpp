// Arming and disarming rows, and assigning trigger keys. A row's column 2
// cell, the key's value in the enabled-key list and the key's hot key always
// change together here.
#include "app/fmmain.h"

#include "app/RunTrace.h"
#include "app/ZenStringGrid.h"
#include "script/ScriptThrd.h"

namespace quillon::app {

namespace {

const QString kTrue = QStringLiteral("true");
const QString kFalse = QStringLiteral("false");

}  // namespace

bool Tfrmmain::rowComplete(int row) const
{
    return !m_grid->cellText(0, row).trimmed().isEmpty() && !m_grid->cellText(1, row).trimmed().isEmpty();
}

void Tfrmmain::armKey(const QString& name)
{
    m_enabledKeys->setValue(name, kTrue);
    m_hotKeys->Add(0, m_keybd.KeyToCode(name), name);
    if (m_trace)
        m_trace->write(QStringLiteral("armed ") + name);
}

void Tfrmmain::disarmKey(const QString& name)
{
    m_enabledKeys->setValue(name, kFalse);
    m_hotKeys->Remove(name);
    if (m_trace && !name.isEmpty())
        m_trace->write(QStringLiteral("disarmed ") + name);
}

void Tfrmmain::disarmRow(int row, bool stopMainRun)
{
    const QString name = m_grid->cellText(0, row);
    m_grid->setCellText(2, row, kFalse);
    disarmKey(name);
    if (stopMainRun)
        stopRun(name);
}

void Tfrmmain::toggleCompleteRows(bool resetCounters)
{
    for (int row = 1; row < kTriggerRows; ++row) {
        if (!rowComplete(row))
            continue;
        const QString name = m_grid->cellText(0, row);
        if (m_grid->cellText(2, row) == kTrue) {
            m_grid->setCellText(2, row, kFalse);
            disarmKey(name);
            if (resetCounters)
                m_repeatCounts.setValue(name, QStringLiteral("0"));
        } else {
            m_grid->setCellText(2, row, kTrue);
            armKey(name);
        }
    }
}

void Tfrmmain::ZenStringGrid1KeyDown(int Key)
{
    if (m_grid->currentColumn() != 0 || m_grid->currentRow() < 1 || leaving())
        return;
    const HandlerScope scope(*this);
    const int row = m_grid->currentRow();
    const QString old = m_grid->SelectCell();
    m_grid->setCellText(2, row, kFalse);
    disarmKey(old);
    const QString name = m_keybd.CodeToName(Key);
    for (int r = 1; r < kTriggerRows; ++r) {
        if (m_grid->cellText(0, r) != name)
            continue;
        m_grid->setCellText(2, r, kFalse);
        disarmKey(name);
        // The stop may let other handlers run; the row is cleared after it.
        stopRun(name);
        m_grid->setCellText(0, r, QString());
    }
    m_grid->setCellText(0, row, name);
}

void Tfrmmain::ZenStringGrid1Click()
{
    if (m_grid->currentColumn() != 2)
        return;
    const int row = m_grid->currentRow();
    if (row < 1 || leaving())
        return;
    const HandlerScope scope(*this);
    const QString name = m_grid->cellText(0, row);
    if (m_grid->cellText(2, row) != kTrue) {
        disarmKey(name);
        stopRun(name);
        return;
    }
    if (!rowComplete(row)) {
        m_grid->setCellText(2, row, kFalse);
        message(QString::fromUtf8(kNotArmableMessage));
        return;
    }
    armKey(name);
    if (script::tscriptthrd* run = runningScript(name))
        run->ReloadOnStart = true;
}

void Tfrmmain::ZenStringGrid1FixedCellMouseDown(int ACol, int ARow)
{
    if (ARow != 0 || ACol != 2)
        return;
    toggleCompleteRows(false);
}

}  // namespace quillon::app
