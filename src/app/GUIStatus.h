// TGUIStatus: makes chosen controls of a window survive a restart.
//
// A window registers controls once, loads their state when it is created and
// saves it when it closes. The state file is plain UTF-8 text with CR LF line
// ends: line 1 is the executable's last-write time ("yyyy-mm-dd hh:mm:ss",
// local time), then one entry per registered control in registration order:
// the bounds of a widget (left, top unless flag 2; width, height unless
// flag 1), then its content unless flag 4:
//
//   QLineEdit                  its text
//   QPlainTextEdit, QTextEdit  the line count, then each line
//   QTableWidget               the row count, then one line per row, every
//                              cell followed by "$$$"
//   top-level QWidget          its window title
//   QPushButton, QLabel        its text
//   QComboBox                  its current index (-1 = none)
//   QAction                    its check mark, "-1" or "0"
//
// Loading never fails loudly: a missing file leaves the controls as they are,
// and a malformed one (a bad number, a count beyond the limits below, a
// truncated or binary file) stops the load where it goes wrong, keeping what
// was read before. A file whose first line is not this executable's time (a
// rebuild or an upgrade wrote the program since) is loaded only when the
// whole of it reads as this window's entries, checked before any control is
// touched; otherwise it is ignored.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <vector>

class QWidget;

namespace quillon::app {

class TGUIStatus : public QObject {
    Q_OBJECT
public:
    // Register flags.
    static constexpr quint8 KeepNoSize = 1;
    static constexpr quint8 KeepNoPosition = 2;
    static constexpr quint8 KeepNoContent = 4;

    // Rows a table gets from a file at most unless SetMaxGridRows says
    // otherwise; a larger count is clamped and the rows beyond are skipped.
    static constexpr int DefaultMaxGridRows = 10000;
    // A state file larger than this is not read at all.
    static constexpr qint64 MaxFileSize = 32 * 1024 * 1024;

    // `owner` names the default state file (its class name) and parents this
    // component; the component does not own the registered controls.
    explicit TGUIStatus(QWidget* owner);

    // Appends a control and its flags; entries are written in this order.
    void Register(QObject* control, quint8 flags = 0);

    // Restores the registered controls from `fileName` (empty: the remembered
    // name, else the default one), resolved against the program folder and
    // remembered. Creates the file's folder; a missing or unusable file
    // changes nothing.
    void Load(const QString& fileName = {});

    // Writes the state of every registered control to `fileName` (empty: the
    // remembered or default name). The file is replaced atomically: a crash
    // or a full disk during the save leaves the previous file whole. Returns
    // false when the file could not be written.
    bool Save(const QString& fileName = {});

    // The remembered file name (empty before the first Load or Save).
    QString FileName() const { return m_fileName; }
    // <program folder>/<executable's file name><owner's class>.stat
    QString DefaultFileName() const;

    void SetMaxGridRows(int rows) { m_maxGridRows = rows < 0 ? 0 : rows; }
    int MaxGridRows() const { return m_maxGridRows; }

    // Line 1 of a state file written now by this executable.
    static QString ExecutableTime();

private:
    struct Entry {
        QPointer<QObject> control;
        quint8 flags = 0;
    };
    enum class Outcome { Complete, EndedBetweenEntries, EndedInsideEntry, Malformed, ExtraLines };

    QString chooseFileName(const QString& fileName);
    Outcome restore(const QStringList& lines, bool apply) const;
    QStringList entryLines(const Entry& entry) const;

    std::vector<Entry> m_entries;
    QString m_fileName;
    QString m_ownerClass;
    int m_maxGridRows = DefaultMaxGridRows;
};

}  // namespace quillon::app
