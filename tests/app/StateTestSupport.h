// Helpers shared by the state store and settings window tests: rows of a
// table, whole files, and a window with one control of each kind.
#pragma once

#include "app/GUIStatus.h"

#include <QAction>
#include <QByteArray>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <QTableWidget>
#include <QWidget>

namespace quillon::test {

void setRow(QTableWidget* grid, int row, const QStringList& cells);
// The texts of a row; a cell without an item reads as "<none>".
QStringList row(const QTableWidget* grid, int row);

QByteArray readAll(const QString& path);
// The file's lines, split at CR LF.
QStringList readLines(const QString& path);
// Writes the lines, each followed by CR LF.
void writeLines(const QString& path, const QStringList& lines);

// Registered in this order: grid (3 x 5), edit, memo, combo (a, b, c), check.
struct Window {
    QWidget form;
    QTableWidget* grid = new QTableWidget(3, 5, &form);
    QLineEdit* edit = new QLineEdit(&form);
    QPlainTextEdit* memo = new QPlainTextEdit(&form);
    QComboBox* combo = new QComboBox(&form);
    QAction* check = new QAction(&form);
    app::TGUIStatus status{&form};

    explicit Window(quint8 flags = 0);
};

// Rows of the table the saver writes.
inline constexpr int kSaverRows = 3000;
// Saves a Window to `file` over and over, a new generation each time, and
// prints one line after the first save. Never returns.
[[noreturn]] void runSaver(const QString& file, int rows);

}  // namespace quillon::test
