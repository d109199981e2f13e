// Front ends of the words that shape a script's flow: the "for" header,
// "return" and "retstr", and calls of user functions.
#include <cwchar>
#include <string>

#include "compiler/textscan.h"
#include "runtime/exescr.h"

int32_t ExeScr::for_comp(wchar_t* header)
{
    wchar_t* parts[3] = {header, nullptr, nullptr};
    int32_t count = 1;
    int depth = 0;
    for (wchar_t* p = header; *p; ++p) {
        if (*p == L'"' || *p == L'\'') {
            p = skipargliteral(p);
        } else if (*p == L'(') {
            ++depth;
        } else if (*p == L')') {
            --depth;
        } else if (*p == L';' && depth == 0) {
            if (count == 3)
                comperr(L"the number of argument mismatch.");
            *p = 0;
            parts[count++] = p + 1;
        }
    }
    if (count != 3)
        comperr(L"the number of argument mismatch.");
    wchar_t* init = textscan::skipblank(parts[0]);
    if (*init) {
        if (!compscr(init, 1))
            comperr(L"invalid number error.");
        discardnum();
    }
    forstart = codecount() - static_cast<int32_t>(unitbase);
    wchar_t* cond = textscan::skipblank(parts[1]);
    if (*cond) {
        if (!compscr(cond, 1))
            comperr(L"invalid number error.");
    } else {
        emitcell(&ExeScr::pushint_exec);
        emitu64(1);
    }
    return static_cast<int32_t>(parts[2] - header);
}

static bool isfunctstr(const ExeScr& e)
{
    return e.curfunc >= 0 && static_cast<size_t>(e.curfunc) < e.functable.size() && e.functable[e.curfunc].functstr;
}

void ExeScr::return_comp(wchar_t* args)
{
    if (isfunctstr(*this))
        comperr(L"invalid return type error.");
    if (!compscr(args, 1))
        comperr(L"invalid number error.");
    emitcell(nullptr);
}

void ExeScr::retstr_comp(wchar_t* args)
{
    if (!isfunctstr(*this))
        comperr(L"invalid return type error.");
    if (!compscr(args, 2))
        comperr(L"invalid string.");
    emitcell(nullptr);
}


void ExeScr::usercall_compile(int32_t func, wchar_t* args)
{
    const funcrec& f = functable[static_cast<size_t>(func)];
    const auto params = static_cast<int32_t>(f.paramcount);
    if (params > 0) {
        if (splitargs(args, params) != params)
            comperr(L"cannot find , error.");
        for (int32_t k = params - 1; k >= 0; --k) {
            if (f.localnames.base[k].kind == 1)
                nextnum(args);
            else
                nextstr(args);
        }
        // The first parameter lies on top of its stack and goes first.
        for (int32_t k = 0; k < params; ++k) {
            const uint32_t kind = f.localnames.base[k].kind;
            if (kind == 1)
                emitcell(&ExeScr::callargnum_exec);
            else if (kind == 2)
                emitcell(&ExeScr::callargstr_exec);
            else
                comperr(L"Instruction type unknown: Numeric or String, use num() or str().");
        }
    }
    emitcell(&ExeScr::usercall_exec);
    emitint(func);
}

void ExeScr::defcomp(wchar_t* args, execfn op)
{
    wchar_t* name = textscan::trimblanks(args);
    if (!textscan::asciiletter(*name))
        comperr(L"invalid name.");
    if (wcschr(name, L'[')) {
        arrayidx_comp(name);
        emitcell(op);
        emitint(1);
        return;
    }
    // The literal is the text strictly between the two positions given.
    const int64_t ref = parsenamelist(name - 1, name + wcslen(name), 3);
    emitcell(&ExeScr::pushstrlit_exec);
    emitu64(static_cast<uint64_t>(ref));
    emitcell(op);
    emitint(0);
}

void ExeScr::def_comp(wchar_t* args)
{
    defcomp(args, &ExeScr::def_exec);
}

void ExeScr::undef_comp(wchar_t* args)
{
    defcomp(args, &ExeScr::undef_exec);
}

void ExeScr::exeline_comp(wchar_t* args)
{
    argstr(args);
    emitcell(&ExeScr::exeline_exec);
}

ExeScr::loadmark ExeScr::markload() const
{
    return loadmark{ip - code,
                    codecount(),
                    unitbase,
                    curfunc,
                    functable.size(),
                    blocktable.size(),
                    labels.count(),
                    casetables.count(),
                    srctext,
                    srcend,
                    lexorigin};
}

void ExeScr::cutload(const loadmark& m)
{
    codeend = code + m.codeend;
    ip = code + m.ip;
    unitbase = m.unitbase;
    curfunc = m.curfunc;
    srctext = m.srctext;
    srcend = m.srcend;
    lexorigin = m.lexorigin;
    if (opmarks.size() > static_cast<size_t>(m.codeend))
        opmarks.resize(static_cast<size_t>(m.codeend));
    dropsegments(m.codeend);  // with the nodes of the calls they read in place
    dropfunctions(m.functions);
    while (blocktable.size() > m.blocks) {
        if (blocktable.back().params.base)
            freebuf(blocktable.back().params);
        blocktable.pop_back();
    }
    if (labels.base)
        labels.top = labels.base + m.labels;
    while (casetables.count() > m.casetables) {
        --casetables.top;
        myfree(casetables.top->cases, casetables.top->allocid);
    }
}

void ExeScr::exeline_exec()
{
    datscell* c = pops();
    std::wstring text = datstext(c);
    datsrelease(c);
    // A text that runs exeline (or call) again nests like a function call.
    if (calldepth >= maxcalldepth)
        myerrexit(L"Function calls nested too deeply.:%d:", maxcalldepth);
    // Indexes, not pointers: compiling may move the code list.
    const loadmark mark = markload();
    // The new cells form a unit of their own: their jumps count from its start.
    unitbase = static_cast<uint32_t>(mark.codeend);
    // The text's first line has no line before it (no label there).
    lexorigin = text.c_str();
    const int32_t kind = compscr(text.data(), 13);
    emitcell(nullptr);
    segpass(mark.codeend, true);
    ++calldepth;
    runcode(unitbase);
    --calldepth;
    cutload(mark);
    if (stopflag == 1)
        return;
    // Drop the value the text left, by the kind compscr reported.
    if (kind == 1) {
        datddrop();
    } else if (kind == 2) {
        datsdrop();
    } else if (kind == 100) {
        if (popd().i == 277)
            datsdrop();
        else
            datddrop();
    }
}

void ExeScr::call_comp(wchar_t* args)
{
    const int32_t count = splitargs(args);
    for (int32_t k = 0; k < count; ++k)
        nextstr(args);
    emitcell(&ExeScr::pushint_exec);
    emitint(count);
    emitcell(&ExeScr::call_exec);
}

void ExeScr::dropfunctions(size_t keep)
{
    while (functable.size() > keep) {
        funcrec& f = functable.back();
        for (tbuf<nameitem>* list : {&f.dirnames, &f.fpnames, &f.localnames})
            if (list->base)
                freebuf(*list);
        functable.pop_back();
    }
}

void ExeScr::call_exec()
{
    const int64_t count = popd().i;
    datscell* p = pops();
    const std::wstring path = datstext(p);
    datsrelease(p);
    // Indexes, not pointers: loading the other script may move the code list.
    const loadmark mark = markload();

    // The arguments are copied off the stack before the list is rebuilt: one
    // may be a call argument of this run ("carg_02") that refers to the list.
    std::vector<std::wstring> passed;
    for (int64_t k = 1; k < count; ++k) {
        datscell* a = pops();
        passed.push_back(datstext(a));
        datsrelease(a);
    }
    if (calldepth >= maxcalldepth)
        myerrexit(L"Function calls nested too deeply.:%d:", maxcalldepth);
    callargs.clear();
    callargs.push_back(args.empty() ? std::wstring() : args[0]);
    callargs.push_back(path);
    for (std::wstring& a : passed)
        callargs.push_back(std::move(a));
    if (!readscriptfile(path.c_str(), true))
        myerrexit(L"%s:%s", L"File open failed.", path.c_str());
    // What the called script leaves on the datum stacks is its own: drop only
    // what lies above the depths the caller had, never a pending operand.
    const int32_t datddepth = datd.count();
    const int32_t datsdepth = dats.count();

    const funcrec& f = functable[static_cast<size_t>(curfunc)];
    unitbase = static_cast<uint32_t>(f.codestart);
    const int32_t entry = curfunc;
    pushframe(f, 0, false);
    ++calldepth;
    runcode(unitbase);
    --calldepth;
    // By index again: a nested "call" may have grown the table meanwhile.
    popframe(functable[static_cast<size_t>(entry)]);
    while (datd.count() > datddepth)
        datddrop();
    while (dats.count() > datsdepth)
        datsdrop();
    cutload(mark);
}
