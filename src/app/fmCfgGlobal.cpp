#include "app/fmCfgGlobal.h"

#include "app/GlobalStopKey.h"
#include "app/QtKeyCodes.h"
#include "input/ZenKeybd.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

namespace quillon::app {

namespace {

const input::TZenKeybd& keyNames()
{
    static const input::TZenKeybd table;
    return table;
}

}  // namespace

TfrmCfgGlobal::TfrmCfgGlobal(QTableWidget* triggerTable, QWidget* parent)
    : QDialog(parent),
      m_triggerTable(triggerTable),
      m_lblStopKey(new QLabel(QStringLiteral("全局停止键"), this)),
      m_edtStopKey(new QLineEdit(QStringLiteral("F11"), this)),
      m_btnOK(new QPushButton(QStringLiteral("OK"), this))
{
    setObjectName(QStringLiteral("frmCfgGlobal"));
    setWindowTitle(QStringLiteral("全局设置"));
    QFont font = QApplication::font();
    font.setPixelSize(11);
    setFont(font);
    resize(349, 172);

    m_lblStopKey->setObjectName(QStringLiteral("lblStopKey"));
    m_lblStopKey->setGeometry(16, 40, 89, 13);
    m_edtStopKey->setObjectName(QStringLiteral("edtStopKey"));
    m_edtStopKey->setGeometry(95, 37, 178, 21);
    m_edtStopKey->setReadOnly(true);
    m_edtStopKey->installEventFilter(this);
    m_btnOK->setObjectName(QStringLiteral("btnOK"));
    m_btnOK->setGeometry(128, 80, 75, 25);
    m_btnOK->setDefault(true);
    connect(m_btnOK, &QPushButton::clicked, this, &QDialog::accept);
    // OK, the close box and Escape all end in finished().
    connect(this, &QDialog::finished, this, &TfrmCfgGlobal::FormClose);
}

QStringList TfrmCfgGlobal::HeaderTexts(const QString& keyName)
{
    return {QStringLiteral("触发开关键"), QStringLiteral("脚本"),
            QStringLiteral("启用(") + keyName + QStringLiteral("全)"), QStringLiteral("模式"),
            QStringLiteral("奇匣包配置")};
}

void TfrmCfgGlobal::FormCreate()
{
    if (!m_created) {
        m_status.Register(m_edtStopKey, 0);
        m_created = true;
    }
    m_status.Load(m_stateFileName);
    publish();
}

void TfrmCfgGlobal::FormClose()
{
    m_status.Save();
    publish();
}

// Every key pressed in the field names the stop key, Tab, Enter and Escape
// included: any of them may be the key a user wants, so none of them moves
// the focus or closes the window from there.
bool TfrmCfgGlobal::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_edtStopKey
        && (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (event->type() == QEvent::ShortcutOverride) {
            key->accept();
            return false;
        }
        m_edtStopKey->setText(keyNames().CodeToName(virtualKeyOf(*key)));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmCfgGlobal::publish()
{
    const QString name = m_edtStopKey->text();
    if (m_triggerTable) {
        if (m_triggerTable->rowCount() < 1)
            m_triggerTable->setRowCount(1);
        const QStringList texts = HeaderTexts(name);
        for (int c = 0; c < m_triggerTable->columnCount(); ++c) {
            const QString text = texts.value(c);
            if (QTableWidgetItem* item = m_triggerTable->item(0, c))
                item->setText(text);
            else
                m_triggerTable->setItem(0, c, new QTableWidgetItem(text));
        }
    }
    GlobalStopKey.store(keyNames().KeyToCode(name));
}

}  // namespace quillon::app
