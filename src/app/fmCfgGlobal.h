// TfrmCfgGlobal: the global settings window, which holds the global stop
// key. The key is chosen by pressing it in a read-only field and is kept as
// its name in the window's own state file. The start-up handler and the
// close handler publish it: the trigger table's header row names it, and
// GlobalStopKey gets its code (0, no stop key, for a name the key-name table
// does not know).
#pragma once

#include "app/GUIStatus.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace quillon::app {

class TfrmCfgGlobal : public QDialog {
    Q_OBJECT
public:
    // `triggerTable` is the table whose row 0 holds the header; it may be
    // null, and is not owned.
    TfrmCfgGlobal(QTableWidget* triggerTable, QWidget* parent = nullptr);

    QLineEdit* KeyEdit() const { return m_edtStopKey; }
    // Where FormCreate loads the state from; empty (the default) is the
    // window's own state file beside the executable.
    void SetStateFileName(const QString& fileName) { m_stateFileName = fileName; }

    // The five header captions for a stop key named `keyName`.
    static QStringList HeaderTexts(const QString& keyName);

public slots:
    // Registers the key field with the state store, loads it, publishes.
    void FormCreate();
    // Saves the state and publishes; runs however the window is closed.
    void FormClose();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void publish();

    QTableWidget* m_triggerTable;
    QLabel* m_lblStopKey;
    QLineEdit* m_edtStopKey;
    QPushButton* m_btnOK;
    TGUIStatus m_status{this};
    QString m_stateFileName;
    bool m_created = false;
};

}  // namespace quillon::app
