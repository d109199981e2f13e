// The statement compiler: one loop over the tokens of a text, driven by a state
// number, with an explicit stack of pending items. Statement items close when
// the nesting level returns to theirs; jumps are emitted with placeholder
// operands and patched when their owner closes.
#include <algorithm>

#include "compiler/parser.h"

using namespace compiler;

namespace {

// Grows a buffer by a fixed number of entries (the compile tables do not double).
template <class T>
void growby(ExeScr& e, tbuf<T>& b, int32_t step, int32_t id)
{
    const int32_t used = b.count();
    const int32_t newcap = b.cap + step;
    T* block = static_cast<T*>(e.mymalloc2(sizeof(T) * static_cast<uint64_t>(newcap), id));
    if (b.base) {
        memcpy(static_cast<void*>(block), b.base, sizeof(T) * static_cast<size_t>(used));
        e.myfree(b.base, b.id);
    }
    b.base = block;
    b.id = id;
    b.cap = newcap;
    b.top = block + used;
}

// Label names are significant to 21 characters, in definitions and in gotos alike.
bool samelabel(const wchar_t* a, int32_t alen, const wchar_t* b, int32_t blen)
{
    alen = std::min(alen, symnamemax);
    blen = std::min(blen, symnamemax);
    return alen == blen && wcsncmp(a, b, static_cast<size_t>(alen)) == 0;
}

}  // namespace

// ---- switch case tables and labels

int32_t ExeScr::pushlooprec()
{
    if (casetables.full())
        growby(*this, casetables, 64, 370);
    looprec r;
    r.cases = static_cast<caseentry*>(mymalloc2(sizeof(caseentry) * 64, 371));
    r.cursor = r.cases;
    r.capacity = 64;
    r.allocid = 371;
    r.defaulttarget = 0;
    r.endtarget = 0;
    const int32_t idx = casetables.count();
    *casetables.top++ = r;
    if (!openswitches.base) {
        growby(*this, openswitches, 64, 380);
        *openswitches.top++ = -1;
    }
    if (openswitches.full())
        growby(*this, openswitches, 64, 380);
    *openswitches.top++ = idx;
    return idx;
}

int32_t ExeScr::looprec_fixup(int32_t value, int32_t what)
{
    if (!openswitches.base || openswitches.empty() || openswitches.top[-1] == -1)
        return 0;
    looprec& r = casetables.base[openswitches.top[-1]];
    const int32_t now = codecount() - static_cast<int32_t>(unitbase);
    if (what == 0) {
        const int32_t used = static_cast<int32_t>(r.cursor - r.cases);
        if (used >= r.capacity) {
            auto* block = static_cast<caseentry*>(mymalloc2(sizeof(caseentry) * static_cast<uint64_t>(r.capacity + 64), 390));
            memcpy(block, r.cases, sizeof(caseentry) * static_cast<size_t>(used));
            myfree(r.cases, r.allocid);
            r.cases = block;
            r.cursor = block + used;
            r.capacity += 64;
            r.allocid = 390;
        }
        r.cursor->value = value;
        r.cursor->target = now;
        ++r.cursor;
    } else if (what == 1) {
        r.defaulttarget = now;
    } else {
        r.endtarget = now;
    }
    return 1;
}

void ExeScr::freecasetbls()
{
    for (looprec* r = casetables.base; r && r < casetables.top; ++r)
        myfree(r->cases, r->allocid);
    freebuf(casetables);
    freebuf(openswitches);
}

void ExeScr::deflabel(const wchar_t* name, int32_t len)
{
    if (labels.full())
        growby(*this, labels, 16, 1345);
    labelrec* l = labels.top++;
    const int32_t n = std::min(len, symnamemax);
    wmemcpy(l->name, name, static_cast<size_t>(n));
    l->name[n] = 0;
    l->codeidx = codecount() - static_cast<int32_t>(unitbase);
    l->unit = static_cast<int32_t>(unitbase);
}

int32_t ExeScr::findlabel(const wchar_t* name, int32_t len)
{
    for (const labelrec* l = labels.base; l && l < labels.top; ++l)
        if (l->unit == static_cast<int32_t>(unitbase) && samesymbol(l->name, name, static_cast<size_t>(len)))
            return l->codeidx;
    return -1;
}

void ExeScr::freelabeltbl()
{
    freebuf(labels);
}

bool ExeScr::lastcellis(int32_t back, execfn f) const
{
    const int32_t n = codecount();
    return n - back >= static_cast<int32_t>(unitbase) && code[n - back].op == f;
}

void ExeScr::discardnum()
{
    if (lastcellis(2, &ExeScr::assignnum_exec) || lastcellis(2, &ExeScr::incdec_exec) ||
        lastcellis(2, &ExeScr::incdecx_exec) || lastcellis(2, &ExeScr::compoundassign_exec) ||
        lastcellis(2, &ExeScr::compoundassignx_exec) || lastcellis(3, &ExeScr::setnumconst_exec) ||
        lastcellis(3, &ExeScr::setintconst_exec))
        codeend[-1].i |= 1;
    else
        emitcell(&ExeScr::datddrop);
}

// ---- the entry

int32_t ExeScr::compscr(wchar_t* text, int32_t mode)
{
    if (compdepth >= maxcompdepth)
        comperr(L"Expression nested too deeply.");
    struct nesting {
        int32_t& depth;
        explicit nesting(int32_t& d) : depth(d) { ++depth; }
        ~nesting() { --depth; }
    } level(compdepth);
    parser p(*this, text, mode);
    return p.run();
}

namespace compiler {

int32_t parser::run()
{
    // Units report errors at their own cursor; an argument text (a copy, or a
    // part of a statement) reports at the statement that holds it.
    wchar_t** saved = e.srccursor;
    const bool unitmode = mode == 10 || mode == 11 || mode == 12 || mode == 15;
    if (unitmode || !e.srccursor)
        e.srccursor = &cur;
    if (mode == 1 || mode == 2) {
        type = mode == 1 ? xNum : xStr;
        state = sOperator;
    }
    finished = false;
    while (!finished) {
        if (!reuse) {
            cur = e.skiptotoken(cur);
            // A statement may start in any state that waits for one.
            if (unitmode && (state == sHead || state == sBody || state == sAfterIf || state == sElse))
                linemark();
            tok = e.lexscr(&cur);
        }
        reuse = false;
        switch (state) {
        case sHead: head(); break;
        case sOperand: afteroperand(); break;
        case sVariable: aftervariable(); break;
        case sOperator: operand(); break;
        case sString: stringmode(); break;
        case sParen:
            if (tok != '(')
                e.synerr(tok, L"invalid token after if or while.");
            level += 20;
            push('(', cBracket, level).aux = 1;
            type = xCond;
            state = sOperator;
            break;
        case sBody:
            if (tok == '{') {
                level += 100;
                push('{', cBracket, level);
                state = sHead;
            } else if (!isend(tok) || tok == tEnd) {
                if (switchbody)
                    e.synerr(tok, L"missing { error.");
                state = sHead;
                reuse = true;
            }
            break;
        case sAfterIf:
            if (tok == tElse) {
                elsepart();
            } else if (!isend(tok) || tok == tEnd) {
                closeif(*topconstruct());
                state = closebodies(true) ? sAfterIf : sHead;
                reuse = true;
            }
            break;
        case sFunction: functionhead(); break;
        case sSimple:
            if (isend(tok) || tok == '}') {
                if (mode == 13 && !valueleft)
                    result = 3;
                valueleft = false;
                state = sHead;
                reuse = true;
            } else if (tok == tElse && closebodies(true)) {
                elsepart();
            } else {
                e.synerr(tok, L"invalid token after command");
            }
            break;
        case sMain: mainbody(); break;
        case sElse:
            if (!isend(tok) || tok == tEnd) {
                state = sHead;
                reuse = true;
            }
            break;
        case sCase: casepart(); break;
        default: break;
        }
    }
    e.srccursor = saved;
    return result;
}

// ---- the stack

parseitem& parser::push(int32_t kind, int32_t cls, int32_t priority)
{
    // Every reader of the stack passes over finished items: those on top go,
    // or a long expression's finished operators would be passed over again at
    // each reduction (a sum of n terms would compile in n * n steps). Items
    // are only ever named by index below an unfinished one.
    while (!st.empty() && st.back().done)
        st.pop_back();
    parseitem it = {};
    it.kind = kind;
    it.cls = cls;
    it.priority = priority;
    it.exitidx = -1;
    st.push_back(it);
    return st.back();
}

void parser::compact()
{
    st.erase(std::remove_if(st.begin(), st.end(), [](const parseitem& it) { return it.done != 0; }), st.end());
}

parseitem* parser::topconstruct()
{
    for (size_t k = st.size(); k-- > 0;)
        if (!st[k].done && !jumpitem(st[k]))
            return &st[k];
    return nullptr;
}

bool parser::anyundone()
{
    for (const parseitem& it : st)
        if (!it.done)
            return true;
    return false;
}

int32_t parser::jump(execfn f)
{
    e.emitcell(f);
    return e.emitint(0);
}

// ---- statements

// The first statement compiled for a source line gives that line its code index.
void parser::linemark()
{
    if (!e.srctext || e.functable.empty())
        return;
    std::vector<lineitem>& lines = e.functable.back().lines;
    const int32_t off = static_cast<int32_t>(cur - e.srctext);
    for (size_t k = 1; k < lines.size(); ++k) {
        if (lines[k].srcoffset > off) {
            if (lines[k - 1].codeidx == -1)
                lines[k - 1].codeidx = e.codecount();
            return;
        }
    }
}

void parser::head()
{
    // Text compiled at run time hands only its last statement's value to the
    // caller: a value an earlier statement left goes when the next one starts.
    if (keptkind != 0 && !isend(tok) && tok != '}') {
        e.emitcell(keptkind == 2 ? &ExeScr::datsdrop : &ExeScr::datddrop);
        keptkind = 0;
        result = 3;
    }
    switch (tok) {
    case tNum: case tNumInt: case tVar: case tStr: case '(': case '-': case '!': case '~':
    case tInc: case tDec:
        type = xUnset;
        state = sOperator;
        reuse = true;
        return;
    case tCall:
        type = xUnset;
        command(true);
        return;
    case tIf: case tWhile: case tSwitch:
        push(tok, cBracket, level).codeidx = here();
        state = sParen;
        return;
    case tDo:
        push(tok, cBracket, level).codeidx = here();
        switchbody = false;
        state = sBody;
        return;
    case '{':
        level += 100;
        push('{', cBracket, level);
        return;
    case '}':
        closebrace();
        return;
    case tBreak: case tContinue: {
        const int32_t ph = jump(&ExeScr::jump_exec);
        push(tok, cBracket, level).codeidx = ph;
        state = sSimple;
        return;
    }
    case tGoto:
        gotostmt();
        return;
    case tLabel:
        labelstmt();
        return;
    case tExit:
        e.emitcell(&ExeScr::exit_exec);
        endcell();
        state = sSimple;
        return;
    case tReturn:
        defaultresult(e.curfunc >= 0 && static_cast<size_t>(e.curfunc) < e.functable.size() &&
                      e.functable[e.curfunc].functstr);
        endcell();
        state = sSimple;
        return;
    case tCase:
        caseword = tCase;
        state = sCase;
        return;
    case tDefault:
        if (!e.looprec_fixup(0, 1))
            e.comperr(L"no switch statement");
        caseword = ':';
        state = sCase;
        return;
    case tNewline: case tCr: case ';':
        statementend();
        return;
    case tMain:
        push(tMain, cHead, level).text = const_cast<wchar_t*>(e.tokstart);
        state = sMain;
        return;
    case tThread:
        if (mode != 11 && e.threadmode == 1) {
            push(tMain, cHead, level).text = const_cast<wchar_t*>(e.tokstart);
            state = sMain;
            return;
        }
        [[fallthrough]];
    case tFunction: case tFunctstr:
        if (mode == 11) {
            endoftext();
            return;
        }
        headseen = false;
        state = sFunction;
        return;
    case tEnd:
        endoftext();
        return;
    default:
        e.synerr(tok, L"invalid token in the head");
    }
}

void parser::statementend()
{
    state = closebodies(true) ? sAfterIf : sHead;
}

// Innermost first: the construct pushed last is the one whose body just ended.
bool parser::closebodies(bool elseallowed)
{
    for (;;) {
        compact();
        parseitem* t = topconstruct();
        if (!t || t->priority != level)
            return false;
        switch (t->kind) {
        case tWhile:
            closewhile(*t);
            break;
        case tIf:
            if (elseallowed)
                return true;
            closeif(*t);
            break;
        case tElse:
            patch(t->exitidx);
            t->done = 1;
            break;
        default:
            return false;
        }
    }
}

// Patches the pending breaks and continues pushed after item `at`.
static void patchjumps(parser& p, size_t at, bool continues, int32_t conttarget)
{
    for (size_t k = at + 1; k < p.st.size(); ++k) {
        parseitem& it = p.st[k];
        if (it.done)
            continue;
        if (it.kind == tBreak) {
            p.patch(it.codeidx);
            it.done = 1;
        } else if (it.kind == tContinue && continues) {
            p.e.code[p.e.unitbase + it.codeidx].i = conttarget;
            it.done = 1;
        }
    }
}

void parser::closewhile(parseitem& w)
{
    const size_t at = static_cast<size_t>(&w - st.data());
    int32_t cont = w.codeidx;
    if (w.increment) {
        cont = here();
        e.arglist_comp(w.increment);
    }
    e.emitcell(&ExeScr::jump_exec);
    e.emitint(st[at].codeidx);
    if (st[at].exitidx != -1)
        patch(st[at].exitidx);
    st[at].done = 1;
    patchjumps(*this, at, true, cont);
}

void parser::closeif(parseitem& it)
{
    patch(it.exitidx);
    it.done = 1;
}

void parser::closeswitch(parseitem& s)
{
    e.looprec_fixup(0, 2);
    s.done = 1;
    patchjumps(*this, static_cast<size_t>(&s - st.data()), false, 0);
    --e.openswitches.top;
}

void parser::closebrace()
{
    // The statement before "}" has ended: no else can follow inside the block.
    closebodies(false);
    parseitem* t = topconstruct();
    if (!t || t->kind != '{' || t->priority != level)
        e.synerr('}', L"open closure mismatch.");
    t->done = 1;
    level -= 100;
    compact();
    parseitem* o = topconstruct();
    if (o && o->priority == level) {
        if (o->kind == tSwitch) {
            closeswitch(*o);
        } else if (o->cls == cHead) {
            unitend(*o);
            return;
        }
    }
    state = closebodies(true) ? sAfterIf : sHead;
}

// The ")" of a condition has been reduced; the statement item stands below it.
void parser::conditionclosed()
{
    compact();
    parseitem& s = *topconstruct();
    type = xUnset;
    switchbody = false;
    state = sBody;
    if (s.kind == tIf) {
        s.exitidx = jump(&ExeScr::jumpiffalse_exec);
    } else if (s.kind == tSwitch) {
        const int32_t idx = e.pushlooprec();
        e.emitcell(&ExeScr::switch_exec);
        e.emitint(idx);
        switchbody = true;
    } else {
        // A while directly behind the body of a do at its level is the do's tail.
        const size_t at = static_cast<size_t>(&s - st.data());
        for (size_t k = at; k-- > 0;) {
            if (st[k].done || jumpitem(st[k]))
                continue;
            if (st[k].kind == tDo && st[k].priority == s.priority) {
                dotail(at, k);
                return;
            }
            break;
        }
        whileloop(s);
    }
}

void parser::whileloop(parseitem& w)
{
    // A condition that is one integer constant needs no test.
    if (here() - 2 == w.codeidx && e.lastcellis(2, &ExeScr::pushint_exec)) {
        const int64_t v = e.codeend[-1].i;
        e.codeend -= 2;
        w.exitidx = v != 0 ? -1 : jump(&ExeScr::jump_exec);
    } else {
        w.exitidx = jump(&ExeScr::loopexit_exec);
    }
    switchbody = false;
    state = sBody;
}

void parser::dotail(size_t whileat, size_t doat)
{
    e.emitcell(&ExeScr::jumpiftrue_exec);
    e.emitint(st[doat].codeidx);
    st[whileat].done = 1;
    // A continue goes to the test, which starts where the while item began.
    patchjumps(*this, doat, true, st[whileat].codeidx);
    st[doat].done = 1;
    state = sSimple;
}

void parser::elsepart()
{
    compact();
    parseitem* t = topconstruct();
    if (!t || t->kind != tIf || t->priority != level)
        e.synerr(tElse, L"invalid token after command");
    const int32_t ph = jump(&ExeScr::jump_exec);
    closeif(*t);
    push(tElse, cBracket, level).exitidx = ph;
    state = sElse;
}

void parser::gotostmt()
{
    wchar_t* name = const_cast<wchar_t*>(e.tokstart) + e.toknamelen + 1;
    wchar_t* end = const_cast<wchar_t*>(e.tokstart) + e.toklen;
    while (name < end && (*name == L' ' || *name == L'\t'))
        ++name;
    while (end > name && (end[-1] == L' ' || end[-1] == L'\t'))
        --end;
    const int32_t len = static_cast<int32_t>(end - name);
    const int32_t ph = jump(&ExeScr::jump_exec);
    const int32_t target = e.findlabel(name, len);
    if (target >= 0) {
        e.code[e.unitbase + ph].i = target;
    } else {
        parseitem& g = push(tGoto, cBracket, level);
        g.text = name;
        g.namebounds[0] = 0;
        g.namebounds[1] = len;
        g.codeidx = ph;
    }
    state = sSimple;
}

void parser::labelstmt()
{
    compact();
    const wchar_t* name = e.tokstart;
    const int32_t len = e.tokidx;
    e.deflabel(name, len);
    for (parseitem& g : st) {
        if (!g.done && g.kind == tGoto && samelabel(g.text, g.namebounds[1], name, len)) {
            patch(g.codeidx);
            g.done = 1;
        }
    }
    state = sHead;
}

void parser::casepart()
{
    if (caseword == tCase) {
        int32_t value;
        if (tok == tNum)
            value = static_cast<int32_t>(ExeScr::dbl2i64(e.tokval.d));
        else if (tok == tNumInt)
            value = static_cast<int32_t>(ExeScr::dbl2i64(static_cast<double>(e.tokval.i)));
        else
            e.synerr(tok, L"invalid token after case");
        if (!e.looprec_fixup(value, 0))
            e.comperr(L"no switch statement");
        caseword = ':';
        return;
    }
    if (tok != ':')
        e.synerr(tok, L"invalid token after case");
    state = sHead;
}

// Starts a unit's code behind an end cell and makes the newest function record
// of that name the one being compiled.
int32_t parser::enterunit(const wchar_t* name, int32_t len)
{
    endcell();
    e.unitbase = static_cast<uint32_t>(e.codecount());
    for (size_t k = e.functable.size(); k-- > 0;) {
        if (samesymbol(e.functable[k].name, name, static_cast<size_t>(len))) {
            e.curfunc = static_cast<int32_t>(k);
            e.functable[k].codestart = static_cast<int32_t>(e.unitbase);
            return e.curfunc;
        }
    }
    // The declaration passes look for unit keywords only at the start of a
    // line; one that stands behind other text ("x = 1; main") was never declared.
    e.comperr(L"main, function, functstr and thread must begin a line.");
}

void parser::functionhead()
{
    if (!headseen) {
        if (tok != tCall || anyundone())
            e.synerr(tok, L"invalid token after function.");
        const int32_t found = enterunit(e.tokstart, e.toknamelen);
        push(tCall, cHead, level).aux = static_cast<int32_t>(e.functable[found].functstr);
        headseen = true;
        return;
    }
    if (tok == '{') {
        level += 100;
        push('{', cBracket, level);
        state = sHead;
    } else if (!isend(tok) || tok == tEnd) {
        e.comperr(L"missing { error.");
    }
}

void parser::mainbody()
{
    if (tok == '{') {
        level += 100;
        push('{', cBracket, level);
        enterunit(L"main", 4);
        state = sHead;
    } else if (tok == tCall && e.threadmode == 1) {
        // the thread block's parameter list
    } else if (!isend(tok) || tok == tEnd) {
        e.synerr(tok, L"invalid token after main");
    }
}

// Pending items at the end of a unit: an unclosed bracket, or a jump or
// statement that never found its target.
void parser::checkclosed()
{
    compact();
    if (!anyundone())
        return;
    if (level > 0)
        e.myerrexit(L"%s", L"missing } or ) error in the end.");
    e.myerrexit(L"%s:%d:", L"unreduced token remains in the end.", st.back().kind);
}

// The result of a function that returns without a value: the caller of a
// string function takes a string, of any other a number.
void parser::defaultresult(bool functstr)
{
    if (functstr) {
        e.emitcell(&ExeScr::pushstrlit_exec);
        e.emitu64(3);  // pool 3: the empty string
    } else {
        e.emitcell(&ExeScr::pushint_exec);
        e.emitu64(0);
    }
}

void parser::unitend(parseitem& owner)
{
    if (owner.kind == tCall)
        defaultresult(owner.aux != 0);
    endcell();
    e.emitcell(&ExeScr::noop2_exec);
    owner.done = 1;
    checkclosed();
    // Blank lines, ";" and comments may follow; then only the end or a further unit.
    int32_t t;
    do {
        cur = e.skiptotoken(cur);
        t = e.lexscr(&cur);
    } while (t == tNewline || t == tCr || t == ';');
    if (t != tEnd && t != tFunction && t != tMain && t != tFunctstr && t != tThread)
        e.myerrexit(L"%s", L"unknown part remains in the end.");
    finished = true;
}

void parser::endoftext()
{
    closebodies(false);
    compact();
    if (mode == 11) {
        endcell();
        e.emitcell(&ExeScr::noop2_exec);
    }
    checkclosed();
    if (mode == 10 || mode == 12 || mode == 15)
        e.myerrexit(L"%s", L"missing } or ) error in the end.");
    if (mode == 1 || mode == 2)
        result = 0;
    finished = true;
}

}  // namespace compiler
