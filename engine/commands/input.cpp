// Keyboard and mouse input: synthesised keys, moves and clicks, the key and
// cursor state, point conversion, the keys typed into the script's own window,
// and the sign mode of integer comparisons.
#include <cwchar>

#include "compiler/textscan.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"

namespace {

void sendkey(WORD vk, WORD scan, DWORD flags)
{
    INPUT in = {};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.wScan = scan;
    in.ki.dwFlags = flags;
    SendInput(1, &in, sizeof(INPUT));
}

// The operand of "kbhit" and "getwmchar": "1" as the first character that is
// not a blank asks for key-down codes.
int64_t keydownflag(wchar_t* args)
{
    return *textscan::skipblank(args) == L'1' ? 1 : 0;
}

}  // namespace

void ExeScr::keyin_exec()
{
    const int32_t vk = cmdargs::toi32(popd());
    const int32_t mode = cmdargs::toi32(popd());
    // The Alt keys go as scan codes, so that menus see a real Alt.
    WORD scan = 0;
    DWORD flags = 0;
    if (vk == VK_MENU || vk == VK_LMENU) {
        scan = 0x38;
        flags = KEYEVENTF_SCANCODE;
    } else if (vk == VK_RMENU) {
        scan = 0x38;
        flags = KEYEVENTF_SCANCODE | KEYEVENTF_EXTENDEDKEY;
    }
    const WORD key = static_cast<WORD>(vk);
    if (mode == 0 || mode == 1)
        sendkey(key, scan, flags);
    if (mode != 1)
        sendkey(key, scan, flags | KEYEVENTF_KEYUP);
}


void ExeScr::mousemove_exec()
{
    const int32_t x = cmdargs::toi32(popd());
    const int32_t y = cmdargs::toi32(popd());
    sendmouse(static_cast<uint32_t>(x), static_cast<uint32_t>(y), 0);
}

void ExeScr::getasynckeystate_exec()
{
    const int32_t vk = cmdargs::toi32(popd());
    pushint(static_cast<int64_t>(GetAsyncKeyState(vk)));
}

void ExeScr::iscursor_exec()
{
    const int64_t hand = ip->i;
    ++ip;
    CURSORINFO ci = {};
    ci.cbSize = sizeof ci;
    GetCursorInfo(&ci);
    const HCURSOR want = LoadCursorW(nullptr, hand == 1 ? IDC_HAND : IDC_ARROW);
    pushint(ci.hCursor == want ? 1 : 0);
}

void ExeScr::getcursorpos_exec()
{
    POINT p = {};
    GetCursorPos(&p);
    xspos = p.x;
    yspos = p.y;
}

void ExeScr::pointconversion_exec()
{
    const int64_t toscreen = ip->i;
    ++ip;
    const HWND wnd = reinterpret_cast<HWND>(static_cast<intptr_t>(popd().i));
    POINT p;
    p.x = cmdargs::toi32(popd());
    p.y = cmdargs::toi32(popd());
    const BOOL done = toscreen == 1 ? ClientToScreen(wnd, &p) : ScreenToClient(wnd, &p);
    if (done != 1) {
        mylogverbose(L" %s \n", L"conversion failed.");
        pushint(done);
        return;
    }
    if (toscreen == 1) {
        xspos = p.x;
        yspos = p.y;
    } else {
        xcpos = p.x;
        ycpos = p.y;
    }
    mylogverbose(L" %s  x:%d y:%d \n", L"converted", static_cast<int>(p.x), static_cast<int>(p.y));
    pushint(1);
}

bool ExeScr::keyqueueon()
{
    if (keymode == 1)
        return false;
    keycount = 0;
    keyread = 0;
    keywrite = 0;
    keymode = 1;
    return true;
}

void ExeScr::kbhit_exec()
{
    keydown = ip->i == 1 ? 1 : 0;
    ++ip;
    if (keyqueueon()) {
        pushint(0);  // what was typed before the first call is not the script's
        return;
    }
    pushint(keycount != 0 || (hotkeyon == 1 && hotkeypending == 1) ? 1 : 0);
}

void ExeScr::getwmchar_exec()
{
    keydown = ip->i == 1 ? 1 : 0;
    ++ip;
    if (keyqueueon() || keycount == 0) {
        pushint(0);
        return;
    }
    if (keyread == 512)
        keyread = 0;
    const uint16_t unit = keyring[keyread++];
    --keycount;
    pushint(unit);
}

void ExeScr::signmode_exec()
{
    const int32_t n = cmdargs::toi32(popd());
    signmode = static_cast<uint32_t>(n);
    pushint(n);
}

// ---- front ends

void ExeScr::keyin_comp(wchar_t* args) { fixedargs_comp(args, "nn", &ExeScr::keyin_exec); }
void ExeScr::mousemove_comp(wchar_t* args) { fixedargs_comp(args, "nn", &ExeScr::mousemove_exec); }

void ExeScr::mousebtn_comp(wchar_t* args)
{
    static const subword buttons[] = {{L"left", 1},   {L"right", 0},     {L"leftdown", 2}, {L"leftup", 3},
                                      {L"rightdown", 4}, {L"rightup", 5}, {nullptr, 0}};
    const wchar_t* word = textscan::trimblanks(args);
    int32_t code = -1;
    if (textscan::asciiletter(*word))
        for (const subword* b = buttons; b->word; ++b)
            if (wcscmp(b->word, word) == 0)
                code = b->code;
    if (code < 0)
        comperr(L"invalid name.");
    emitcell(&ExeScr::mousebtn_exec);
    emitint(code);
}

void ExeScr::getasynckeystate_comp(wchar_t* args)
{
    argnum(args);
    emitcell(&ExeScr::getasynckeystate_exec);
}

void ExeScr::iscursor_comp(wchar_t* args)
{
    const wchar_t* word = textscan::skipblank(args);
    int32_t hand = 0;
    if (wcsncmp(word, L"hand", 4) == 0)
        hand = 1;
    else if (wcsncmp(word, L"arrow", 5) != 0)
        comperr(L"Not supported parameter.");
    emitcell(&ExeScr::iscursor_exec);
    emitint(hand);
}

void ExeScr::pointconversion_comp(wchar_t* args)
{
    if (splitargs(args) != 4)
        comperr(L"the number of argument mismatch.");
    nextnum(args);  // y
    nextnum(args);  // x
    const wchar_t* word = textscan::trimblanks(args + mypop());
    int32_t toscreen = 0;
    if (wcscmp(word, L"toscreen") == 0)
        toscreen = 1;
    else if (wcscmp(word, L"toclient") != 0)
        comperr(L"invalid name.");
    nextnum(args);  // the window
    emitcell(&ExeScr::pointconversion_exec);
    emitint(toscreen);
}

void ExeScr::kbhit_comp(wchar_t* args)
{
    emitcell(&ExeScr::kbhit_exec);
    emitu64(static_cast<uint64_t>(keydownflag(args)));
}

void ExeScr::getwmchar_comp(wchar_t* args)
{
    emitcell(&ExeScr::getwmchar_exec);
    emitu64(static_cast<uint64_t>(keydownflag(args)));
}

void ExeScr::signmode_comp(wchar_t* args)
{
    argnum(args);
    emitcell(&ExeScr::signmode_exec);
}
