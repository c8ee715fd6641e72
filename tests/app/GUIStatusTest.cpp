// The state store against real files: what a save writes, what a load
// restores, and what it does with files it did not write itself.
#include "app/GUIStatus.h"
#include "StateTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

using quillon::app::TGUIStatus;
using namespace quillon::test;

namespace probe {
class TfrmProbe : public QWidget {
    Q_OBJECT
};
}  // namespace probe

namespace {

class GUIStatusTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

TEST_F(GUIStatusTest, SaveWritesTheDocumentedLinesWithCrLf)
{
    QWidget form;
    auto* grid = new QTableWidget(2, 5, &form);
    auto* check = new QAction(&form);
    check->setCheckable(true);
    check->setChecked(true);
    setRow(grid, 1, {"F1", "a.txt", "true", "", ""});
    grid->setGeometry(3, 4, 50, 60);
    TGUIStatus status(&form);
    status.Register(grid);
    status.Register(check);
    ASSERT_TRUE(status.Save(path("s.stat")));

    const QByteArray expected = TGUIStatus::ExecutableTime().toUtf8()
        + "\r\n3\r\n4\r\n50\r\n60\r\n2\r\n$$$$$$$$$$$$$$$\r\nF1$$$a.txt$$$true$$$$$$$$$\r\n-1\r\n";
    EXPECT_EQ(readAll(path("s.stat")), expected);
}

TEST_F(GUIStatusTest, RoundTripRestoresRowsBlanksEditMemoComboAndCheckMark)
{
    Window saved;
    saved.grid->setRowCount(4);
    setRow(saved.grid, 0, {"触发开关键", "脚本", "启用(F11全)", "模式", "奇匣包配置"});
    setRow(saved.grid, 1, {"F1", "./script/a.txt", "true", "单线启动", ""});
    setRow(saved.grid, 3, {"", "b.txt", "", "", "x"});
    saved.grid->setGeometry(10, 20, 300, 200);
    saved.edit->setText("F5 键");
    saved.memo->setPlainText("one\n\nthree\n");
    saved.combo->setCurrentIndex(2);
    saved.check->setChecked(true);
    ASSERT_TRUE(saved.status.Save(path("s.stat")));

    Window loaded;
    loaded.status.Load(path("s.stat"));
    ASSERT_EQ(loaded.grid->rowCount(), 4);
    EXPECT_EQ(row(loaded.grid, 0), QStringList({"触发开关键", "脚本", "启用(F11全)", "模式", "奇匣包配置"}));
    // Empty cells come back as one blank.
    EXPECT_EQ(row(loaded.grid, 1), QStringList({"F1", "./script/a.txt", "true", "单线启动", " "}));
    EXPECT_EQ(row(loaded.grid, 2), QStringList({" ", " ", " ", " ", " "}));
    EXPECT_EQ(row(loaded.grid, 3), QStringList({" ", "b.txt", " ", " ", "x"}));
    EXPECT_EQ(loaded.grid->geometry(), QRect(10, 20, 300, 200));
    EXPECT_EQ(loaded.edit->text(), "F5 键");
    EXPECT_EQ(loaded.memo->toPlainText(), "one\n\nthree\n");
    EXPECT_EQ(loaded.combo->currentIndex(), 2);
    EXPECT_TRUE(loaded.check->isChecked());

    // The blanks are written back as blanks.
    ASSERT_TRUE(loaded.status.Save(path("t.stat")));
    EXPECT_TRUE(readAll(path("t.stat")).contains("\r\nF1$$$./script/a.txt$$$true$$$单线启动$$$ $$$\r\n"));
}

TEST_F(GUIStatusTest, RowTextFillsCellsFromColumnZeroAndTheRowCountComesFromTheFile)
{
    Window w;
    w.grid->setRowCount(10);
    setRow(w.grid, 0, {"keep", "keep", "keep", "keep", "keep"});
    const QString t = TGUIStatus::ExecutableTime();
    writeLines(path("s.stat"), {t, "0", "0", "100", "100", "2", "a$$$b", "1$$$2$$$3$$$4$$$5$$$6$$$"});
    w.status.Load(path("s.stat"));
    EXPECT_EQ(w.grid->rowCount(), 2);
    EXPECT_EQ(row(w.grid, 0), QStringList({"a", "b", "", "", ""}));
    EXPECT_EQ(row(w.grid, 1), QStringList({"1", "2", "3", "4", "5"}));
}

TEST_F(GUIStatusTest, LineBreaksInValuesNeverShiftLaterEntries)
{
    Window saved;
    setRow(saved.grid, 1, {"a\nb", "c", "", "", ""});
    saved.edit->setText("x\ny");
    ASSERT_TRUE(saved.status.Save(path("s.stat")));
    Window loaded;
    loaded.status.Load(path("s.stat"));
    EXPECT_EQ(row(loaded.grid, 1), QStringList({"a", "b", "c", " ", " "}));
    EXPECT_EQ(loaded.edit->text(), "x y");
    EXPECT_EQ(loaded.combo->currentIndex(), saved.combo->currentIndex());
}

TEST_F(GUIStatusTest, ShortFileRestoresWhatItHoldsAndLeavesTheRest)
{
    Window w;
    w.edit->setText("design");
    w.combo->setCurrentIndex(1);
    const QString t = TGUIStatus::ExecutableTime();
    writeLines(path("between.stat"), {t, "0", "0", "90", "80", "1", "F2$$$"});
    w.status.Load(path("between.stat"));
    EXPECT_EQ(w.grid->rowCount(), 1);
    EXPECT_EQ(w.grid->item(0, 0)->text(), "F2");
    EXPECT_EQ(w.edit->text(), "design");

    // Ending inside the edit's entry: its bounds are applied, its text kept.
    writeLines(path("inside.stat"), {t, "0", "0", "90", "80", "0", "7", "8"});
    w.status.Load(path("inside.stat"));
    EXPECT_EQ(w.edit->pos(), QPoint(7, 8));
    EXPECT_EQ(w.edit->text(), "design");
    EXPECT_EQ(w.combo->currentIndex(), 1);
}

TEST_F(GUIStatusTest, BadNumberStopsTheLoadKeepingWhatWasRead)
{
    Window w;
    w.edit->setText("design");
    const QString t = TGUIStatus::ExecutableTime();
    writeLines(path("s.stat"), {t, "0", "0", "90", "80", "1", "F3$$$", "1", "2", "wide", "4", "lost"});
    w.status.Load(path("s.stat"));
    EXPECT_EQ(w.grid->item(0, 0)->text(), "F3");
    EXPECT_EQ(w.edit->pos(), QPoint(1, 2));
    EXPECT_EQ(w.edit->text(), "design");

    // A check mark that is neither a number nor true/false is just as bad.
    Window m;
    writeLines(path("m.stat"), {t, "0", "0", "9", "9", "0", "0", "0", "9", "9", "e", "0", "0", "9", "9",
                                "0", "0", "0", "9", "9", "2", "yes"});
    m.check->setChecked(true);
    m.status.Load(path("m.stat"));
    EXPECT_EQ(m.combo->currentIndex(), 2);
    EXPECT_TRUE(m.check->isChecked());
}

TEST_F(GUIStatusTest, CheckMarkAcceptsWordsAsWellAsNumbers)
{
    for (const auto& [text, checked] : {std::pair{"-1", true}, {"0", false}, {"true", true}, {"FALSE", false}}) {
        QWidget form;
        auto* action = new QAction(&form);
        action->setCheckable(true);
        action->setChecked(!checked);
        TGUIStatus status(&form);
        status.Register(action);
        writeLines(path("c.stat"), {TGUIStatus::ExecutableTime(), text});
        status.Load(path("c.stat"));
        EXPECT_EQ(action->isChecked(), checked) << text;
    }
}

TEST_F(GUIStatusTest, HugeRowCountIsClampedAndLaterEntriesStillLineUp)
{
    Window w;
    w.status.SetMaxGridRows(2);
    const QString t = TGUIStatus::ExecutableTime();
    writeLines(path("s.stat"), {t, "0", "0", "9", "9", "4", "r0", "r1", "r2", "r3", "0", "0", "9", "9", "after"});
    w.status.Load(path("s.stat"));
    EXPECT_EQ(w.grid->rowCount(), 2);
    EXPECT_EQ(w.grid->item(1, 0)->text(), "r1");
    EXPECT_EQ(w.edit->text(), "after");

    Window huge;
    writeLines(path("h.stat"), {t, "0", "0", "9", "9", "9223372036854775807", "r0"});
    huge.status.Load(path("h.stat"));
    EXPECT_EQ(huge.grid->rowCount(), TGUIStatus::DefaultMaxGridRows);
    EXPECT_EQ(huge.grid->item(0, 0)->text(), "r0");

    Window beyond;
    writeLines(path("b.stat"), {t, "0", "0", "9", "9", "99999999999999999999999", "r0"});
    beyond.status.Load(path("b.stat"));
    EXPECT_EQ(beyond.grid->rowCount(), 3);
}

TEST_F(GUIStatusTest, BinaryGarbageNeverCrashesAndNeverFillsTheWindow)
{
    auto* rng = QRandomGenerator::global();
    for (int round = 0; round < 50; ++round) {
        QByteArray junk(int(rng->bounded(1, 4000)), '\0');
        for (char& c : junk)
            c = char(rng->bounded(256));
        // Half the rounds carry this executable's time, so the garbage is read.
        if (round % 2)
            junk.prepend(TGUIStatus::ExecutableTime().toUtf8() + "\r\n");
        QFile f(path("g.stat"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(junk);
        f.close();
        Window w;
        w.status.Load(path("g.stat"));
        EXPECT_LE(w.grid->rowCount(), TGUIStatus::DefaultMaxGridRows);
        if (round % 2 == 0) {
            EXPECT_EQ(w.grid->rowCount(), 3);
        }
    }
}

TEST_F(GUIStatusTest, APipeOrAFolderOfThatNameIsNotRead)
{
    ASSERT_EQ(::mkfifo(path("pipe.stat").toLocal8Bit().constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.stat"));
    Window w;
    w.status.Load(path("pipe.stat"));  // would wait for a writer for ever
    w.status.Load(path("folder.stat"));
    EXPECT_EQ(w.grid->rowCount(), 3);
}

TEST_F(GUIStatusTest, StaleFirstLineLoadsWhenTheRestReadsAsThisWindow)
{
    Window saved;
    setRow(saved.grid, 1, {"F1", "a.txt", "true", "单线启动", ""});
    saved.edit->setText("F5");
    ASSERT_TRUE(saved.status.Save(path("s.stat")));
    QStringList lines = readLines(path("s.stat"));
    lines[0] = "2001-02-03 04:05:06";
    writeLines(path("old.stat"), lines);

    Window w;
    w.status.Load(path("old.stat"));
    EXPECT_EQ(w.grid->item(1, 0)->text(), "F1");
    EXPECT_EQ(w.edit->text(), "F5");

    // A newer build that registers one more control still reads the old file.
    Window more;
    auto* extra = new QLineEdit("design", &more.form);
    more.status.Register(extra);
    more.status.Load(path("old.stat"));
    EXPECT_EQ(more.edit->text(), "F5");
    EXPECT_EQ(extra->text(), "design");
}

TEST_F(GUIStatusTest, StaleFirstLineIsIgnoredWhenTheRestDoesNotRead)
{
    Window saved;
    setRow(saved.grid, 1, {"F1", "a.txt", "true", "", ""});
    saved.edit->setText("F5");
    ASSERT_TRUE(saved.status.Save(path("s.stat")));
    const QStringList good = readLines(path("s.stat"));

    QStringList badNumber = good;
    badNumber[0] = "2001-02-03 04:05:06";
    badNumber[badNumber.size() - 2] = "two";  // the combo's index
    QStringList truncated = good.mid(0, good.size() - 3);
    truncated[0] = badNumber[0];
    QStringList extraLines = good;
    extraLines[0] = badNumber[0];
    extraLines << "somebody else's";
    QStringList notATime = good;
    notATime[0] = "quillon";

    for (const QStringList& lines : {badNumber, truncated, extraLines, notATime}) {
        writeLines(path("old.stat"), lines);
        Window w;
        w.edit->setText("design");
        w.status.Load(path("old.stat"));
        EXPECT_EQ(w.edit->text(), "design") << lines.join('|').toStdString();
        EXPECT_EQ(w.grid->rowCount(), 3);
        EXPECT_EQ(w.grid->item(1, 0), nullptr);
    }
}

TEST_F(GUIStatusTest, FlagsFourKeepsOnlyBoundsAndSevenWritesNothing)
{
    QWidget form;
    auto* four = new QLineEdit("text4", &form);
    auto* seven = new QLineEdit("text7", &form);
    auto* one = new QLineEdit("text1", &form);
    four->setGeometry(1, 2, 3, 4);
    seven->setGeometry(5, 6, 7, 8);
    one->setGeometry(9, 10, 11, 12);
    TGUIStatus status(&form);
    status.Register(four, TGUIStatus::KeepNoContent);
    status.Register(seven, 7);
    status.Register(one, TGUIStatus::KeepNoSize);
    ASSERT_TRUE(status.Save(path("f.stat")));
    EXPECT_EQ(readLines(path("f.stat")).mid(1), QStringList({"1", "2", "3", "4", "9", "10", "text1"}));

    four->setText("changed");
    four->setGeometry(0, 0, 30, 30);
    seven->setText("changed7");
    one->setGeometry(0, 0, 40, 40);
    status.Load();
    EXPECT_EQ(four->geometry(), QRect(1, 2, 3, 4));
    EXPECT_EQ(four->text(), "changed");
    EXPECT_EQ(seven->text(), "changed7");
    EXPECT_EQ(one->geometry(), QRect(9, 10, 40, 40));
}

TEST_F(GUIStatusTest, FileNameIsTheExecutableAndTheOwnerClassAndIsRemembered)
{
    probe::TfrmProbe form;
    TGUIStatus status(&form);
    EXPECT_TRUE(status.DefaultFileName().endsWith("/gui_state_testsTfrmProbe.stat"));
    EXPECT_TRUE(status.FileName().isEmpty());
    status.Load(path("sub/folder/x.stat"));
    EXPECT_TRUE(QFileInfo(path("sub/folder")).isDir());
    EXPECT_EQ(status.FileName(), path("sub/folder/x.stat"));
    ASSERT_TRUE(status.Save());
    EXPECT_TRUE(QFile::exists(path("sub/folder/x.stat")));
}

TEST_F(GUIStatusTest, SaveReportsAFailureAndLeavesTheOldFile)
{
    Window w;
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.stat"));
    EXPECT_FALSE(w.status.Save(path("folder.stat")));
    EXPECT_TRUE(QFileInfo(path("folder.stat")).isDir());

    if (::geteuid() == 0)
        return;  // root writes into read-only folders
    ASSERT_TRUE(w.status.Save(path("s.stat")));
    const QByteArray before = readAll(path("s.stat"));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner);
    w.edit->setText("new");
    const bool saved = w.status.Save(path("s.stat"));
    QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(saved);
    EXPECT_EQ(readAll(path("s.stat")), before);
}

// Another copy of this test program saves in a loop until it is killed; the
// file it leaves must always be one whole save.
TEST_F(GUIStatusTest, ProcessKilledDuringSaveLeavesALoadableFile)
{
    const QString file = path("kill.stat");
    auto* rng = QRandomGenerator::global();
    for (int round = 0; round < 20; ++round) {
        QProcess saver;
        saver.start(QCoreApplication::applicationFilePath(), {"--saver", file, QString::number(kSaverRows)});
        ASSERT_TRUE(saver.waitForStarted());
        ASSERT_TRUE(saver.waitForReadyRead(20000)) << "the saver never finished a first save";
        QThread::msleep(rng->bounded(1, 120));
        saver.kill();  // SIGKILL
        saver.waitForFinished();

        Window w;
        w.status.Load(file);
        ASSERT_EQ(w.grid->rowCount(), kSaverRows) << "round " << round;
        const QString generation = w.edit->text();
        ASSERT_FALSE(generation.isEmpty());
        for (int r = 0; r < kSaverRows; r += 97)
            EXPECT_EQ(w.grid->item(r, 4)->text(), generation + "/" + QString::number(r));
        EXPECT_EQ(w.grid->item(kSaverRows - 1, 4)->text(), generation + "/" + QString::number(kSaverRows - 1));
    }
}

}  // namespace

#include "GUIStatusTest.moc"
