#include "app/ZenStringGridPaint.h"

#include "app/ZenStringGrid.h"

#include <QApplication>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyledItemDelegate>

namespace quillon::app {

namespace {

class ZenGridDelegate : public QStyledItemDelegate {
public:
    explicit ZenGridDelegate(TZenStringGrid* grid)
        : QStyledItemDelegate(grid), m_grid(grid)
    {
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const int row = index.row();
        const int col = index.column();
        const QString text = index.data(Qt::DisplayRole).toString();
        const QRect cell = option.rect;
        const QPalette& palette = m_grid->palette();
        painter->save();
        painter->setFont(m_grid->font());
        if (row < m_grid->FixedRows()) {
            painter->fillRect(cell, palette.color(QPalette::Button));
            painter->setPen(palette.color(QPalette::ButtonText));
            painter->drawText(cell, Qt::AlignCenter | Qt::TextSingleLine, text);
            painter->restore();
            return;
        }
        const bool current = row == m_grid->currentRow() && col == m_grid->currentColumn();
        QColor background = row % 2 == 0 ? QColor(QRgb(kAlternateRowRgb)) : palette.color(QPalette::Base);
        QColor foreground = palette.color(QPalette::Text);
        if (current) {
            background = palette.color(QPalette::Highlight);
            foreground = palette.color(QPalette::HighlightedText);
        }
        const int runs = col == 0 ? m_grid->runCount(row) : 0;
        if (runs > 0)
            background = QColor(QRgb(kBusyRowRgb));
        painter->fillRect(cell, background);
        if (m_grid->isCheckCol(col)) {
            drawCheck(painter, cell, text.toLower() == QLatin1String("true"));
            painter->restore();
            return;
        }
        painter->setPen(foreground);
        const Qt::Alignment horizontal = m_grid->isCenterCol(col) ? Qt::AlignHCenter : Qt::AlignLeft;
        painter->drawText(cell.adjusted(2, 2, 0, 0), horizontal | Qt::AlignVCenter | Qt::TextSingleLine, text);
        if (col == 0) {
            // Drawn again over the whole cell, as the table has always shown it.
            const Qt::Alignment again = m_grid->isCenterCol(0) ? Qt::AlignHCenter : Qt::AlignRight;
            painter->drawText(cell, again | Qt::AlignVCenter | Qt::TextSingleLine, text);
        }
        if (runs > 0)
            drawRunCount(painter, cell, runs);
        painter->restore();
    }

private:
    void drawCheck(QPainter* painter, const QRect& cell, bool checked) const
    {
        QStyleOptionButton box;
        QStyle* style = m_grid->style();
        const int w = style->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, m_grid);
        const int h = style->pixelMetric(QStyle::PM_IndicatorHeight, nullptr, m_grid);
        box.rect = QRect(cell.center().x() - w / 2, cell.center().y() - h / 2, w, h);
        box.state = QStyle::State_Enabled | (checked ? QStyle::State_On : QStyle::State_Off);
        box.palette = m_grid->palette();
        style->drawPrimitive(QStyle::PE_IndicatorCheckBox, &box, painter, m_grid);
    }

    // The number of busy runs in the cell's right corner, so a row whose key
    // runs in repeat mode shows how many of its runs are going.
    void drawRunCount(QPainter* painter, const QRect& cell, int runs) const
    {
        QFont small = m_grid->font();
        small.setPixelSize(std::max(8, small.pixelSize() > 0 ? small.pixelSize() * 2 / 3 : 10));
        painter->setFont(small);
        painter->setPen(Qt::black);
        painter->drawText(cell.adjusted(0, 0, -3, -1), Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine,
                          QStringLiteral("\u25B6%1").arg(runs));
    }

    TZenStringGrid* m_grid;
};

}  // namespace

QAbstractItemDelegate* makeZenGridDelegate(TZenStringGrid* grid)
{
    return new ZenGridDelegate(grid);
}

}  // namespace quillon::app
