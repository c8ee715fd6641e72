#include "StateTestSupport.h"

#include <QFile>

#include <cstdio>

namespace quillon::test {

void setRow(QTableWidget* grid, int r, const QStringList& cells)
{
    for (int c = 0; c < cells.size(); ++c)
        grid->setItem(r, c, new QTableWidgetItem(cells[c]));
}

QStringList row(const QTableWidget* grid, int r)
{
    QStringList cells;
    for (int c = 0; c < grid->columnCount(); ++c) {
        const QTableWidgetItem* item = grid->item(r, c);
        cells << (item ? item->text() : QStringLiteral("<none>"));
    }
    return cells;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

QStringList readLines(const QString& path)
{
    QStringList lines = QString::fromUtf8(readAll(path)).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void writeLines(const QString& path, const QStringList& lines)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    for (const QString& line : lines)
        f.write(line.toUtf8() + "\r\n");
}

Window::Window(quint8 flags)
{
    combo->addItems({"a", "b", "c"});
    check->setCheckable(true);
    status.Register(grid, flags);
    status.Register(edit, flags);
    status.Register(memo, flags);
    status.Register(combo, flags);
    status.Register(check, flags);
}

void runSaver(const QString& file, int rows)
{
    Window w;
    w.grid->setRowCount(rows);
    // Long rows make writing the file most of what a save does, so a kill
    // tends to land while the file is being written.
    const QString filler = QStringLiteral("./script/some rather long script name.txt").repeated(15);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < 5; ++c)
            w.grid->setItem(r, c, new QTableWidgetItem(filler));
    for (int generation = 1;; ++generation) {
        const QString g = QString::number(generation);
        w.edit->setText(g);
        for (int r = 0; r < rows; ++r)
            w.grid->item(r, 4)->setText(g + QLatin1Char('/') + QString::number(r));
        w.status.Save(file);
        if (generation == 1) {
            std::puts("saved");
            std::fflush(stdout);
        }
    }
}

}  // namespace quillon::test
