#include "QtPrinters.h"
#include "base/ZeMath.h"
#include "desktop/ExtractIcon.h"
#include "desktop/ToolOpener.h"
#include "desktop/ToolSys.h"
#include "desktop/ZenFileList.h"
#include "desktop/ZenToolBar.h"
#include "desktop/ZenToolBarFrmConfig.h"
#include "platform/sim/SimDesktop.h"

#include <QAbstractButton>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QThread>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace quillon;
using namespace quillon::desktop;

namespace {

void writeFile(const QString& path, const QByteArray& text, bool executable = false)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(text);
    f.close();
    if (executable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
}

QString waitForFile(const QString& path)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        QFile f(path);
        if (f.open(QIODevice::ReadOnly)) {
            const QByteArray text = f.readAll();
            if (text.endsWith('\n'))
                return QString::fromUtf8(text).trimmed();
        }
        QThread::msleep(20);
    }
    return {};
}

// A tools folder: capitals in names, subfolders two deep, a file that is
// not a tool, a program without a suffix and a link back up the tree.
class ToolsFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        root = tmp.path() + "/tools";
        writeFile(root + "/A.EXE", "x");
        writeFile(root + "/notes.txt", "x");
        writeFile(root + "/sub/b.exe", "x");
        writeFile(root + "/sub/deeper/c.Exe", "x");
        writeFile(root + "/sub/run", "#!/bin/sh\n", true);
        QFile::link(root, root + "/sub/loop");
    }
    QStringList list(TListMode mode, const QString& mask, bool executables = false)
    {
        TZenFileList files;
        files.ListMode = mode;
        files.Mask = mask;
        files.DirPath = root;
        files.IncludeExecutables = executables;
        files.Refresh();
        QStringList relative;
        for (const QString& p : files.Result())
            relative << p.mid(root.size() + 1);
        return relative;
    }
    QTemporaryDir tmp;
    QString root;
};

}  // namespace

TEST_F(ToolsFolder, FilesAreFoundBreadthFirstWithSuffixesMatchedInAnyCase)
{
    EXPECT_EQ(list(TListMode::lmFile, ".exe"), QStringList({"A.EXE", "sub/b.exe", "sub/deeper/c.Exe"}));
    EXPECT_EQ(list(TListMode::lmFile, ".EXE"), list(TListMode::lmFile, ".exe"));
    EXPECT_EQ(list(TListMode::lmFileNoSub, ".exe"), QStringList({"A.EXE"}));
    const QStringList all = list(TListMode::lmFile, ".*");
    EXPECT_EQ(all.size(), 5);
    EXPECT_TRUE(all.contains("notes.txt") && all.contains("sub/run"));
    // Several suffixes, empty pieces ignored rather than matching everything.
    EXPECT_EQ(list(TListMode::lmFile, ";.txt;;"), QStringList({"notes.txt"}));
    EXPECT_TRUE(list(TListMode::lmFile, "").isEmpty());
    // Programs are tools whatever their name.
    EXPECT_EQ(list(TListMode::lmFile, ".txt", true), QStringList({"notes.txt", "sub/run"}));
}

TEST_F(ToolsFolder, EveryListModeListsWhatItsNameSays)
{
    QStringList dirs = list(TListMode::lmDir, ".*");
    EXPECT_EQ(dirs.first(), "sub");
    EXPECT_TRUE(dirs.contains("sub/deeper") && dirs.contains("sub/loop"));
    EXPECT_EQ(list(TListMode::lmDirNoSub, ".*"), QStringList({"sub"}));
    const QStringList top = list(TListMode::lmAllNosub, ".exe");
    EXPECT_EQ(top.size(), 2);
    EXPECT_TRUE(top.contains("A.EXE") && top.contains("sub"));
    const QStringList everything = list(TListMode::lmAll, ".exe");
    EXPECT_EQ(everything.size(), 6);  // 3 folders (the link once) and 3 programs
    EXPECT_LT(everything.indexOf("A.EXE"), everything.indexOf("sub/b.exe"));
    EXPECT_LT(everything.indexOf("sub/b.exe"), everything.indexOf("sub/deeper/c.Exe"));
}

TEST_F(ToolsFolder, ToolBarGetsOneButtonPerToolAt39PixelSteps)
{
    writeFile(root + "/sub/deeper/tool.desktop", "[Desktop Entry]\nType=Application\nExec=true\nIcon=" + (tmp.path() + "/icon.png").toUtf8() + "\n");
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::red);
    ASSERT_TRUE(image.save(tmp.path() + "/icon.png"));

    TZenToolBar bar;
    TToolSys tools;
    tools.HostLoader = &bar;
    tools.ToolDir = root;
    tools.Load();
    const auto& buttons = bar.controls();
    ASSERT_EQ(buttons.size(), 5u);  // A.EXE, b.exe, run, c.Exe, tool.desktop
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        EXPECT_EQ(buttons[i]->geometry(), QRect(int(i) * 39, 0, 39, 39));
        EXPECT_EQ(buttons[i]->focusPolicy(), Qt::NoFocus);
    }
    EXPECT_EQ(buttons[0]->toolTip(), root + "/A.EXE");
    EXPECT_EQ(buttons[4]->toolTip(), root + "/sub/deeper/tool.desktop");
    // The entry's own icon; a file whose type has no icon gets none.
    EXPECT_FALSE(buttons[4]->icon().isNull());
    EXPECT_TRUE(buttons[0]->icon().isNull());
}

TEST_F(ToolsFolder, MenuLaunchersAreCaptionedWithTheFileName)
{
    writeFile(tmp.path() + "/other/calc.exe", "x");
    QMenu menu;
    TToolSys tools;
    tools.HostLoader = &menu;
    tools.ToolDir = tmp.path() + "/other";
    tools.Load();
    ASSERT_EQ(menu.actions().size(), 1);
    EXPECT_EQ(menu.actions()[0]->text(), "calc.exe(&Z)");
    EXPECT_EQ(menu.actions()[0]->toolTip(), tmp.path() + "/other/calc.exe");
}

TEST(ExtractIcon, DesktopEntriesShowTheIconTheyName)
{
    QTemporaryDir tmp;
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::blue);
    ASSERT_TRUE(image.save(tmp.path() + "/i.png"));
    writeFile(tmp.path() + "/a.desktop", "[Desktop Entry]\nIcon=" + (tmp.path() + "/i.png").toUtf8() + "\n");
    writeFile(tmp.path() + "/b.desktop", "[Desktop Entry]\nIcon=" + (tmp.path() + "/gone.png").toUtf8() + "\n");
    TExtractIcon icons;
    const QPixmap a = TExtractIcon::IconToBitmap(icons.GetIcon(tmp.path() + "/a.desktop"), QSize(16, 16));
    ASSERT_FALSE(a.isNull());
    EXPECT_EQ(a.toImage().pixelColor(8, 8), QColor(Qt::blue));
    EXPECT_TRUE(icons.GetIcon(tmp.path() + "/a.desktop", 1).isNull());
    EXPECT_TRUE(icons.GetIcon(tmp.path() + "/b.desktop").isNull());
    EXPECT_TRUE(TExtractIcon::IconToBitmap(QIcon(), QSize(16, 16)).isNull());
}

TEST(ExtractIcon, OtherFilesShowTheThemeIconOfTheirType)
{
    // A theme of the test's own holding one icon: that of shell scripts.
    QTemporaryDir tmp;
    writeFile(tmp.path() + "/icons/probe/index.theme",
              "[Icon Theme]\nName=probe\nDirectories=16x16/mimetypes\n\n"
              "[16x16/mimetypes]\nSize=16\nContext=MimeTypes\nType=Fixed\n");
    QImage image(16, 16, QImage::Format_ARGB32);
    image.fill(Qt::green);
    QDir().mkpath(tmp.path() + "/icons/probe/16x16/mimetypes");
    ASSERT_TRUE(image.save(tmp.path() + "/icons/probe/16x16/mimetypes/application-x-shellscript.png"));
    const QStringList oldPaths = QIcon::themeSearchPaths();
    const QString oldTheme = QIcon::themeName();
    QIcon::setThemeSearchPaths({tmp.path() + "/icons"});
    QIcon::setThemeName("probe");

    writeFile(tmp.path() + "/run.sh", "#!/bin/sh\n", true);
    writeFile(tmp.path() + "/data.bin", QByteArray(64, '\0'));
    TExtractIcon icons;
    const QPixmap script = TExtractIcon::IconToBitmap(icons.GetIcon(tmp.path() + "/run.sh"), QSize(16, 16));
    const bool dataHasIcon = !icons.GetIcon(tmp.path() + "/data.bin").isNull();
    QIcon::setThemeName(oldTheme);
    QIcon::setThemeSearchPaths(oldPaths);

    ASSERT_FALSE(script.isNull());
    EXPECT_EQ(script.toImage().pixelColor(8, 8), QColor(Qt::green));
    EXPECT_FALSE(dataHasIcon);
}

TEST(ToolOpener, ProgramsAndEntriesStartInTheToolsFolderOthersGoToTheShell)
{
    QTemporaryDir tmp;
    const QString tools = tmp.path() + "/tools";
    writeFile(tools + "/where.sh", "#!/bin/sh\npwd > \"$0.out\"\n", true);
    writeFile(tools + "/entry.desktop",
              "[Desktop Entry]\nType=Application\nExec=sh -c \"pwd > '" + tmp.path().toUtf8()
                  + "/entry.out'\" %f\n");
    writeFile(tools + "/readme.txt", "x");

    platform::SimDesktop sim;
    ASSERT_TRUE(openTool(tools + "/where.sh", tools, &sim.shell()));
    EXPECT_EQ(waitForFile(tools + "/where.sh.out"), tools);
    ASSERT_TRUE(openTool(tools + "/entry.desktop", tools, &sim.shell()));
    EXPECT_EQ(waitForFile(tmp.path() + "/entry.out"), tools);
    EXPECT_TRUE(sim.events().empty());

    EXPECT_TRUE(openTool(tools + "/readme.txt", tools, &sim.shell()));
    const auto events = sim.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].text, tools + "/readme.txt|" + tools);
    EXPECT_FALSE(openTool(tools + "/readme.txt", tools, nullptr));
}

TEST(ZenToolBar, HiddenControlsTakeNoRoomAndTheConfigurationComesBack)
{
    QTemporaryDir tmp;
    auto makeBar = [](TZenToolBar& bar) {
        for (const char* name : {"one", "two", "three"}) {
            auto* b = new QToolButton;
            b->setFixedSize(39, 39);
            b->setText(name);
            bar.addControl(b);
        }
    };
    TZenToolBar bar;
    makeBar(bar);
    bar.ConfigFile = tmp.path() + "/cfg/toolbar.cfg";
    QDir().mkpath(tmp.path() + "/cfg");

    // The configuration window hides "two" and renames "three".
    TZenToolBarFrmConfig* config = bar.configWindow();
    config->fill();
    QTableWidget* grid = config->grid();
    ASSERT_EQ(grid->rowCount(), 3);
    EXPECT_EQ(grid->item(2, 1)->text(), "three");
    grid->item(1, 0)->setCheckState(Qt::Checked);
    grid->item(2, 1)->setText("drei");
    EXPECT_TRUE(bar.controls()[1]->isHidden());
    EXPECT_EQ(bar.controls()[2]->x(), 39);
    EXPECT_EQ(bar.controls()[2]->text(), "drei");
    config->close();

    QFile saved(bar.ConfigFile);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), "one\ntwo\ndrei\n1\n");
    saved.close();

    TZenToolBar again;
    makeBar(again);
    again.ConfigFile = bar.ConfigFile;
    ASSERT_TRUE(again.LoadConfig());
    EXPECT_TRUE(again.controls()[1]->isHidden());
    EXPECT_FALSE(again.controls()[2]->isHidden());
    EXPECT_EQ(again.controls()[2]->text(), "drei");
    EXPECT_EQ(again.controls()[2]->x(), 39);
    config = again.configWindow();
    config->fill();
    EXPECT_EQ(config->grid()->item(1, 0)->checkState(), Qt::Checked);
}

TEST(ZenToolBar, AConfigurationThatNoLongerFitsIsNotApplied)
{
    QTemporaryDir tmp;
    TZenToolBar bar;
    for (int i = 0; i < 2; ++i) {
        auto* b = new QToolButton;
        b->setText(QString::number(i));
        bar.addControl(b);
    }
    bar.ConfigFile = tmp.path() + "/toolbar.cfg";
    writeFile(bar.ConfigFile, "x\ny\n5\n");  // index 5: saved with other tools
    EXPECT_FALSE(bar.LoadConfig());
    EXPECT_EQ(bar.controls()[0]->text(), "0");
    EXPECT_FALSE(bar.controls()[0]->isHidden());
    writeFile(bar.ConfigFile, "only one\n");
    EXPECT_FALSE(bar.LoadConfig());
    bar.ConfigFile.clear();
    EXPECT_FALSE(bar.SaveConfig());
}
