#include "QtPrinters.h"
#include "desktop/DesktopEntry.h"
#include "desktop/ZenShortCut.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quillon::desktop;

namespace {

QString ownExecutable()
{
    return QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
}

// Points the XDG folders at a temporary tree for the life of the test.
class AutostartFolders : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(tmp.isValid());
        user = tmp.path() + "/home-config";
        system = tmp.path() + "/etc-xdg";
        qputenv("XDG_CONFIG_HOME", user.toUtf8());
        qputenv("XDG_CONFIG_DIRS", (system + ":" + tmp.path() + "/second").toUtf8());
    }
    void TearDown() override
    {
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_CONFIG_DIRS");
    }
    // A folder that can never be created: its parent is a plain file.
    QString unwritableConfigDir()
    {
        QFile blocker(tmp.path() + "/blocker");
        EXPECT_TRUE(blocker.open(QIODevice::WriteOnly));
        return blocker.fileName() + "/xdg";
    }

    QTemporaryDir tmp;
    QString user;
    QString system;
};

}  // namespace

TEST(DesktopEntry, ExecArgumentsSurviveQuotingAndEscaping)
{
    QTemporaryDir tmp;
    const QStringList awkward{"/opt/my tools/run", "a\"b", "$HOME", "back\\slash", "50%", "`x`", ""};
    QString exec;
    for (const QString& a : awkward)
        exec += (exec.isEmpty() ? "" : " ") + quoteExecArgument(a);
    DesktopEntry entry;
    entry.setValue("Exec", exec);
    entry.setValue("Name", " leading blank\tand tab");
    const QString file = tmp.path() + "/x.desktop";
    ASSERT_TRUE(entry.write(file));

    const auto back = DesktopEntry::read(file);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->value("Name"), " leading blank\tand tab");
    const auto parts = splitExec(back->value("Exec"));
    ASSERT_TRUE(parts.has_value());
    EXPECT_EQ(*parts, awkward);
}

TEST(DesktopEntry, FieldCodesAreDroppedAndBrokenCommandsRefused)
{
    EXPECT_EQ(splitExec("gimp %U --name=%c"), QStringList({"gimp", "--name="}));
    EXPECT_EQ(splitExec("tool %% %f"), QStringList({"tool", "%"}));
    EXPECT_FALSE(splitExec("\"unterminated arg").has_value());
    EXPECT_FALSE(splitExec("   ").has_value());
    EXPECT_FALSE(splitExec("%f").has_value());
}

TEST_F(AutostartFolders, AllUsersWritesTheFirstSystemFolderWhenItCanBeWritten)
{
    TZenShortCut shortcut;
    EXPECT_EQ(shortcut.StartupFolder(), system + "/autostart");
    shortcut.AllorMe = TAllorMe::amOnlyMe;
    EXPECT_EQ(shortcut.StartupFolder(), user + "/autostart");

    qputenv("XDG_CONFIG_DIRS", unwritableConfigDir().toUtf8());
    shortcut.AllorMe = TAllorMe::amAllUser;
    EXPECT_EQ(shortcut.StartupFolder(), user + "/autostart");

    qunsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(systemAutostartFolders(), QStringList{"/etc/xdg/autostart"});
}

TEST_F(AutostartFolders, StartupEntryStartsTheProgramHiddenInItsOwnFolder)
{
    TZenShortCut shortcut;
    const QString file = shortcut.CreateStartupShortCut("hide");
    const QString exe = ownExecutable();
    EXPECT_EQ(file, system + "/autostart/" + QFileInfo(exe).fileName() + ".desktop");

    const auto entry = DesktopEntry::read(file);
    ASSERT_TRUE(entry.has_value());
    EXPECT_EQ(entry->value("Type"), "Application");
    const auto command = splitExec(entry->value("Exec"));
    ASSERT_TRUE(command.has_value());
    EXPECT_EQ(*command, QStringList({exe, "hide"}));
    EXPECT_EQ(entry->value("Path"), QFileInfo(exe).absolutePath() + "/");
    EXPECT_TRUE(shortcut.StartupShortCutExists());

    // A second time overwrites the same file and leaves no other.
    EXPECT_EQ(shortcut.CreateStartupShortCut("hide"), file);
    EXPECT_EQ(QDir(system + "/autostart").entryList(QDir::Files).size(), 1);
    EXPECT_FALSE(QDir(user + "/autostart").exists());
}

TEST_F(AutostartFolders, ShortcutNamesGetTheEntrySuffixUnlessTheyHaveItInAnyCase)
{
    TZenShortCut shortcut;
    const QString dir = tmp.path() + "/links";
    EXPECT_EQ(shortcut.CreateShortCut(dir + "/tool.exe", "-x", "/opt/p/tool.exe"),
              dir + "/tool.exe.desktop");
    EXPECT_EQ(shortcut.CreateShortCut(dir + "/Tool.DESKTOP", "", "/opt/p/tool.exe"),
              dir + "/Tool.DESKTOP");
    EXPECT_TRUE(QFileInfo::exists(dir + "/Tool.DESKTOP"));
    EXPECT_FALSE(QFileInfo::exists(dir + "/Tool.DESKTOP.desktop"));
    // The properties follow the last shortcut made.
    EXPECT_EQ(shortcut.ApplicationPath, "/opt/p/tool.exe");
    EXPECT_EQ(shortcut.WorkingDirectory, "/opt/p/");
    EXPECT_EQ(shortcut.ParamString, "");
}

TEST_F(AutostartFolders, RemovingTakesAwayOurEntriesFromEveryFolder)
{
    TZenShortCut shortcut;
    shortcut.CreateStartupShortCut("hide");
    shortcut.AllorMe = TAllorMe::amOnlyMe;
    const QString userFile = shortcut.CreateStartupShortCut("hide");
    ASSERT_FALSE(userFile.isEmpty());

    EXPECT_TRUE(shortcut.RemoveStartupShortCut());
    EXPECT_FALSE(shortcut.StartupShortCutExists());
    EXPECT_TRUE(QDir(system + "/autostart").isEmpty());
    EXPECT_TRUE(QDir(user + "/autostart").isEmpty());
}

TEST_F(AutostartFolders, AnEntryTheUserWroteIsNeverRemoved)
{
    QDir().mkpath(user + "/autostart");
    const QString file = user + "/autostart/" + TZenShortCut::startupEntryName();
    QFile own(file);
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.write("[Desktop Entry]\nType=Application\nExec=/usr/bin/true\n");
    own.close();

    TZenShortCut shortcut;
    EXPECT_TRUE(shortcut.StartupShortCutExists());
    EXPECT_FALSE(shortcut.RemoveStartupShortCut());
    EXPECT_TRUE(QFileInfo::exists(file));
}

TEST_F(AutostartFolders, ASystemEntryWeMayNotRemoveIsHiddenForThisUser)
{
    // An entry an administrator put into the system folder stays; unchecking
    // turns it off for this user with a hiding entry of the same name, and
    // checking again takes that hiding entry away.
    QDir().mkpath(system + "/autostart");
    const QString name = TZenShortCut::startupEntryName();
    QFile admin(system + "/autostart/" + name);
    ASSERT_TRUE(admin.open(QIODevice::WriteOnly));
    admin.write("[Desktop Entry]\nType=Application\nExec=/usr/bin/true hide\n");
    admin.close();

    TZenShortCut shortcut;
    EXPECT_TRUE(shortcut.StartupShortCutExists());
    EXPECT_TRUE(shortcut.RemoveStartupShortCut());
    EXPECT_FALSE(shortcut.StartupShortCutExists());
    EXPECT_TRUE(QFileInfo::exists(admin.fileName()));
    const auto hiding = DesktopEntry::read(user + "/autostart/" + name);
    ASSERT_TRUE(hiding.has_value());
    EXPECT_EQ(hiding->value("Hidden"), "true");

    shortcut.CreateStartupShortCut("hide");
    EXPECT_TRUE(shortcut.StartupShortCutExists());
    EXPECT_FALSE(QFileInfo::exists(user + "/autostart/" + name));
}
