// TZenStringGrid on its own: column lists, what mouse presses do to check,
// combo and button cells, and the header row.
#include "app/ZenStringGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using quillon::app::TZenStringGrid;

namespace {

class Grid : public ::testing::Test {
protected:
    void SetUp() override
    {
        grid.setColumnCount(5);
        grid.setRowCount(6);
        grid.resize(700, 300);
        grid.setCheckCols(QStringLiteral("2"));
        grid.setBtnCols(QStringLiteral("1,3"));
        grid.setComboCols(QStringLiteral("3"));
        grid.Combo()->addItems({QStringLiteral("单线启动"), QStringLiteral("重复启动")});
        grid.show();
        grid.setCurrentCell(1, 0);
    }
    QPoint center(int row, int col) { return grid.visualRect(grid.model()->index(row, col)).center(); }
    void press(int row, int col, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(grid.viewport(), button, {}, center(row, col));
    }

    TZenStringGrid grid;
};

}  // namespace

TEST_F(Grid, ColumnListsRejectANonNumericPieceAndKeepTheirValue)
{
    QString error;
    EXPECT_FALSE(grid.setCheckCols(QStringLiteral("2,x"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(grid.CheckCols(), "2");
    EXPECT_TRUE(grid.isCheckCol(2));
    EXPECT_FALSE(grid.setCenterCols(QStringLiteral("1,,3")));
    EXPECT_TRUE(grid.setCenterCols(QStringLiteral(",0, 4")));
    EXPECT_TRUE(grid.isCenterCol(0));
    EXPECT_TRUE(grid.isCenterCol(4));
    EXPECT_TRUE(grid.setHintCols(QString()));
    EXPECT_FALSE(grid.isHintCol(0));
}

TEST_F(Grid, APressChecksANonCurrentCellAndTheNextOneEmptiesIt)
{
    QSignalSpy clicks(&grid, &TZenStringGrid::OnClick);
    grid.setCellText(2, 2, QStringLiteral("TRUE"));
    press(2, 2);
    EXPECT_EQ(grid.currentRow(), 2);
    EXPECT_EQ(grid.cellText(2, 2), "") << "TRUE counts as checked";
    press(2, 2);
    EXPECT_EQ(grid.cellText(2, 2), "true");
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(Grid, ADoubleClickTogglesTwiceAndClicksForEachToggle)
{
    QSignalSpy clicks(&grid, &TZenStringGrid::OnClick);
    QSignalSpy doubles(&grid, &TZenStringGrid::OnDblClick);
    // What a user's double click delivers: press, release, double click, release.
    press(3, 2);
    QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, center(3, 2));
    QTest::mouseRelease(grid.viewport(), Qt::LeftButton, {}, center(3, 2));
    EXPECT_EQ(grid.cellText(2, 3), "");
    EXPECT_EQ(doubles.count(), 1);
    EXPECT_EQ(clicks.count(), 2);
}

TEST_F(Grid, AColumnInBothListsShowsTheDropDownAndNeverTheButton)
{
    grid.setCellText(3, 2, QStringLiteral("重复启动"));
    press(2, 3);
    EXPECT_TRUE(grid.Combo()->isVisible());
    EXPECT_FALSE(grid.CellButton()->isVisible());
    EXPECT_EQ(grid.Combo()->geometry(), grid.visualRect(grid.model()->index(2, 3)));
    EXPECT_EQ(grid.Combo()->currentText(), "重复启动");
    EXPECT_EQ(grid.cellText(3, 2), "重复启动") << "placing the list changes nothing";
    grid.Combo()->setCurrentIndex(0);
    EXPECT_EQ(grid.cellText(3, 2), "单线启动");

    press(4, 1);
    EXPECT_FALSE(grid.Combo()->isVisible());
    ASSERT_TRUE(grid.CellButton()->isVisible());
    const QRect cell = grid.visualRect(grid.model()->index(4, 1));
    EXPECT_EQ(grid.CellButton()->geometry(),
              QRect(cell.right() + 1 - cell.height(), cell.top(), cell.height(), cell.height()));
    EXPECT_EQ(grid.CellButton()->text(), "..");
}

TEST_F(Grid, TheButtonHandsTheCellToItsHandlerAndWritesBack)
{
    grid.setCellText(1, 2, QStringLiteral("old"));
    int seenCol = -1;
    int seenRow = -1;
    grid.OnCellBtnClick = [&](TZenStringGrid*, int col, int row, QString& value) {
        seenCol = col;
        seenRow = row;
        value += QStringLiteral("+new");
    };
    press(2, 1);
    grid.CellButton()->click();
    EXPECT_EQ(seenCol, 1);
    EXPECT_EQ(seenRow, 2);
    EXPECT_EQ(grid.cellText(1, 2), "old+new");
}

TEST_F(Grid, ARightPressNeverMovesTheCurrentCell)
{
    press(2, 3);
    ASSERT_TRUE(grid.Combo()->isVisible());
    press(4, 2, Qt::RightButton);
    EXPECT_EQ(grid.currentRow(), 2);
    EXPECT_FALSE(grid.Combo()->isVisible());
    EXPECT_EQ(grid.cellText(2, 4), "") << "another cell: nothing toggles";
    grid.setCurrentCell(4, 2);
    press(4, 2, Qt::RightButton);
    EXPECT_EQ(grid.cellText(2, 4), "true") << "the current cell: like a left press";
}

TEST_F(Grid, TheHeaderRowIsNeverCurrent)
{
    QSignalSpy header(&grid, &TZenStringGrid::OnFixedCellMouseDown);
    press(0, 2);
    EXPECT_EQ(grid.currentRow(), 1);
    EXPECT_EQ(grid.cellText(2, 0), "");
    ASSERT_EQ(header.count(), 1);
    EXPECT_EQ(header[0][0].toInt(), 2);
    grid.setCurrentCell(1, 1);
    QTest::keyClick(&grid, Qt::Key_Up);
    EXPECT_EQ(grid.currentRow(), 1);
}

TEST_F(Grid, RowTextSplitsAtLineEndsAndDeleteRowMovesRowsUp)
{
    grid.setRowText(0, QStringLiteral("a\rb\rc"));
    EXPECT_EQ(grid.cellText(1, 0), "b");
    EXPECT_EQ(grid.cellText(3, 0), "");
    grid.setCellText(0, 3, QStringLiteral("x"));
    grid.setCellText(0, 4, QStringLiteral("y"));
    grid.DeleteRow(3);
    EXPECT_EQ(grid.rowCount(), 5);
    EXPECT_EQ(grid.cellText(0, 3), "y");
}

TEST_F(Grid, TheDropDownStaysWhileItsListIsOpenWhateverTheFocusReason)
{
    press(2, 3);
    ASSERT_TRUE(grid.Combo()->isVisible());
    grid.Combo()->showPopup();
    // On X11 the list's pop-up taking the focus reads as a change of window.
    QFocusEvent away(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(grid.Combo(), &away);
    EXPECT_TRUE(grid.Combo()->isVisible());
    grid.Combo()->hidePopup();
    QApplication::sendEvent(grid.Combo(), &away);
    EXPECT_FALSE(grid.Combo()->isVisible()) << "closed list: losing the focus hides it";
}
