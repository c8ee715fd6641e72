// The window's commands: the exit command, the menus, the grid's popup
// items, double-click and the cell button's file dialog.
#include "app/fmmain.h"

#include "app/GlobalStopKey.h"
#include "app/ZenStringGrid.h"
#include "base/ZeMath.h"
#include "input/ZenDxInput.h"
#include "platform/Desktop.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace quillon::app {

namespace {

constexpr const char* kAboutText = "Quillon 键盘鼠标宏工具\n"
                                   "按下触发键运行脚本，全局停止键停止全部脚本。\n"
                                   "联系: quillon@example.org";
constexpr const char* kSupportAddress = "https://quillon.example.org/support";

}  // namespace

QByteArray newScriptTemplate()
{
    const QString slashes34(34, QLatin1Char('/'));
    const QString slashes30(30, QLatin1Char('/'));
    const QString slashes9(9, QLatin1Char('/'));
    const QStringList lines = {
        QStringLiteral("//按下键:") + slashes34,
        QStringLiteral("section down"),
        QString(),
        QStringLiteral("end section"),
        QString(),
        QString(),
        QString(),
        QStringLiteral("//弹起时转入:") + slashes30,
        QStringLiteral("section up"),
        QString(),
        QStringLiteral("end section"),
        QString(),
        QString(),
        QString(),
        QStringLiteral("//单线启动模式下，再次按下键停止时执行:") + slashes9,
        QStringLiteral("section final"),
        QString(),
        QStringLiteral("end section"),
        QString(),
    };
    QByteArray bytes;
    for (const QString& line : lines)
        bytes += line.toUtf8() + "\r\n";
    return bytes;
}

void Tfrmmain::N26Click()
{
    if (m_exiting)
        return;
    // Asked for while a handler waits on a run: done when it has returned.
    if (m_handlerDepth > 0) {
        m_exitPending = true;
        // A handler waiting for the user (a message, the file dialog) would
        // hold the exit until someone answers; at log-out nobody does.
        if (QWidget* modal = QApplication::activeModalWidget())
            modal->close();
        return;
    }
    m_exitPending = true;
    closingReport();
    saveState();
    ZenDxInput1KeyDonw(GlobalStopKey.load(), QStringLiteral("vk_stop"));
    m_exiting = true;
    if (m_input)
        m_input->setEnable(false);
    m_beat->stop();
    m_tmr1->stop();
    freeRuns();
    trayRemove();
    m_repeatCounts.clear();
    if (m_options.endProcess) {
        m_options.endProcess();
        return;
    }
    QApplication::quit();
    // Everything is saved and every run has ended; nothing is left that
    // static destructors could do better.
    std::fflush(nullptr);
    std::_Exit(0);
}

void Tfrmmain::N29Click()
{
    N26Click();
}

void Tfrmmain::N2Click()
{
    m_autoStart->setChecked(!m_autoStart->isChecked());
    setStartupShortcut(m_autoStart->isChecked());
}

void Tfrmmain::N3Click()
{
    showSettings();
}

void Tfrmmain::N4Click()
{
    message(QString::fromUtf8(kAboutText));
}

void Tfrmmain::N18Click()
{
    openWithShell(QString::fromLatin1(kSupportAddress));
}

void Tfrmmain::N19Click()
{
    openWithShell(programPath(QStringLiteral("help.txt")));
}

void Tfrmmain::N20Click()
{
    const int row = m_grid->currentRow();
    if (row < 1)
        return;
    const QString name = m_grid->cellText(0, row);
    if (!name.isEmpty())
        disarmKey(name);
    m_grid->setRowText(row, QString());
}

void Tfrmmain::N22Click()
{
    ZenStringGrid1DblClick();
}

void Tfrmmain::N23Click()
{
    openWithShell(programPath(QStringLiteral("script")));
}

void Tfrmmain::ZenStringGrid1DblClick()
{
    if (m_grid->currentColumn() != 1 || m_grid->currentRow() < 1 || leaving())
        return;
    const HandlerScope scope(*this);
    const int row = m_grid->currentRow();
    disarmRow(row, true);
    QString path = m_grid->cellText(1, row);
    if (path.trimmed().isEmpty()) {
        QDir::setCurrent(m_programDir);
        path = QStringLiteral("./script/noName%1.txt").arg(row);
        m_grid->setCellText(1, row, path);
        if (!QFileInfo::exists(path)) {
            base::makeDirectories(QStringLiteral("script"));
            QFile file(path);
            if (file.open(QIODevice::WriteOnly))
                file.write(newScriptTemplate());
        }
    }
    openWithShell(path);
}

void Tfrmmain::ZenStringGrid1CellBtnClick(int ACol, int ARow, QString& Value)
{
    Q_UNUSED(ACol);
    Q_UNUSED(ARow);
    const QString dir = programPath(QStringLiteral("script"));
    const QString filter = QStringLiteral("TXT (*.txt)");
    const QString picked = m_options.pickFile ? m_options.pickFile(dir, filter)
                                              : QFileDialog::getOpenFileName(this, QString(), dir, filter);
    if (picked.isEmpty())
        return;
    Value = QFileInfo(picked).absoluteFilePath();
    // The extension test is exact: "a.TXT" becomes "a.TXT.txt".
    const QString name = QFileInfo(Value).fileName();
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || name.mid(dot) != QLatin1String(".txt"))
        Value += QStringLiteral(".txt");
}

void Tfrmmain::openWithShell(const QString& path)
{
    // A relative path is the program folder's, as the shell resolves it there.
    m_desktop->shell().open(path, m_programDir);
}

QString Tfrmmain::programPath(const QString& relative) const
{
    return base::combinePaths(m_programDir, relative);
}

void Tfrmmain::message(const QString& text)
{
    if (m_options.showMessage) {
        m_options.showMessage(text);
        return;
    }
    QMessageBox::information(this, windowTitle(), text);
}

}  // namespace quillon::app
