// A parsed line: a compact tree of nodes in flat vectors, with variables
// already resolved to slots of the host's global scope. Programs are built
// once per distinct text and cached by the host; they never change afterwards.
#pragma once

#include "script/vbs/NumberCode.h"
#include "script/vbs/Operators.h"
#include "script/vbs/Value.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <string>
#include <vector>

namespace quillon::vbs {

// A name as a lookup key: ASCII letters folded to lower case, as names are
// matched in the language; other characters are kept as they are.
std::u16string lowerKey(QStringView s);

enum class NodeKind : uint8_t {
    Constant,   // a: index into constants
    Variable,   // a: slot; name
    Negate,     // a: operand
    Not,        // a: operand
    Binary,     // op; a, b: operands
    Builtin,    // a: builtin index; args
    Index,      // a: slot; name; args: a(i, j) or a call of an unknown name
    Member,     // a: object node; name; args when hasArgs
    Apply,      // a: a call's node; args: indexes into its result, Split(s, ",")(1)
    ErrObject,  // the Err object (its Number where a value is wanted)
    Missing,    // an omitted argument: f(1, , 2)
};

enum NodeFlags : uint8_t {
    kLiteral = 1,   // a literal constant (the typed-comparison rule)
    kHasArgs = 2,   // written with an argument list (possibly empty)
    kCompleteArgs = 4,  // a built-in's arguments: none omitted, a count it takes
};

struct Node {
    NodeKind kind = NodeKind::Constant;
    BinaryOp op = BinaryOp::Add;
    uint8_t flags = 0;
    int32_t a = -1;
    int32_t b = -1;
    int32_t firstArg = 0;   // into Program::args
    int32_t argCount = 0;
    int32_t name = -1;      // into Program::names
    int32_t column = 0;
};

enum class StmtKind : uint8_t {
    Assign,          // target = value
    SetAssign,       // Set target = value
    AppendAssign,    // x = x & value, appended in place
    Call,            // value is a call; its result is dropped
    Dim,             // decls
    ReDim,           // decls, preserve
    Const,           // decls
    Erase,           // decls
    OptionExplicit,
    OnErrorResumeNext,
    OnErrorGoto0,
};

struct Decl {
    int32_t slot = -1;
    int32_t name = -1;
    int32_t firstDim = 0;   // into Program::args: nodes of the bounds
    int32_t dimCount = 0;
    bool array = false;     // declared with parentheses
    int32_t value = -1;     // Const: the constant's node
};

struct Stmt {
    StmtKind kind = StmtKind::Call;
    bool preserve = false;
    int32_t target = -1;
    int32_t value = -1;
    int32_t firstDecl = 0;
    int32_t declCount = 0;
    int32_t column = 0;
};

struct Program {
    std::vector<Node> nodes;
    std::vector<int32_t> args;
    std::vector<Value> constants;
    std::vector<QString> names;
    std::vector<Stmt> stmts;
    std::vector<Decl> decls;
    int32_t root = -1;          // the expression of an Eval
    NumberCode numbers;         // the flat form, when the line has one

    int errorNumber = 0;        // a compile error: the line never runs
    int errorColumn = 0;
    QString errorDescription;
};

// The host's table of global names: the parser asks it for a slot per name.
class SlotResolver {
public:
    virtual ~SlotResolver() = default;
    // The slot for `name` (any case), created on first use; -1 when the
    // table is full.
    virtual int32_t slotFor(QStringView name) = 0;
};

// Parses `text` as one Eval expression (expression = true) or as a statement
// line. Syntax errors are stored in the program, never thrown.
Program parseProgram(QStringView text, bool expression, SlotResolver& resolver);

}  // namespace quillon::vbs
