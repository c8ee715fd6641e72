#include "app/GUIStatus.h"

#include "base/ProgramPaths.h"
#include "base/ZeMath.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTableWidget>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>
#include <limits>
#include <optional>

namespace quillon::app {

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString kCellEnd = QStringLiteral("$$$");

// X11 keeps window coordinates in 16 signed bits and sizes in 16 unsigned
// ones; a value outside them cannot have been saved from a real window.
constexpr int kMinCoordinate = -32768;
constexpr int kMaxCoordinate = 32767;
constexpr int kMaxExtent = 32767;

enum class Kind { Other, Edit, Memo, Grid, Form, Button, Label, Combo, MenuItem };

// The first matching kind wins, in this order.
Kind kindOf(QObject* o)
{
    if (qobject_cast<QLineEdit*>(o))
        return Kind::Edit;
    if (qobject_cast<QPlainTextEdit*>(o) || qobject_cast<QTextEdit*>(o))
        return Kind::Memo;
    if (qobject_cast<QTableWidget*>(o))
        return Kind::Grid;
    if (auto* w = qobject_cast<QWidget*>(o); w && w->isWindow())
        return Kind::Form;
    if (qobject_cast<QPushButton*>(o))
        return Kind::Button;
    if (qobject_cast<QLabel*>(o))
        return Kind::Label;
    if (qobject_cast<QComboBox*>(o))
        return Kind::Combo;
    if (qobject_cast<QAction*>(o))
        return Kind::MenuItem;
    return Kind::Other;
}

// Any line break inside a value would shift every later line of the file.
const QRegularExpression& lineBreaks()
{
    static const QRegularExpression re(QStringLiteral("\r\n|\r|\n|\u2028|\u2029"));
    return re;
}

QString oneLine(QString text)
{
    return text.replace(lineBreaks(), QStringLiteral(" "));
}

QString memoText(QObject* o)
{
    if (auto* p = qobject_cast<QPlainTextEdit*>(o))
        return p->toPlainText();
    return qobject_cast<QTextEdit*>(o)->toPlainText();
}

void setMemoText(QObject* o, const QStringList& lines)
{
    const QString text = lines.join(QLatin1Char('\n'));
    if (auto* p = qobject_cast<QPlainTextEdit*>(o))
        p->setPlainText(text);
    else
        qobject_cast<QTextEdit*>(o)->setPlainText(text);
}

// A line break in a cell is written as a cell end, so the file keeps one
// line per row and the next load splits the cell there.
QString gridRowLine(const QTableWidget* grid, int row)
{
    QString line;
    for (int c = 0; c < grid->columnCount(); ++c) {
        const QTableWidgetItem* item = grid->item(row, c);
        QString cell = item ? item->text() : QString();
        line += cell.replace(lineBreaks(), kCellEnd) + kCellEnd;
    }
    return line;
}

// Every cell end becomes a break and the pieces fill the row from column 0;
// an empty piece is stored as one blank, cells beyond the pieces are cleared
// and pieces beyond the last column are dropped.
void setGridRow(QTableWidget* grid, int row, QString line)
{
    line.replace(kCellEnd, QStringLiteral("\r"));
    QStringList pieces = line.split(QLatin1Char('\r'));
    if (pieces.last().isEmpty())
        pieces.removeLast();
    for (int c = 0; c < grid->columnCount(); ++c) {
        QString text;
        if (c < pieces.size())
            text = pieces[c].isEmpty() ? QStringLiteral(" ") : pieces[c];
        if (QTableWidgetItem* item = grid->item(row, c))
            item->setText(text);
        else
            grid->setItem(row, c, new QTableWidgetItem(text));
    }
}

std::optional<bool> checkMark(const QString& line)
{
    const QString t = line.trimmed();
    if (t.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (t.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool ok = false;
    const qlonglong n = t.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return n != 0;
}

// The lines of a state file: CR LF, CR or LF each end a line; a break at the
// very end does not start another line.
QStringList fileLines(const QByteArray& data)
{
    QByteArray bytes = data;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    if (bytes.isEmpty())
        return {};
    QStringList lines = QString::fromUtf8(bytes).split(lineBreaks());
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

enum class Step { Ok, Ended, Bad };

// Walks a file's lines, line 2 first.
class LineCursor {
public:
    explicit LineCursor(const QStringList& lines) : m_lines(lines) {}

    bool atEnd() const { return m_at >= m_lines.size(); }
    const QString* next() { return atEnd() ? nullptr : &m_lines[m_at++]; }

    Step number(qint64 low, qint64 high, qint64& out)
    {
        const QString* line = next();
        if (!line)
            return Step::Ended;
        bool ok = false;
        const qint64 v = line->trimmed().toLongLong(&ok, 10);
        if (!ok || v < low || v > high)
            return Step::Bad;
        out = v;
        return Step::Ok;
    }

    Step skip(qint64 count)
    {
        const qint64 left = m_lines.size() - m_at;
        m_at += std::min(count, left);
        return count > left ? Step::Ended : Step::Ok;
    }

private:
    const QStringList& m_lines;
    qsizetype m_at = 1;
};

// Reads one entry; applies each value as soon as it is read when `apply`.
class EntryReader {
public:
    EntryReader(LineCursor& cursor, bool apply, int maxGridRows)
        : m_cursor(cursor), m_apply(apply), m_maxGridRows(maxGridRows)
    {
    }

    Step read(QObject* control, quint8 flags)
    {
        if (auto* w = qobject_cast<QWidget*>(control)) {
            if (Step s = bounds(w, flags); s != Step::Ok)
                return s;
        }
        if (flags & TGUIStatus::KeepNoContent)
            return Step::Ok;
        return content(control, kindOf(control));
    }

private:
    Step bounds(QWidget* w, quint8 flags)
    {
        qint64 v = 0;
        if (!(flags & TGUIStatus::KeepNoPosition)) {
            if (Step s = m_cursor.number(kMinCoordinate, kMaxCoordinate, v); s != Step::Ok)
                return s;
            if (m_apply)
                w->move(int(v), w->y());
            if (Step s = m_cursor.number(kMinCoordinate, kMaxCoordinate, v); s != Step::Ok)
                return s;
            if (m_apply)
                w->move(w->x(), int(v));
        }
        if (!(flags & TGUIStatus::KeepNoSize)) {
            if (Step s = m_cursor.number(0, kMaxExtent, v); s != Step::Ok)
                return s;
            if (m_apply)
                w->resize(int(v), w->height());
            if (Step s = m_cursor.number(0, kMaxExtent, v); s != Step::Ok)
                return s;
            if (m_apply)
                w->resize(w->width(), int(v));
        }
        return Step::Ok;
    }

    Step content(QObject* control, Kind kind)
    {
        switch (kind) {
        case Kind::Other:
            return Step::Ok;
        case Kind::Memo:
            return memo(control);
        case Kind::Grid:
            return grid(qobject_cast<QTableWidget*>(control));
        case Kind::Combo:
            return combo(qobject_cast<QComboBox*>(control));
        default:
            break;
        }
        const QString* line = m_cursor.next();
        if (!line)
            return Step::Ended;
        if (kind == Kind::MenuItem) {
            const std::optional<bool> checked = checkMark(*line);
            if (!checked)
                return Step::Bad;
            if (m_apply)
                qobject_cast<QAction*>(control)->setChecked(*checked);
        } else if (m_apply) {
            setCaption(control, kind, *line);
        }
        return Step::Ok;
    }

    static void setCaption(QObject* control, Kind kind, const QString& text)
    {
        if (kind == Kind::Edit)
            qobject_cast<QLineEdit*>(control)->setText(text);
        else if (kind == Kind::Form)
            qobject_cast<QWidget*>(control)->setWindowTitle(text);
        else if (kind == Kind::Button)
            qobject_cast<QPushButton*>(control)->setText(text);
        else if (kind == Kind::Label)
            qobject_cast<QLabel*>(control)->setText(text);
    }

    Step memo(QObject* control)
    {
        qint64 count = 0;
        if (Step s = m_cursor.number(0, std::numeric_limits<qint64>::max(), count); s != Step::Ok)
            return s;
        QStringList lines;
        Step result = Step::Ok;
        for (qint64 i = 0; i < count; ++i) {
            const QString* line = m_cursor.next();
            if (!line) {
                result = Step::Ended;
                break;
            }
            lines << *line;
        }
        if (m_apply)
            setMemoText(control, lines);
        return result;
    }

    // A count beyond what the table may hold is clamped, never allocated;
    // the rows beyond it are skipped so later entries still line up.
    Step grid(QTableWidget* grid)
    {
        qint64 count = 0;
        if (Step s = m_cursor.number(0, std::numeric_limits<qint64>::max(), count); s != Step::Ok)
            return s;
        const int rows = int(std::min<qint64>(count, m_maxGridRows));
        if (m_apply)
            grid->setRowCount(rows);
        for (int r = 0; r < rows; ++r) {
            const QString* line = m_cursor.next();
            if (!line)
                return Step::Ended;
            if (m_apply)
                setGridRow(grid, r, *line);
        }
        return m_cursor.skip(count - rows);
    }

    Step combo(QComboBox* combo)
    {
        qint64 index = 0;
        if (Step s = m_cursor.number(std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), index);
            s != Step::Ok)
            return s;
        if (m_apply)
            combo->setCurrentIndex(index >= 0 && index < combo->count() ? int(index) : -1);
        return Step::Ok;
    }

    LineCursor& m_cursor;
    bool m_apply;
    int m_maxGridRows;
};

QString withoutNamespace(const char* className)
{
    const QString name = QString::fromLatin1(className);
    const qsizetype at = name.lastIndexOf(QLatin1String("::"));
    return at < 0 ? name : name.mid(at + 2);
}

bool isTimeLine(const QString& line)
{
    return QDateTime::fromString(line, kTimeFormat).isValid();
}

}  // namespace

TGUIStatus::TGUIStatus(QWidget* owner)
    : QObject(owner), m_ownerClass(owner ? withoutNamespace(owner->metaObject()->className()) : QString())
{
}

void TGUIStatus::Register(QObject* control, quint8 flags)
{
    m_entries.push_back({control, flags});
}

QString TGUIStatus::ExecutableTime()
{
    return QFileInfo(base::executableFile()).lastModified().toLocalTime().toString(kTimeFormat);
}

QString TGUIStatus::DefaultFileName() const
{
    return base::programLayout().dataDirectory + QFileInfo(base::executableFile()).fileName()
        + m_ownerClass + QStringLiteral(".stat");
}

QString TGUIStatus::chooseFileName(const QString& fileName)
{
    if (!fileName.isEmpty())
        m_fileName = base::executableRelativePath(fileName);
    else if (m_fileName.isEmpty())
        m_fileName = DefaultFileName();
    return m_fileName;
}

TGUIStatus::Outcome TGUIStatus::restore(const QStringList& lines, bool apply) const
{
    LineCursor cursor(lines);
    EntryReader reader(cursor, apply, m_maxGridRows);
    for (const Entry& entry : m_entries) {
        if (cursor.atEnd())
            return Outcome::EndedBetweenEntries;
        if (!entry.control)
            continue;
        const Step s = reader.read(entry.control, entry.flags);
        if (s == Step::Ended)
            return Outcome::EndedInsideEntry;
        if (s == Step::Bad)
            return Outcome::Malformed;
    }
    return cursor.atEnd() ? Outcome::Complete : Outcome::ExtraLines;
}

void TGUIStatus::Load(const QString& fileName)
{
    const QString name = chooseFileName(fileName);
    base::makeDirectories(QFileInfo(name).absolutePath());
    // Only a regular file: opening a pipe or a device of that name would
    // wait for a writer or read for ever.
    if (!QFileInfo(name).isFile())
        return;
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxFileSize)
        return;
    const QStringList lines = fileLines(file.read(MaxFileSize));
    if (lines.isEmpty())
        return;
    if (lines.first() == ExecutableTime()) {
        restore(lines, true);
        return;
    }
    // Written by another build: take it only when all of it reads as this
    // window's entries, so a stranger's file never half-fills the window.
    if (!isTimeLine(lines.first()))
        return;
    const Outcome dry = restore(lines, false);
    if (dry == Outcome::Complete || dry == Outcome::EndedBetweenEntries)
        restore(lines, true);
}

QStringList TGUIStatus::entryLines(const Entry& entry) const
{
    QStringList out;
    QObject* control = entry.control;
    if (!control)
        return out;
    if (auto* w = qobject_cast<QWidget*>(control)) {
        if (!(entry.flags & KeepNoPosition))
            out << QString::number(w->x()) << QString::number(w->y());
        if (!(entry.flags & KeepNoSize))
            out << QString::number(w->width()) << QString::number(w->height());
    }
    if (entry.flags & KeepNoContent)
        return out;
    switch (kindOf(control)) {
    case Kind::Edit:
        out << oneLine(qobject_cast<QLineEdit*>(control)->text());
        break;
    case Kind::Memo: {
        const QString text = memoText(control);
        const QStringList lines = text.isEmpty() ? QStringList() : text.split(lineBreaks());
        out << QString::number(lines.size()) << lines;
        break;
    }
    case Kind::Grid: {
        auto* grid = qobject_cast<QTableWidget*>(control);
        out << QString::number(grid->rowCount());
        for (int r = 0; r < grid->rowCount(); ++r)
            out << gridRowLine(grid, r);
        break;
    }
    case Kind::Form:
        out << oneLine(qobject_cast<QWidget*>(control)->windowTitle());
        break;
    case Kind::Button:
        out << oneLine(qobject_cast<QPushButton*>(control)->text());
        break;
    case Kind::Label:
        out << oneLine(qobject_cast<QLabel*>(control)->text());
        break;
    case Kind::Combo:
        out << QString::number(qobject_cast<QComboBox*>(control)->currentIndex());
        break;
    case Kind::MenuItem:
        out << QString::fromLatin1(qobject_cast<QAction*>(control)->isChecked() ? "-1" : "0");
        break;
    case Kind::Other:
        break;
    }
    return out;
}

bool TGUIStatus::Save(const QString& fileName)
{
    const QString name = chooseFileName(fileName);
    base::makeDirectories(QFileInfo(name).absolutePath());
    QStringList lines{ExecutableTime()};
    for (const Entry& entry : m_entries)
        lines << entryLines(entry);
    QByteArray data;
    for (const QString& line : lines)
        data += line.toUtf8() + "\r\n";

    // The new state goes to a temporary file beside the old one, is flushed
    // to disk, and only then renamed over it.
    QSaveFile file(name);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(data) != data.size())
        return false;  // the temporary file is discarded, the old one stays
    return file.commit();
}

}  // namespace quillon::app
