// The layering holds by itself: every #include "folder/..." under src/ names
// the file's own folder or one that its row of the layer table in
// docs/design.md lets it use.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

const QString kRoot = QStringLiteral(QUILLON_SOURCE_DIR);

// folder -> the folders it may use, from the table's rows: | `folder/` | ... | uses |
std::map<QString, std::set<QString>> layerTable()
{
    QFile doc(kRoot + QStringLiteral("/docs/design.md"));
    if (!doc.open(QIODevice::ReadOnly))
        return {};
    static const QRegularExpression row(QStringLiteral(R"(^\|\s*`([a-z/]+)/`\s*\|.*\|([^|]*)\|\s*$)"));
    static const QRegularExpression folder(QStringLiteral("`([a-z/]+)/`"));
    std::map<QString, std::set<QString>> table;
    for (const QString& line : QString::fromUtf8(doc.readAll()).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = row.match(line.trimmed());
        if (!m.hasMatch())
            continue;
        std::set<QString>& uses = table[m.captured(1)];
        for (auto it = folder.globalMatch(m.captured(2)); it.hasNext();)
            uses.insert(it.next().captured(1));
    }
    return table;
}

// The folder of the table a path under src/ belongs to: the longest match.
QString folderOf(const QString& path, const std::map<QString, std::set<QString>>& table)
{
    QString best;
    for (const auto& [folder, uses] : table) {
        if (path.startsWith(folder + QLatin1Char('/')) && folder.size() > best.size())
            best = folder;
    }
    return best;
}

TEST(Layering, TableCoversEveryFolderOfTheSources)
{
    const auto table = layerTable();
    ASSERT_GE(table.size(), 8u) << "the layer table of docs/design.md was not found";
    for (const QString& dir : QDir(kRoot + QStringLiteral("/src")).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        EXPECT_TRUE(table.count(dir)) << dir.toStdString() << "/ has no row in the layer table";
}

TEST(Layering, NoFileIncludesAFolderItsLayerMayNotUse)
{
    const auto table = layerTable();
    ASSERT_FALSE(table.empty());
    static const QRegularExpression include(QStringLiteral(R"(^\s*#\s*include\s+"([^"]+)\")"),
                                            QRegularExpression::MultilineOption);
    const QString src = kRoot + QStringLiteral("/src/");
    int files = 0;
    for (QDirIterator it(src, {QStringLiteral("*.h"), QStringLiteral("*.cpp")}, QDir::Files,
                         QDirIterator::Subdirectories);
         it.hasNext();) {
        const QString path = it.next();
        const QString relative = path.mid(src.size());
        const QString own = folderOf(relative, table);
        if (own.isEmpty())
            continue;
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
        ++files;
        for (auto m = include.globalMatch(QString::fromUtf8(file.readAll())); m.hasNext();) {
            const QString target = folderOf(m.next().captured(1), table);
            if (target.isEmpty() || target == own)
                continue;
            EXPECT_TRUE(table.at(own).count(target))
                << relative.toStdString() << " includes " << target.toStdString() << "/, which "
                << own.toStdString() << "/ may not use";
        }
    }
    EXPECT_GT(files, 50);
}

}  // namespace
