// Prototype declarations for native calls.
//
// A declaration names a callee, lists the types its parameters are converted
// to ("string", "var string", "integer", "var integer", "real", "var real"),
// optionally adds ":" and a result type and ";" and a calling convention:
//     Sum(integer, var integer): integer; stdcall
// is stored under "sum" with the lines "integer", "var integer",
// "var integer" (the last one from the result type) and the convention
// "stdcall". A table belongs to one TCallSys and is used by one thread only.
#pragma once

#include <QString>
#include <QStringList>

#include <deque>

namespace quillon::callsys {

// Address of a function registered by program code. Scripts never supply one.
using ProcAddress = void (*)();

struct TProtoType {
    QString name;            // lower case
    QStringList params;      // one trimmed, lower-case line per parameter
    QString convention;      // lower case; "register" when none was named
    ProcAddress proc = nullptr;
};

class TProtoTypes {
public:
    // The entry named ParseName(declaration): the existing one unchanged, or a
    // new one appended. The reference stays valid as long as the table.
    TProtoType& Add(const QString& declaration, ProcAddress proc);

    // The first entry whose name equals `name` exactly (case-sensitive), or null.
    TProtoType* Find(const QString& name);
    const TProtoType* Find(const QString& name) const;

    int Count() const { return int(m_entries.size()); }
    const TProtoType& At(int index) const { return m_entries.at(size_t(index)); }

    // The text before the first "(", trimmed and lower-cased; "" without "(".
    static QString ParseName(const QString& text);

    // The parameter lines (trimmed, lower-cased, a result type as a last
    // "var <type>" line) joined by CR LF; never fails.
    static QString ParseParams(const QString& text);

    // The text after the last ";" (not the final character), trimmed and
    // lower-cased; "register" when there is none or it is empty.
    static QString ParseConvention(const QString& text);

private:
    std::deque<TProtoType> m_entries;   // a deque keeps references stable
};


}  // namespace quillon::callsys
