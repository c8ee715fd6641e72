#include "script/vbs/NumberCode.h"

#include "script/vbs/Program.h"

#include <algorithm>

namespace quillon::vbs {

namespace {

bool flatOperator(BinaryOp op)
{
    switch (op) {
    case BinaryOp::Add:
    case BinaryOp::Sub:
    case BinaryOp::Mul:
    case BinaryOp::Div:
    case BinaryOp::IntDiv:
    case BinaryOp::Mod:
    case BinaryOp::Eq:
    case BinaryOp::Ne:
    case BinaryOp::Lt:
    case BinaryOp::Gt:
    case BinaryOp::Le:
    case BinaryOp::Ge: return true;
    default: return false;
    }
}

// Appends node `index` in postfix order; false when it has no flat form.
// `depth` is the stack's height before the node, `most` the highest seen.
bool appendNode(const Program& p, int32_t index, NumberCode& code, int32_t depth, int32_t& most)
{
    if (index < 0 || static_cast<size_t>(index) >= p.nodes.size() || depth >= kMaxNumberDepth)
        return false;
    const Node& n = p.nodes[static_cast<size_t>(index)];
    NumberOp op;
    switch (n.kind) {
    case NodeKind::Constant: {
        const Value& v = p.constants[static_cast<size_t>(n.a)];
        Number number{v.type(), {0}};
        if (v.type() == Value::Type::Integer || v.type() == Value::Type::Long)
            number.i = v.integralValue();
        else if (v.type() == Value::Type::Double)
            number.d = v.floatValue();
        else
            return false;
        op.code = NumberOp::Code::Constant;
        op.a = static_cast<int32_t>(code.constants.size());
        code.constants.push_back(number);
        break;
    }
    case NodeKind::Variable:
        op.code = NumberOp::Code::Variable;
        op.a = n.a;
        break;
    case NodeKind::Binary:
        if (!flatOperator(n.op) || !appendNode(p, n.a, code, depth, most) || !appendNode(p, n.b, code, depth + 1, most))
            return false;
        // A leaf on the right joins the operation.
        if (code.ops.back().code == NumberOp::Code::Constant)
            code.ops.back().code = NumberOp::Code::BinaryConstant;
        else if (code.ops.back().code == NumberOp::Code::Variable)
            code.ops.back().code = NumberOp::Code::BinaryVariable;
        else
            code.ops.push_back({NumberOp::Code::Binary, n.op, -1});
        code.ops.back().op = n.op;
        return true;
    default: return false;
    }
    most = std::max(most, depth + 1);
    code.ops.push_back(op);
    return true;
}

}  // namespace

NumberCode buildNumberCode(const Program& program)
{
    NumberCode code;
    if (program.errorNumber != 0)
        return code;
    int32_t root = program.root;
    int32_t target = -1;
    if (root < 0) {
        // A statement line of one plain assignment to a variable.
        if (program.stmts.size() != 1 || program.stmts[0].kind != StmtKind::Assign)
            return code;
        const Stmt& s = program.stmts[0];
        const Node& t = program.nodes[static_cast<size_t>(s.target)];
        if (t.kind != NodeKind::Variable)
            return code;
        root = s.value;
        target = t.a;
    }
    int32_t most = 0;
    if (!appendNode(program, root, code, 0, most)) {
        code = NumberCode();
        return code;
    }
    code.depth = most;
    code.target = target;
    return code;
}

}  // namespace quillon::vbs
