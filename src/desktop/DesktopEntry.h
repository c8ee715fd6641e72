// The XDG desktop entry format (".desktop" files): the keys of the
// "[Desktop Entry]" group, read and written with the format's escapes, and
// the quoting rules of its Exec key. Autostart entries and `.desktop` tools
// both go through here.
#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>
#include <vector>

namespace quillon::desktop {

class DesktopEntry {
public:
    // Reads the "[Desktop Entry]" group of `path`; nullopt when the file
    // cannot be read or has no such group.
    static std::optional<DesktopEntry> read(const QString& path);

    // The unescaped value of `key` (exact key, no locale); empty when absent.
    QString value(const QString& key) const;
    bool contains(const QString& key) const;
    // Sets `key` (kept in first-set order); the value is escaped on writing.
    void setValue(const QString& key, const QString& value);

    // Writes the group to `path` through a temporary file renamed over it.
    bool write(const QString& path) const;

private:
    std::vector<std::pair<QString, QString>> m_keys;
};

// `argument` as one argument of an Exec value: quoted when it holds a blank
// or a reserved character, `"`, `` ` ``, `$` and `\` escaped inside quotes.
QString quoteExecArgument(const QString& argument);

// Splits an (unescaped) Exec value into program and arguments. Field codes
// (%f, %u, ...) are dropped, "%%" becomes "%". nullopt for an unterminated
// quote or an empty command.
std::optional<QStringList> splitExec(const QString& exec);

}  // namespace quillon::desktop
