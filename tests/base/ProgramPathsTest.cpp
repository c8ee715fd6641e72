#include "base/ProgramPaths.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace quillon::base;

TEST(ProgramPaths, AProgramBesideItsOwnFilesIsPortable)
{
    QTemporaryDir tmp;
    QDir().mkpath(tmp.path() + "/build/bin");
    const ProgramLayout layout = programLayoutFor(tmp.path() + "/build/bin", tmp.path() + "/data");
    EXPECT_FALSE(layout.installed);
    EXPECT_EQ(layout.dataDirectory.toStdString(), (tmp.path() + "/build/bin/").toStdString());
    EXPECT_TRUE(layout.sharedDirectory.isEmpty());
}

TEST(ProgramPaths, AnInstalledProgramKeepsItsFilesInTheUsersDataFolder)
{
    QTemporaryDir tmp;
    QDir().mkpath(tmp.path() + "/prefix/bin");
    QDir().mkpath(tmp.path() + "/prefix/share/quillon");
    ProgramLayout layout = programLayoutFor(tmp.path() + "/prefix/bin/", tmp.path() + "/data");
    EXPECT_TRUE(layout.installed);
    EXPECT_EQ(layout.dataDirectory.toStdString(), (tmp.path() + "/data/quillon/").toStdString());
    EXPECT_EQ(layout.sharedDirectory.toStdString(),
              (tmp.path() + "/prefix/share/quillon/").toStdString());

    // A relative or missing XDG_DATA_HOME means the default under home.
    layout = programLayoutFor(tmp.path() + "/prefix/bin", "relative/data");
    EXPECT_EQ(layout.dataDirectory.toStdString(),
              (QDir::homePath() + "/.local/share/quillon/").toStdString());
}
