#include "app/ZenStringGrid.h"

#include "app/QtKeyCodes.h"
#include "app/ZenStringGridPaint.h"
#include "base/ZeMath.h"

#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QToolTip>

namespace quillon::app {

namespace {

constexpr int kResizeGrip = 4;  // pixels either side of a column border

bool isTrue(const QString& text)
{
    return text.toLower() == QLatin1String("true");
}

}  // namespace

bool TZenStringGrid::ColumnList::contains(int col) const
{
    return base::indexOfInt(col, cols) >= 0;
}

TZenStringGrid::TZenStringGrid(QWidget* parent)
    : QTableWidget(parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(8);
    setShowGrid(true);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setWordWrap(false);
    setMouseTracking(true);
    setItemDelegate(makeZenGridDelegate(this));

    m_ownCombo = new QComboBox(viewport());
    setCombo(m_ownCombo);
    m_button = new QPushButton(QStringLiteral(".."), viewport());
    m_button->hide();
    m_button->installEventFilter(this);
    connect(m_button, &QPushButton::clicked, this, &TZenStringGrid::buttonClicked);
}

bool TZenStringGrid::setList(ColumnList& list, const QString& text, QString* error)
{
    std::vector<int> cols;
    for (const QString& piece : base::split(text, QStringLiteral(","))) {
        bool ok = false;
        const int col = piece.trimmed().toInt(&ok, 10);
        if (!ok) {
            if (error)
                *error = QStringLiteral("'%1' is not a valid integer value").arg(piece);
            return false;
        }
        cols.push_back(col);
    }
    list.text = text;
    list.cols = std::move(cols);
    viewport()->update();
    return true;
}

bool TZenStringGrid::setCheckCols(const QString& text, QString* error) { return setList(m_check, text, error); }
bool TZenStringGrid::setComboCols(const QString& text, QString* error) { return setList(m_combo, text, error); }
bool TZenStringGrid::setEditCols(const QString& text, QString* error) { return setList(m_edit, text, error); }
bool TZenStringGrid::setCenterCols(const QString& text, QString* error) { return setList(m_center, text, error); }
bool TZenStringGrid::setBtnCols(const QString& text, QString* error) { return setList(m_btn, text, error); }
bool TZenStringGrid::setHintCols(const QString& text, QString* error) { return setList(m_hint, text, error); }

void TZenStringGrid::setCombo(QComboBox* combo)
{
    if (!combo || combo == m_comboBox)
        return;
    if (m_comboBox) {
        disconnect(m_comboBox, nullptr, this, nullptr);
        m_comboBox->removeEventFilter(this);
        m_comboBox->hide();
    }
    m_comboBox = combo;
    combo->setParent(viewport());
    combo->hide();
    combo->installEventFilter(this);
    connect(combo, &QComboBox::currentTextChanged, this, &TZenStringGrid::comboTextChanged);
}

QString TZenStringGrid::cellText(int col, int row) const
{
    const QTableWidgetItem* cell = item(row, col);
    return cell ? cell->text() : QString();
}

void TZenStringGrid::setCellText(int col, int row, const QString& text)
{
    if (row < 0 || col < 0 || row >= rowCount() || col >= columnCount())
        return;
    if (QTableWidgetItem* cell = item(row, col))
        cell->setText(text);
    else
        setItem(row, col, new QTableWidgetItem(text));
}

void TZenStringGrid::setRowText(int row, const QString& text)
{
    static const QRegularExpression lineEnd(QStringLiteral("\r\n|\r|\n"));
    QStringList pieces = text.split(lineEnd);
    // A text that ends in a line end has no piece after it.
    if (!pieces.isEmpty() && pieces.last().isEmpty())
        pieces.removeLast();
    for (int col = 0; col < columnCount(); ++col)
        setCellText(col, row, pieces.value(col));
}

QString TZenStringGrid::rowText(int row) const
{
    QString text;
    for (int col = 0; col < columnCount(); ++col)
        text += cellText(col, row) + QStringLiteral("\r\n");
    return text;
}

QString TZenStringGrid::SelectCell() const
{
    return cellText(currentColumn(), currentRow());
}

void TZenStringGrid::setSelectCell(const QString& text)
{
    setCellText(currentColumn(), currentRow(), text);
}

void TZenStringGrid::DeleteRow(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    if (rowCount() < 3) {
        setRowText(row, QString());
        return;
    }
    const bool wasLast = row == rowCount() - 1;
    for (int r = row; r + 1 < rowCount(); ++r) {
        for (int col = 0; col < columnCount(); ++col)
            setCellText(col, r, cellText(col, r + 1));
    }
    setRowText(rowCount() - 1, QString());
    removeRow(rowCount() - 1);
    if (wasLast)
        setCurrentCell(rowCount() - 1, std::max(0, currentColumn()));
}

void TZenStringGrid::setRunCount(int row, int count)
{
    if (row < 0)
        return;
    if (std::size_t(row) >= m_runCounts.size()) {
        if (count == 0)
            return;
        m_runCounts.resize(std::size_t(row) + 1, 0);
    }
    if (m_runCounts[std::size_t(row)] == count)
        return;
    m_runCounts[std::size_t(row)] = count;
    if (model()->rowCount() > row)
        viewport()->update(visualRect(model()->index(row, 0)));
}

int TZenStringGrid::runCount(int row) const
{
    return row >= 0 && std::size_t(row) < m_runCounts.size() ? m_runCounts[std::size_t(row)] : 0;
}

void TZenStringGrid::hideEditors()
{
    m_comboBox->hide();
    m_button->hide();
}

void TZenStringGrid::setEditing(bool on)
{
    setEditTriggers(on ? QAbstractItemView::AnyKeyPressed | QAbstractItemView::EditKeyPressed
                       : QAbstractItemView::NoEditTriggers);
}

void TZenStringGrid::mousePressEvent(QMouseEvent* event)
{
    hideEditors();
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (index.isValid() && index.row() < FixedRows()) {
        // The header row is never current; its borders resize columns.
        setFocus(Qt::MouseFocusReason);
        resizeColumnAt(pos.x());
        emit OnMouseDown(event->button(), pos.x(), pos.y());
        emit OnFixedCellMouseDown(index.column(), index.row(), event->button());
        return;
    }
    // Only the left button moves the current cell and starts a selection.
    if (event->button() == Qt::LeftButton) {
        QTableWidget::mousePressEvent(event);
        m_selecting = index.isValid();
    } else {
        m_selecting = false;
        setFocus(Qt::MouseFocusReason);
    }
    emit OnMouseDown(event->button(), pos.x(), pos.y());
    const bool toggled = actOnPressedCell(pos);
    // A toggle that no release of a selecting press will report.
    if (toggled && !m_selecting)
        emit OnClick();
}

void TZenStringGrid::mouseReleaseEvent(QMouseEvent* event)
{
    m_resizingCol = -1;
    QTableWidget::mouseReleaseEvent(event);
    if (m_selecting && event->button() == Qt::LeftButton) {
        m_selecting = false;
        emit OnClick();
    }
}

void TZenStringGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    hideEditors();
    if (index.isValid() && index.row() < FixedRows()) {
        emit OnFixedCellMouseDown(index.column(), index.row(), event->button());
        return;
    }
    if (index.isValid() && event->button() == Qt::LeftButton)
        emit OnDblClick();
    emit OnMouseDown(event->button(), pos.x(), pos.y());
    if (actOnPressedCell(pos))
        emit OnClick();
}

bool TZenStringGrid::actOnPressedCell(const QPoint& pos)
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid() || index.row() != currentRow() || index.column() != currentColumn())
        return false;
    const int col = index.column();
    const int row = index.row();
    setEditing(false);
    if (isCheckCol(col)) {
        setCellText(col, row, isTrue(cellText(col, row)) ? QString() : QStringLiteral("true"));
        setEditing(isEditCol(col));
        return true;
    }
    if (isComboCol(col)) {
        showCombo(col, row);
        setEditing(isEditCol(col));
        return false;
    }
    if (isBtnCol(col)) {
        showButton(col, row);
        setEditing(isEditCol(col));
    }
    return false;
}

void TZenStringGrid::showCombo(int col, int row)
{
    const QRect rect = visualRect(model()->index(row, col));
    m_comboBox->setGeometry(rect);
    {
        // Placing the list is not a change of the cell.
        const QSignalBlocker block(m_comboBox);
        m_comboBox->setCurrentIndex(m_comboBox->count() > 0 ? 0 : -1);
        const int match = m_comboBox->findText(cellText(col, row), Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (match >= 0)
            m_comboBox->setCurrentIndex(match);
    }
    m_comboBox->show();
    m_comboBox->raise();
}

void TZenStringGrid::showButton(int col, int row)
{
    const QRect rect = visualRect(model()->index(row, col));
    const int side = rect.height();
    m_button->setGeometry(rect.right() + 1 - side, rect.top(), side, side);
    m_button->setText(QStringLiteral(".."));
    m_button->show();
    m_button->raise();
}

void TZenStringGrid::comboTextChanged(const QString& text)
{
    if (m_comboBox->isVisible())
        setSelectCell(text);
}

void TZenStringGrid::buttonClicked()
{
    if (!OnCellBtnClick)
        return;
    const int col = currentColumn();
    const int row = currentRow();
    QString value = cellText(col, row);
    OnCellBtnClick(this, col, row, value);
    setCellText(col, row, value);
}

bool TZenStringGrid::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusOut) {
        // The list's own pop-up takes the focus while it is open.
        if (!comboPopupOpen()) {
            if (watched == m_comboBox && m_comboBox->isVisible()) {
                setSelectCell(m_comboBox->currentText());
                m_comboBox->hide();
            } else if (watched == m_button) {
                m_button->hide();
            }
        }
    }
    return QTableWidget::eventFilter(watched, event);
}

bool TZenStringGrid::comboPopupOpen() const
{
    // Seen by the list's view being shown: the focus event's reason is not
    // enough, as on X11 the pop-up window taking the focus reads as a change
    // of the active window.
    return m_comboBox->view() && m_comboBox->view()->isVisible();
}

void TZenStringGrid::focusOutEvent(QFocusEvent* event)
{
    QWidget* next = QApplication::focusWidget();
    if (!comboPopupOpen() && !(next && isAncestorOf(next)))
        m_comboBox->hide();
    QTableWidget::focusOutEvent(event);
}

void TZenStringGrid::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (m_resizingCol >= 0) {
        const int left = columnViewportPosition(m_resizingCol);
        setColumnWidth(m_resizingCol, std::max(8, pos.x() - left));
        return;
    }
    updateHint(pos, event->globalPosition().toPoint());
    QTableWidget::mouseMoveEvent(event);
}

void TZenStringGrid::updateHint(const QPoint& pos, const QPoint& globalPos)
{
    const QModelIndex index = indexAt(pos);
    if (!index.isValid() || index.row() < FixedRows() || !isHintCol(index.column())) {
        setToolTip(QString());
        QToolTip::hideText();
        return;
    }
    const QString text = cellText(index.column(), index.row());
    if (text.trimmed().isEmpty()) {
        setToolTip(HintPreStr);
        return;
    }
    const QString hint = HintPreStr + QStringLiteral("\r\n") + text + QStringLiteral("\r\n") + HintAppendStr;
    setToolTip(hint);
    QToolTip::showText(globalPos, hint, this);
}

void TZenStringGrid::resizeColumnAt(int x)
{
    for (int col = 0; col < columnCount(); ++col) {
        const int right = columnViewportPosition(col) + columnWidth(col);
        if (std::abs(x - right) <= kResizeGrip) {
            m_resizingCol = col;
            return;
        }
    }
}

void TZenStringGrid::keyPressEvent(QKeyEvent* event)
{
    emit OnKeyDown(virtualKeyOf(*event));
    if (AutoIncDecRow && autoIncDecKey(event->key()))
        return;
    QTableWidget::keyPressEvent(event);
}

bool TZenStringGrid::autoIncDecKey(int key)
{
    const int last = rowCount() - 1;
    if (key == Qt::Key_Down && currentRow() == last && !rowText(last).trimmed().isEmpty()) {
        setRowCount(rowCount() + 1);
        return false;  // the grid then moves down into the new row
    }
    if (key == Qt::Key_Up && rowCount() >= 4 && rowText(last).trimmed().isEmpty()) {
        setRowCount(rowCount() - 1);
        return false;
    }
    if (key == Qt::Key_Delete) {
        DeleteRow(currentRow());
        return true;
    }
    return false;
}

QModelIndex TZenStringGrid::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    QModelIndex next = QTableWidget::moveCursor(action, modifiers);
    if (next.isValid() && next.row() < FixedRows() && rowCount() > FixedRows())
        next = model()->index(FixedRows(), next.column());
    return next;
}

}  // namespace quillon::app
