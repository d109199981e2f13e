// The state of one compscr call: the token loop, its item stack and the
// expression side. Statements live in statements.cpp, expressions in
// expressions.cpp; both work on this one object.
#pragma once

#include <cstdint>
#include <vector>

#include "runtime/exescr.h"

namespace compiler {

// Token codes of the lexer.
enum : int32_t {
    tEnd = 0, tNewline = 10, tCr = 13, tVar = 256, tNum = 257, tGe = 258, tShl = 259,
    tLe = 260, tShr = 261, tEq = 262, tNe = 263, tOrOr = 264, tOrEq = 265, tAndAnd = 266,
    tAndEq = 267, tInc = 268, tAddEq = 269, tDec = 270, tSubEq = 271, tMulEq = 272,
    tDivEq = 273, tModEq = 274, tXorEq = 275, tCall = 276, tStr = 277, tWhile = 278,
    tIf = 279, tElse = 280, tFunction = 281, tMain = 282, tBreak = 287, tContinue = 288,
    tReturn = 289, tExit = 291, tGoto = 292, tLabel = 293, tFunctstr = 294, tSwitch = 295,
    tCase = 296, tDefault = 297, tDo = 298, tNumInt = 300, tShlEq = 301, tShrEq = 302,
    tThread = 303,
};

// Item classes.
enum : int32_t {
    cBracket = 0,   // "(", "{" and statement items: walks stop at them
    cHead = 1,      // a function head
    cAssign = 2,
    cCond = 3,      // "?" and ":"
    cOr = 4,
    cAnd = 5,
    cPrefix = 14,
};

// One entry of the item stack.
struct parseitem {
    int32_t kind;         // the token that opened it
    int32_t aux;          // "(" of a condition: 1; variable or assignment: the
                          // variable index; function head: 1 for a string function
    wchar_t* text;        // goto: its label name; variable or assignment: the
                          // array expression's text
    int32_t namebounds[2];  // goto: 0 and the name's length; variable or
                            // assignment: the variable kind (2 an array element)
                            // and the array expression's length
    int32_t cls;          // see the item classes; operators: their precedence
    int32_t priority;     // nesting level, plus an operator's precedence
    int32_t done;
    int32_t codeidx;      // statement start, or a placeholder operand to patch
    int32_t exitidx;      // the placeholder of the jump that leaves it; -1 none
    wchar_t* increment;   // a "for" loop's step text
};

// Expression types.
enum : int32_t { xUnset = 100, xNum = 1, xStr = 2, xCond = 4 };

// Parser states.
enum : int32_t {
    sHead = 0, sOperand = 1, sVariable = 2, sOperator = 3, sString = 4, sParen = 5,
    sBody = 6, sAfterIf = 7, sFunction = 8, sSimple = 9, sMain = 10, sElse = 13, sCase = 14,
};

struct parser {
    ExeScr& e;
    wchar_t* cur;         // the text cursor the lexer advances
    int32_t mode;
    int32_t state = sHead;
    int32_t level = 0;
    int32_t type = xUnset;
    int32_t tok = 0;
    bool reuse = false;
    bool operandseen = false;  // modes 1 and 2: an operand was compiled
    bool switchbody = false;   // state sBody after a switch head
    bool headseen = false;     // state sFunction: the head is compiled
    int32_t caseword = 0;
    int32_t result = 0;
    bool valueleft = false;    // mode 13: the statement just ended left its value
    int32_t keptkind = 0;      // mode 13: the kind (1, 2) of the value a top-level
                               // statement left; dropped when another statement starts
    std::vector<parseitem> st;

    parser(ExeScr& engine, wchar_t* text, int32_t m) : e(engine), cur(text), mode(m) {}

    int32_t run();

    // ---- the stack
    parseitem& push(int32_t kind, int32_t cls, int32_t priority);
    void compact();
    // The topmost undone item that is not a pending break, continue or goto.
    parseitem* topconstruct();
    bool anyundone();
    static bool jumpitem(const parseitem& it) { return it.kind == tBreak || it.kind == tContinue || it.kind == tGoto; }

    // ---- code
    int32_t here() const { return e.codecount() - static_cast<int32_t>(e.unitbase); }
    void patch(int32_t placeholder) { e.code[e.unitbase + placeholder].i = here(); }
    int32_t jump(execfn f);  // an operation with a placeholder operand
    void endcell() { e.emitcell(nullptr); }

    // ---- statements (statements.cpp)
    bool finished = false;
    void head();
    void linemark();
    void statementend();
    // Closes the constructs whose single-statement body has just ended, the
    // innermost first; returns true when an if waits for a possible else.
    bool closebodies(bool elseallowed);
    void closewhile(parseitem& w);
    void closeif(parseitem& it);
    void closeswitch(parseitem& s);
    void closebrace();
    void conditionclosed();
    void whileloop(parseitem& w);
    void dotail(size_t whileat, size_t doat);
    void elsepart();
    int32_t enterunit(const wchar_t* name, int32_t len);
    void functionhead();
    void mainbody();
    void checkclosed();
    void unitend(parseitem& owner);
    void defaultresult(bool functstr);
    void casepart();
    void gotostmt();
    void labelstmt();
    void endoftext();
    static bool isend(int32_t t) { return t == tEnd || t == tNewline || t == tCr || t == ';'; }

    // ---- expressions (expressions.cpp)
    void operand();     // state sOperator
    void afteroperand();
    void aftervariable();
    void stringmode();
    void command(bool athead);
    void pushvariable();
    void emitvalue(const parseitem& v, bool asstring);
    void stringoperand(bool first);
    void foldliteral();
    parseitem* pendingprefix();
    void reduce(int32_t minpriority, bool strict);
    void reduceitem(parseitem& it);
    void assign(parseitem& a);
    void infix(int32_t base);
    void closeparen();
    void question();
    void colon();
    void comma();
    void finishexpr();
    bool dispose();
    // The index code of an array-element variable item.
    void arrayindex(const parseitem& v);
    void emitvar(execfn f, const parseitem& v, uint32_t sub);
    void emitread(const parseitem& v, execfn plain, execfn element);
    static int32_t precedence(int32_t t);
};

}  // namespace compiler
