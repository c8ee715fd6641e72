#include "ZenToolBarFrmConfig.h"

#include "ZenToolBar.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quillon::desktop {

TZenToolBarFrmConfig::TZenToolBarFrmConfig(TZenToolBar* toolBar)
    : QDialog(nullptr, Qt::Dialog | Qt::WindowStaysOnTopHint), m_toolBar(toolBar),
      m_grid(new QTableWidget(0, 2, this))
{
    setObjectName(QStringLiteral("ZenToolBarFrmConfig"));
    setWindowTitle(QStringLiteral("工具栏"));
    resize(278, 302);
    m_grid->setHorizontalHeaderLabels({QStringLiteral("隐藏"), QStringLiteral("按钮")});
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(19);
    m_grid->setColumnWidth(0, 36);
    m_grid->setColumnWidth(1, 223);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_grid);
    connect(m_grid, &QTableWidget::itemChanged, this, &TZenToolBarFrmConfig::itemChanged);
}

void TZenToolBarFrmConfig::fill()
{
    m_filling = true;
    const auto& controls = m_toolBar->controls();
    m_grid->setRowCount(int(controls.size()));
    for (int row = 0; row < int(controls.size()); ++row) {
        auto* hidden = new QTableWidgetItem;
        hidden->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        hidden->setCheckState(controls[row]->isHidden() ? Qt::Checked : Qt::Unchecked);
        m_grid->setItem(row, 0, hidden);
        auto* caption = new QTableWidgetItem(controls[row]->text());
        caption->setToolTip(controls[row]->toolTip());
        m_grid->setItem(row, 1, caption);
    }
    m_filling = false;
}

void TZenToolBarFrmConfig::showEvent(QShowEvent* event)
{
    fill();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TZenToolBarFrmConfig::itemChanged(QTableWidgetItem* item)
{
    if (m_filling)
        return;
    if (item->column() == 0)
        m_toolBar->setControlHidden(item->row(), item->checkState() == Qt::Checked);
    else
        m_toolBar->setControlCaption(item->row(), item->text());
}

void TZenToolBarFrmConfig::closeEvent(QCloseEvent* event)
{
    if (!m_toolBar->ConfigFile.isEmpty())
        m_toolBar->SaveConfig();
    QDialog::closeEvent(event);
}

void TZenToolBarFrmConfig::done(int result)
{
    // Escape closes a dialog through done(), not through a close event.
    if (!m_toolBar->ConfigFile.isEmpty())
        m_toolBar->SaveConfig();
    QDialog::done(result);
}

}  // namespace quillon::desktop
