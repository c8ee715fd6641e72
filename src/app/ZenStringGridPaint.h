// How TZenStringGrid paints its cells: the header row in the button colour
// with centred text, alternate rows tinted, check cells as check boxes,
// column 0 drawn a second time over the whole cell, and the busy runs of a
// row's key shown in column 0.
#pragma once

class QAbstractItemDelegate;

namespace quillon::app {

class TZenStringGrid;

// The tint of even rows (the header row counts as row 0).
inline constexpr int kAlternateRowRgb = 0xC0E0F0;
// Column 0's background while a run of the row's key is busy.
inline constexpr int kBusyRowRgb = 0xFFC878;

QAbstractItemDelegate* makeZenGridDelegate(TZenStringGrid* grid);

}  // namespace quillon::app
