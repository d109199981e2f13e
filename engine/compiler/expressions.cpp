// The expression side of the token loop: operands are emitted as soon as they
// are known, operators wait on the item stack until one of lower or equal
// priority, a closing bracket or the end releases them.
#include <string>

#include "compiler/parser.h"

using namespace compiler;

namespace {

// The operand word of assignments and increments: bits 0-15 the no-result
// flag (set later when the value is not used), 16-31 the operator or increment
// kind, 32-63 the variable index.
uint64_t packed(int32_t index, uint32_t sub)
{
    return (static_cast<uint64_t>(static_cast<uint32_t>(index)) << 32) | (static_cast<uint64_t>(sub & 0xFFFF) << 16);
}

bool assignment(int32_t t)
{
    switch (t) {
    case '=': case tOrEq: case tAndEq: case tAddEq: case tSubEq: case tMulEq: case tDivEq:
    case tModEq: case tXorEq: case tShlEq: case tShrEq:
        return true;
    default:
        return false;
    }
}

execfn binaryop(int32_t t)
{
    switch (t) {
    case '+': return &ExeScr::add_exec;
    case '-': return &ExeScr::subtract_exec;
    case '*': return &ExeScr::mul_exec;
    case '/': return &ExeScr::div_exec;
    case '%': return &ExeScr::mod_exec;
    case '<': return &ExeScr::lt_exec;
    case '>': return &ExeScr::gt_exec;
    case tLe: return &ExeScr::le_exec;
    case tGe: return &ExeScr::ge_exec;
    case tEq: return &ExeScr::eq_exec;
    case tNe: return &ExeScr::ne_exec;
    case tShl: return &ExeScr::shl_exec;
    case tShr: return &ExeScr::shr_exec;
    case '&': return &ExeScr::band_exec;
    case '|': return &ExeScr::bor_exec;
    default: return &ExeScr::bxor_exec;
    }
}

// Tokens that end an expression statement.
bool endtoken(int32_t t)
{
    return parser::isend(t) || t == '}' || t == tElse;
}

}  // namespace

// ---- the array index routine

void ExeScr::arrayidx_comp(wchar_t* text)
{
    std::wstring key;
    int32_t count = 0;
    wchar_t* seg = text;
    for (wchar_t* p = text; *p;) {
        if (*p != L'[') {
            ++p;
            continue;
        }
        key.append(seg, p + 1);
        int depth = 0;
        wchar_t* close = p;
        for (;; ++close) {
            if (*close == 0)
                myerrexit(L"%s", L"Cannot find ] error");
            if (*close == L'[')
                ++depth;
            else if (*close == L']' && --depth == 0)
                break;
        }
        *close = 0;
        const int32_t ok = compscr(p + 1, 1);
        *close = L']';
        if (!ok)
            comperr(L"invalid number error.");
        ++count;
        seg = close;
        p = close + 1;
    }
    key.append(seg);
    if (count == 0)
        myerrexit(L"%s", L"no [] pair in array variable.");
    if (count > 3)
        myerrexit(L"%s", L"No support for over 4 indexes in array variable.");
    if (key.size() > static_cast<size_t>(arraynamemax))
        key.resize(arraynamemax);
    const int32_t a = arrayfind(key.c_str());
    emitcell(&ExeScr::arrayindex_run);
    emitu64((static_cast<uint64_t>(static_cast<uint32_t>(a)) << 32) | (static_cast<uint64_t>(count) << 16));
}

namespace compiler {

int32_t parser::precedence(int32_t t)
{
    switch (t) {
    case '?': case ':': return 3;
    case tOrOr: return 4;
    case tAndAnd: return 5;
    case '|': return 6;
    case '^': return 7;
    case '&': return 8;
    case tEq: case tNe: return 9;
    case '<': case '>': case tLe: case tGe: return 10;
    case tShl: case tShr: return 11;
    case '+': case '-': return 12;
    case '*': case '/': case '%': return 13;
    default: return assignment(t) ? 2 : 0;
    }
}

void parser::arrayindex(const parseitem& v)
{
    wchar_t* t = v.text;
    const int32_t len = v.namebounds[1];
    const wchar_t saved = t[len];
    t[len] = 0;
    e.arrayidx_comp(t);
    t[len] = saved;
}

void parser::emitvar(execfn f, const parseitem& v, uint32_t sub)
{
    if (v.namebounds[0] == 2) {
        arrayindex(v);
        e.emitcell(f);
        e.emitu64(packed(0, sub));
    } else {
        e.emitcell(f);
        e.emitu64(packed(v.aux, sub));
    }
}

// Reads a variable: `plain` with the index as operand, or for an array element
// the index code and then `element`.
void parser::emitread(const parseitem& v, execfn plain, execfn element)
{
    if (v.namebounds[0] == 2) {
        arrayindex(v);
        e.emitcell(element);
    } else {
        e.emitcell(plain);
        e.emitint(v.aux);
    }
}

// A variable's value: its number, or (asstring) its text.
void parser::emitvalue(const parseitem& v, bool asstring)
{
    if (asstring)
        emitread(v, &ExeScr::var2str, &ExeScr::pushvarstr_exec);
    else
        emitread(v, &ExeScr::pushvar_exec, &ExeScr::pushvarx_exec);
}

void parser::pushvariable()
{
    parseitem& v = push(tVar, cBracket, level);
    v.cls = -1;  // neither an operator nor a boundary
    v.aux = e.tokidx;
    v.text = const_cast<wchar_t*>(e.tokstart);
    v.namebounds[0] = static_cast<int32_t>(e.tokval.i);
    v.namebounds[1] = e.tokidx;
    if (v.namebounds[0] != 2)
        v.text = nullptr;
}

// The operand of the current token in a string expression.
void parser::stringoperand(bool first)
{
    if (tok == tStr) {
        e.emitcell(&ExeScr::pushstrlit_exec);
        e.emitu64(static_cast<uint64_t>(e.tokval.i));
    } else if (tok == tVar) {
        pushvariable();
        emitvalue(st.back(), true);
        st.back().done = 1;
    } else if (tok == tCall) {
        if (e.compcommand(const_cast<wchar_t*>(e.tokstart), e.toknamelen, e.toklen) != 2)
            e.synerr(tok, L"invalid token in string mode.");
    } else if (first && tok == tEnd && !operandseen && (mode == 1 || mode == 2)) {
        result = 0;
        finished = true;
        return;
    } else if (endtoken(tok)) {
        finishexpr();
        return;
    } else {
        e.synerr(tok, L"invalid token in string mode.");
    }
    if (!first)
        e.emitcell(&ExeScr::strconcat);
    operandseen = true;
    state = sString;
}

void parser::stringmode()
{
    stringoperand(false);
}

parseitem* parser::pendingprefix()
{
    for (size_t k = st.size(); k-- > 0;) {
        if (st[k].done)
            continue;
        return st[k].cls == cPrefix ? &st[k] : nullptr;
    }
    return nullptr;
}

// A number literal after prefix operators folds into one push, by the rules
// the opcodes apply at run time.
void parser::foldliteral()
{
    bool isint = tok == tNumInt;
    int64_t i = e.tokval.i;
    double d = e.tokval.d;
    while (parseitem* pre = pendingprefix()) {
        switch (pre->kind) {
        case '-':
            if (!isint)
                d = -d;
            else if (i == INT64_MIN)
                isint = false, d = 9223372036854775808.0;
            else
                i = -i;
            break;
        case '~':
            i = ~(isint ? i : ExeScr::dbl2i64(d));
            isint = true;
            break;
        case '!':
            // Any double but 0.0 counts as true here, as for a computed value.
            i = isint ? i == 0 : d == 0.0;
            isint = true;
            break;
        default:
            e.synerr(tok, L"invalid opecode before NUM.");
        }
        pre->done = 1;
    }
    if (isint) {
        e.emitcell(&ExeScr::pushint_exec);
        e.emitu64(static_cast<uint64_t>(i));
    } else {
        e.emitcell(&ExeScr::pushnum_exec);
        e.emitnum(d);
    }
}

// After an operator, or at the start of an expression: an operand is due.
void parser::operand()
{
    if (type == xStr) {
        stringoperand(true);
        return;
    }
    parseitem* pre = pendingprefix();
    const bool incdecbefore = pre && (pre->kind == tInc || pre->kind == tDec);
    switch (tok) {
    case tNum: case tNumInt:
        if (type == xUnset)
            type = xNum;
        foldliteral();
        operandseen = true;
        state = sOperand;
        return;
    case tVar:
        operandseen = true;
        if (pre && pre->kind != '!') {
            pushvariable();
            parseitem v = st.back();
            st.back().done = 1;
            pre = pendingprefix();
            pre->done = 1;
            switch (pre->kind) {
            case '-':
                emitread(v, &ExeScr::pushneg_exec, &ExeScr::pushnegx_exec);
                break;
            case '~':
                emitread(v, &ExeScr::pushnot_exec, &ExeScr::pushnotx_exec);
                break;
            default:
                emitvar(v.namebounds[0] == 2 ? &ExeScr::incdecx_exec : &ExeScr::incdec_exec, v,
                        pre->kind == tInc ? 0 : 2);
                break;
            }
            state = sOperand;
            return;
        }
        pushvariable();
        state = sVariable;
        return;
    case tStr:
        if (type != xUnset || pre)
            e.synerr(tok, L"invalid token after opecode.");
        type = xStr;
        stringoperand(true);
        return;
    case tCall:
        if (incdecbefore)
            e.synerr(tok, L"invalid token after opecode.");
        command(false);
        return;
    case '(':
        if (incdecbefore)
            e.synerr(tok, L"invalid token after opecode.");
        if (type == xUnset)
            type = xNum;
        level += 20;
        push('(', cBracket, level);
        return;
    case '-': case '~': case '!': case tInc: case tDec:
        if (type == xUnset)
            type = xNum;
        push(tok, cPrefix, 14 + level);
        return;
    case tEnd:
        if ((mode == 1 || mode == 2) && !operandseen && !anyundone()) {
            result = 0;
            finished = true;
            return;
        }
        [[fallthrough]];
    default:
        e.synerr(tok, L"invalid token after opecode.");
    }
}

// A name(...) token: a command or a function call.
void parser::command(bool athead)
{
    const int32_t r = e.compcommand(const_cast<wchar_t*>(e.tokstart), e.toknamelen, e.toklen);
    operandseen = true;
    if (athead && r == 3) {
        state = sSimple;
        return;
    }
    if (athead && r == 14) {
        parseitem& w = push(tWhile, cBracket, level);
        w.codeidx = e.forstart;
        w.increment = e.forstep;
        whileloop(w);
        return;
    }
    if (type == xStr) {
        if (r != 2)
            e.synerr(tCall, L"invalid token in string mode.");
        state = sString;
        return;
    }
    if (type == xUnset && r == 2) {
        type = xStr;
        state = sString;
        return;
    }
    if (r != 1)
        e.comperr(L"wrong type of function is called.");
    if (type == xUnset)
        type = xNum;
    state = sOperand;
}

void parser::aftervariable()
{
    parseitem& v = st.back();
    if (assignment(tok)) {
        if (tok != '=') {
            if (type == xStr)
                e.synerr(tok, L"invalid token after variable.");
            type = xNum;
        }
        parseitem target = v;
        v.done = 1;
        parseitem& a = push(tok, cAssign, 2 + level);
        a.aux = target.aux;
        a.text = target.text;
        a.namebounds[0] = target.namebounds[0];
        a.namebounds[1] = target.namebounds[1];
        a.codeidx = here();
        state = sOperator;
        return;
    }
    if (tok == tInc || tok == tDec) {
        if (type == xStr)
            e.synerr(tok, L"invalid token after variable.");
        type = xNum;
        const parseitem target = v;
        v.done = 1;
        emitvar(target.namebounds[0] == 2 ? &ExeScr::incdecx_exec : &ExeScr::incdec_exec, target,
                tok == tInc ? 1 : 3);
        state = sOperand;
        return;
    }
    if (tok == tStr) {
        // A variable followed by a string: the first part of a string expression.
        if (type != xUnset && type != xStr)
            e.synerr(tok, L"invalid token after variable.");
        type = xStr;
        const parseitem target = v;
        v.done = 1;
        // An element's index is compiled by a nested call, which lexes over the
        // token fields: keep the literal's reference.
        const int64_t lit = e.tokval.i;
        emitvalue(target, true);
        e.tokval.i = lit;
        stringoperand(false);
        return;
    }
    if (endtoken(tok) || precedence(tok) >= 3 || tok == ')' || tok == ',') {
        if (type == xUnset)
            type = xNum;
        const parseitem target = v;
        v.done = 1;
        emitvalue(target, type == xStr);
        state = type == xStr ? sString : sOperand;
        reuse = true;
        return;
    }
    e.synerr(tok, L"invalid token after variable.");
}

void parser::afteroperand()
{
    const int32_t p = precedence(tok);
    if (p >= 4) {
        infix(p);
    } else if (tok == '?') {
        question();
    } else if (tok == ':') {
        colon();
    } else if (tok == ')') {
        closeparen();
    } else if (tok == ',') {
        comma();
    } else if (endtoken(tok)) {
        finishexpr();
    } else {
        e.synerr(tok, L"invalid token after number.");
    }
}

void parser::reduceitem(parseitem& it)
{
    it.done = 1;
    switch (it.cls) {
    case cAssign:
        assign(it);
        break;
    case cAnd: case cOr:
        e.emitcell(&ExeScr::noop_exec);
        patch(it.codeidx);
        break;
    case cCond:
        if (it.kind == ':')
            e.emitcell(&ExeScr::noop_exec);
        patch(it.codeidx);
        break;
    case cPrefix:
        if (it.kind == '-') {
            // Negation keeps the operand's kind: -1 times an integer or a double.
            e.emitcell(&ExeScr::pushint_exec);
            e.emitu64(static_cast<uint64_t>(-1));
            e.emitcell(&ExeScr::mul_exec);
        } else if (it.kind == '~') {
            e.emitcell(&ExeScr::bnot_exec);
        } else if (it.kind == '!') {
            e.emitcell(&ExeScr::lnot_exec);
        }
        break;
    default:
        e.emitcell(binaryop(it.kind));
        break;
    }
}

void parser::reduce(int32_t minpriority, bool strict)
{
    for (size_t k = st.size(); k-- > 0;) {
        parseitem& it = st[k];
        if (it.done || jumpitem(it) || it.kind == tVar)
            continue;
        if (it.cls == cBracket || it.cls == cHead)
            break;
        if (strict ? it.priority > minpriority : it.priority >= minpriority)
            reduceitem(it);
    }
}

void parser::assign(parseitem& a)
{
    const bool array = a.namebounds[0] == 2;
    if (type == xUnset)
        type = xNum;
    if (type == xStr) {
        if (a.kind != '=')
            e.synerr(a.kind, L"invalid token after variable.");
        if (array) {
            arrayindex(a);
            e.emitcell(&ExeScr::strassignx_exec);
        } else {
            e.emitcell(&ExeScr::strassign_exec);
            e.emitu64(packed(a.aux, 0));
        }
        return;
    }
    if (a.kind != '=') {
        emitvar(array ? &ExeScr::compoundassignx_exec : &ExeScr::compoundassign_exec, a,
                static_cast<uint32_t>(a.kind));
        return;
    }
    if (array) {
        arrayindex(a);
        e.emitcell(&ExeScr::assignnumx_exec);
        return;
    }
    // A right side that is one literal becomes a constant store.
    if (here() - 2 == a.codeidx) {
        codecell& c = e.codeend[-2];
        if (e.lastcellis(2, &ExeScr::pushint_exec) || e.lastcellis(2, &ExeScr::pushnum_exec)) {
            c.op = e.lastcellis(2, &ExeScr::pushint_exec) ? &ExeScr::setintconst_exec : &ExeScr::setnumconst_exec;
            e.emitu64(packed(a.aux, 0));
            return;
        }
    }
    e.emitcell(&ExeScr::assignnum_exec);
    e.emitu64(packed(a.aux, 0));
}

void parser::infix(int32_t base)
{
    if (type == xUnset)
        type = xNum;
    if (base == 2)
        e.synerr(tok, L"invalid token after number.");
    reduce(base + level, false);
    if (tok == tAndAnd || tok == tOrOr) {
        const int32_t ph = jump(tok == tAndAnd ? &ExeScr::andjump_exec : &ExeScr::orjump_exec);
        push(tok, tok == tAndAnd ? cAnd : cOr, base + level).codeidx = ph;
    } else {
        push(tok, base, base + level);
    }
    state = sOperator;
}

void parser::question()
{
    reduce(3 + level, true);
    const int32_t ph = jump(&ExeScr::jumpiffalse_exec);
    push('?', cCond, 3 + level).codeidx = ph;
    level += 20;
    state = sOperator;
}

// Ends the middle operand of the innermost open "?" only: a conditional in a
// third operand must not close the enclosing one.
void parser::colon()
{
    size_t q = st.size();
    for (size_t k = st.size(); k-- > 0;) {
        const parseitem& it = st[k];
        if (it.done || jumpitem(it))
            continue;
        if (it.kind == '?' && it.cls == cCond) {
            q = k;
            break;
        }
        if (it.cls == cBracket || it.cls == cHead)
            break;
    }
    if (q == st.size())
        e.synerr(':', L"invalid token after number.");
    for (size_t k = st.size(); k-- > q + 1;)
        if (!st[k].done && !jumpitem(st[k]) && st[k].kind != tVar)
            reduceitem(st[k]);
    const int32_t ph = jump(&ExeScr::jump_exec);
    st[q].done = 1;
    patch(st[q].codeidx);
    level -= 20;
    compact();
    push(':', cCond, 3 + level).codeidx = ph;
    state = sOperator;
}

void parser::closeparen()
{
    if (level - 20 < 0)
        e.synerr(')', L"open closure mismatch.");
    reduce(level + 1, false);
    parseitem* t = topconstruct();
    if (!t || t->kind != '(' || t->priority != level)
        e.synerr(')', L"open closure mismatch.");
    t->done = 1;
    level -= 20;
    if (t->aux)
        conditionclosed();
    else
        state = sOperand;
}

void parser::comma()
{
    reduce(level + 1, false);
    dispose();
    type = mode == 1 ? xNum : mode == 2 ? xStr : xUnset;
    state = sOperator;
}

void parser::finishexpr()
{
    reduce(level + 1, false);
    compact();
    if (parseitem* t = topconstruct()) {
        if (t->kind == '(')
            e.comperr(L"missing ).");
        if (t->kind == '?')
            e.synerr(tok, L"invalid token after number.");
    }
    if (mode == 1 || mode == 2) {
        if (tok != tEnd)
            e.synerr(tok, type == xStr ? L"invalid token in string mode." : L"invalid token after number.");
        result = 1;
        finished = true;
        return;
    }
    valueleft = dispose();
    state = sSimple;
    reuse = true;
}

// What happens to the value of an expression statement; true when it stays on
// its stack. Text compiled at run time keeps the value of a statement at its
// outermost level for the caller; inside a loop or block a kept value would
// pile up once per pass, so there the usual rules apply.
bool parser::dispose()
{
    if (mode == 13 && !anyundone()) {
        result = type == xStr ? 2 : 1;
        keptkind = result;
        type = xUnset;
        return true;
    }
    if (type == xStr) {
        if (e.lastcellis(1, &ExeScr::strassignx_exec))
            e.emitcell(&ExeScr::datsdrop);
        else if (e.lastcellis(2, &ExeScr::strassign_exec))
            e.codeend[-1].i |= 1;
        else if (e.lastcellis(1, &ExeScr::printf_exec))
            e.emitcell(&ExeScr::printraw_exec);  // formatted text goes to the log as it is
        else
            e.emitcell(&ExeScr::printstr_exec);
    } else if (e.lastcellis(1, &ExeScr::add_exec) || e.lastcellis(1, &ExeScr::subtract_exec) ||
               e.lastcellis(1, &ExeScr::mul_exec) || e.lastcellis(1, &ExeScr::div_exec)) {
        e.emitcell(&ExeScr::printnum_exec);
    } else if (e.lastcellis(1, &ExeScr::assignnumx_exec)) {
        e.codeend[-1].op = &ExeScr::storenum_exec;
    } else {
        e.discardnum();
    }
    type = xUnset;
    return false;
}

}  // namespace compiler
