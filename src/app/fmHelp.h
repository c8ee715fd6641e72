// TfrmHelp: the manual window. It is created at start-up and never shown
// (the manual is help.txt, opened with the desktop's viewer); it exists so
// that scripts reaching for its components find them.
#pragma once

#include <QWidget>

class QPlainTextEdit;
class QSplitter;
class QTreeWidget;

namespace quillon::app {

class TfrmHelp : public QWidget {
    Q_OBJECT
public:
    explicit TfrmHelp(QWidget* parent = nullptr);

    QTreeWidget* Tree() const { return m_tvTopics; }
    QSplitter* Splitter() const { return m_splitter; }
    QPlainTextEdit* Memo() const { return m_mmoText; }

private:
    QSplitter* m_splitter;
    QTreeWidget* m_tvTopics;
    QPlainTextEdit* m_mmoText;
};

}  // namespace quillon::app
