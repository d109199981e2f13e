// The request by which "deletefile" sends a file to the recycle bin.
#pragma once

#include <windows.h>
#include <shellapi.h>

// A silent delete into the recycle bin, without an owner window or a question:
// `from` must hold the path followed by two NULs and outlive the request.
SHFILEOPSTRUCTW recyclerequest(const wchar_t* from);
