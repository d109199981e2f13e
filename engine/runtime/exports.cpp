// Definitions of the data the engine library exports to the host.
#include "runtime/quorvelcore.h"

extern "C" {

std::wstring programdir;
std::vector<std::wstring> argbuffs;

int exitflag = 0;
int quitflag = 0;
volatile LONG g_screxits = 0;
int g_suplogmsg = 0;

int fontheight = 0;
wchar_t fontname[LF_FACESIZE] = {};
HFONT hFont1 = nullptr;
HFONT hFont2 = nullptr;

HWND hWndp = nullptr;
HWND hEditp = nullptr;
HWND hWndRunEdit = nullptr;
HWND hStatus = nullptr;

HGDIOBJ g_stock_white = nullptr;
HGDIOBJ g_stock_black = nullptr;

}  // extern "C"
