// TZenStringGrid: the text grid of the trigger table. It is a QTableWidget
// whose row 0 is an ordinary row painted and handled as the fixed header row
// (Qt's own header views are hidden), so rowCount() and item(r, c)->text()
// are exactly the table's rows and cells for anyone who reads or writes it
// through the plain QTableWidget interface.
//
// Columns get their kind from comma-separated column lists: check boxes
// ("true" in any letter case shows checked), a shared drop-down list, a
// shared ".." button, in-place editing, centred text and hints. A mouse press
// on the current cell toggles a check cell, or places the drop-down list or
// the button over it. Alternate rows are tinted RGB(192, 224, 240).
//
// Every toggle of a check cell is followed by exactly one OnClick, also when
// the toggle came from a right-button press or from the second press of a
// double click: the window keeps its armed keys in step with that column in
// its click handler, and a toggle it never heard of would leave them apart.
#pragma once

#include <QString>
#include <QTableWidget>

#include <functional>
#include <vector>

class QComboBox;
class QPushButton;

namespace quillon::app {

class TZenStringGrid : public QTableWidget {
    Q_OBJECT
public:
    explicit TZenStringGrid(QWidget* parent = nullptr);

    // The column lists. A setter parses `text` (split at ","; every piece a
    // decimal integer, blanks around it allowed) and repaints. A piece that
    // is not a number leaves the list unchanged and returns false with the
    // reason in *error.
    QString CheckCols() const { return m_check.text; }
    bool setCheckCols(const QString& text, QString* error = nullptr);
    QString ComboCols() const { return m_combo.text; }
    bool setComboCols(const QString& text, QString* error = nullptr);
    QString EditCols() const { return m_edit.text; }
    bool setEditCols(const QString& text, QString* error = nullptr);
    QString CenterCols() const { return m_center.text; }
    bool setCenterCols(const QString& text, QString* error = nullptr);
    QString BtnCols() const { return m_btn.text; }
    bool setBtnCols(const QString& text, QString* error = nullptr);
    QString HintCols() const { return m_hint.text; }
    bool setHintCols(const QString& text, QString* error = nullptr);

    bool isCheckCol(int col) const { return m_check.contains(col); }
    bool isComboCol(int col) const { return m_combo.contains(col); }
    bool isEditCol(int col) const { return m_edit.contains(col); }
    bool isCenterCol(int col) const { return m_center.contains(col); }
    bool isBtnCol(int col) const { return m_btn.contains(col); }
    bool isHintCol(int col) const { return m_hint.contains(col); }

    QString HintPreStr;
    QString HintAppendStr;
    bool AutoIncDecRow = false;
    // Rows painted and handled as the fixed header (1 for the trigger table).
    int FixedRows() const { return 1; }

    // Raised by the ".." button with the current column and row; the text is
    // the current cell's, and what the handler leaves in it is written back.
    std::function<void(TZenStringGrid* sender, int col, int row, QString& value)> OnCellBtnClick;

    // The shared drop-down list. Assigning another list re-parents it to the
    // grid, hides it and takes over its change and focus notifications; the
    // grid keeps ownership of the list it made itself.
    QComboBox* Combo() const { return m_comboBox; }
    void setCombo(QComboBox* combo);
    QPushButton* CellButton() const { return m_button; }

    // The current cell's text; writing sets it (creating the item).
    QString SelectCell() const;
    void setSelectCell(const QString& text);

    // Cell text by (column, row); empty for a missing item or a cell outside.
    QString cellText(int col, int row) const;
    // Writes a cell, creating its item; ignored outside the grid.
    void setCellText(int col, int row, const QString& text);
    // The whole text of a row: split at CR, LF or CR LF, piece i becomes
    // cell i and cells without a piece become empty.
    void setRowText(int row, const QString& text);
    // The row's cells, each followed by CR LF (empty cells included).
    QString rowText(int row) const;
    int Col() const { return currentColumn(); }
    int Row() const { return currentRow(); }

    // Deletes a row: with fewer than 3 rows it is only cleared; otherwise the
    // following rows move up one and the last row goes.
    void DeleteRow(int row);

    // Live state drawn in column 0: the number of busy runs of the row's key
    // (0: none). Not part of the cell texts.
    void setRunCount(int row, int count);
    int runCount(int row) const;

    // Hides the drop-down list and the ".." button.
    void hideEditors();

signals:
    // A left press on a cell below the header was released (the grid's
    // click), and after every check toggle no release will follow.
    void OnClick();
    void OnDblClick();
    // A key pressed while the grid has the focus, before the grid handles it:
    // its virtual-key code (0 for keys without one).
    void OnKeyDown(int key);
    // Any mouse press, after the grid moved the current cell.
    void OnMouseDown(Qt::MouseButton button, int x, int y);
    // A press on a header cell.
    void OnFixedCellMouseDown(int col, int row, Qt::MouseButton button);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;

private:
    struct ColumnList {
        QString text;
        std::vector<int> cols;
        bool contains(int col) const;
    };
    bool setList(ColumnList& list, const QString& text, QString* error);
    // What a press on the current cell does (toggle, drop-down, button);
    // true when a check cell was toggled.
    bool actOnPressedCell(const QPoint& pos);
    void showCombo(int col, int row);
    void showButton(int col, int row);
    void setEditing(bool on);
    void comboTextChanged(const QString& text);
    bool comboPopupOpen() const;
    void buttonClicked();
    void updateHint(const QPoint& pos, const QPoint& globalPos);
    bool autoIncDecKey(int key);
    void resizeColumnAt(int x);

    ColumnList m_check, m_combo, m_edit, m_center, m_btn, m_hint;
    QComboBox* m_comboBox = nullptr;
    QComboBox* m_ownCombo = nullptr;
    QPushButton* m_button = nullptr;
    std::vector<int> m_runCounts;
    bool m_selecting = false;   // a left press selected a cell; its release clicks
    int m_resizingCol = -1;     // a column border dragged in the header row
};

}  // namespace quillon::app
