// TZenToolBarFrmConfig: the tool bar's configuration window, a two-column
// grid with one row per tool bar control: column 0 "隐藏" checks the control
// hidden (a check state, so no spelling of "true" can disagree with
// another), column 1 "按钮" edits its caption. Changes apply to the tool bar at
// once; closing the window saves the configuration when the tool bar has a
// configuration file.
#pragma once

#include <QDialog>

class QTableWidget;
class QTableWidgetItem;

namespace quillon::desktop {

class TZenToolBar;

class TZenToolBarFrmConfig : public QDialog {
    Q_OBJECT
public:
    explicit TZenToolBarFrmConfig(TZenToolBar* toolBar);

    // Fills the grid from the tool bar's controls.
    void fill();
    QTableWidget* grid() const { return m_grid; }

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    void itemChanged(QTableWidgetItem* item);

    TZenToolBar* m_toolBar;
    QTableWidget* m_grid;
    bool m_filling = false;
};

}  // namespace quillon::desktop
