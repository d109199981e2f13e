// Formatting of one wide log line, of any length, with the Microsoft runtime's
// wide formats ("%s" is a wide string).
#pragma once

#include <cstdarg>
#include <cstddef>

// A formatted line: inline when it fits in 256 characters with room for one
// more character and the terminator, else on the heap. `text` is terminated.
class logline {
public:
    logline(const wchar_t* fmt, va_list ap);
    ~logline();
    logline(const logline&) = delete;
    logline& operator=(const logline&) = delete;

    wchar_t* text;
    size_t len;
    // False when the line could not be formatted whole (no memory, or a text
    // the runtime's formatter refuses): it is then written nowhere, since a
    // cut line would lose its end and run into the next one.
    bool whole = true;

    // A final line feed not preceded by a carriage return becomes CR LF; line
    // feeds inside the line are left alone. There is always room for the CR.
    void crlf();

private:
    wchar_t inl[256];
    wchar_t* heap = nullptr;
};
