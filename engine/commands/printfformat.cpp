// The printf formatter and its number formatter. Numbers are written digit by
// digit here rather than by the library's formatted output: the commas, the
// exact-width fields and the truncated fractions are this language's own.
#include "commands/printfformat.h"

#include <climits>
#include <cmath>
#include <cwchar>

#include "runtime/cmdargs.h"
#include "runtime/decimal.h"

namespace {

constexpr int32_t defaultprecision = 6;

// Decimal digits of an unsigned value, most significant first.
void appenddigits(uint64_t v, std::wstring& out)
{
    wchar_t buf[decimalmax];
    const wchar_t* from = decimaldigits(v, buf + decimalmax);
    out.append(from, static_cast<size_t>(buf + decimalmax - from));
}

// Decimal digits of an integral double of 2^64 or more, exactly: its mantissa
// doubled `exponent` times in base 10^9 limbs, least significant first.
void appendbigdigits(double v, std::wstring& out)
{
    int exponent = 0;
    const double m = std::frexp(v, &exponent);  // v = m * 2^exponent, 0.5 <= m < 1
    uint64_t mant = static_cast<uint64_t>(std::ldexp(m, 53));
    exponent -= 53;
    std::vector<uint32_t> limbs;
    while (mant != 0) {
        limbs.push_back(static_cast<uint32_t>(mant % 1000000000u));
        mant /= 1000000000u;
    }
    for (int k = 0; k < exponent; ++k) {
        uint32_t carry = 0;
        for (uint32_t& l : limbs) {
            const uint64_t x = static_cast<uint64_t>(l) * 2 + carry;
            l = static_cast<uint32_t>(x % 1000000000u);
            carry = static_cast<uint32_t>(x / 1000000000u);
        }
        if (carry)
            limbs.push_back(carry);
    }
    appenddigits(limbs.back(), out);
    for (size_t k = limbs.size() - 1; k-- > 0;) {
        wchar_t buf[10];
        uint32_t l = limbs[k];
        for (int d = 8; d >= 0; --d) {
            buf[d] = static_cast<wchar_t>(L'0' + l % 10);
            l /= 10;
        }
        out.append(buf, 9);
    }
}

// Puts a comma between groups of three of the digits from `from` on.
void groupdigits(std::wstring& out, size_t from)
{
    const size_t n = out.size() - from;
    std::wstring grouped;
    grouped.reserve(n + n / 3);
    for (size_t k = 0; k < n; ++k) {
        if (k != 0 && (n - k) % 3 == 0)
            grouped += L',';
        grouped += out[from + k];
    }
    out.replace(from, n, grouped);
}

// The 64-bit pattern "x" prints for a number.
uint64_t hexpattern(const datdcell& c)
{
    if (c.isint)
        return static_cast<uint64_t>(c.i);
    constexpr double two63 = 9223372036854775808.0;
    if (c.d >= two63) {
        // Reduced by 2^63, converted, given the top bit back; beyond 2^64 the
        // processor's indefinite value stands.
        const double rest = c.d - two63;
        const uint64_t low = rest < two63 ? static_cast<uint64_t>(rest) : (1ull << 63);
        return low | (1ull << 63);
    }
    return static_cast<uint64_t>(cmdargs::toi64(c));
}

void appendhex(uint64_t v, std::wstring& out)
{
    wchar_t buf[16];
    int n = 0;
    do {
        buf[n++] = L"0123456789abcdef"[v & 15];
        v >>= 4;
    } while (v != 0);
    while (n > 0)
        out += buf[--n];
}

// Runs of digits saturate rather than wrap.
int32_t readnumber(const wchar_t*& p)
{
    int64_t v = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        v = v * 10 + (*p - L'0');
        if (v > INT32_MAX)
            v = INT32_MAX;
    }
    return static_cast<int32_t>(v);
}

// Fits a converted text to `width` characters (see the header).
void fitfield(std::wstring& text, int32_t width, bool left, bool zeros, bool numeric)
{
    const size_t w = static_cast<size_t>(width);
    if (text.size() >= w) {
        text.resize(w);
        return;
    }
    const size_t pad = w - text.size();
    if (left) {
        text.append(pad, L' ');
        return;
    }
    if (!zeros) {
        text.insert(0, pad, L' ');
        return;
    }
    if (numeric) {
        // Zeros go between the sign and the digits; "nan" and "inf" take blanks.
        const size_t sign = text[0] == L'-' ? 1 : 0;
        if (sign < text.size() && (text[sign] < L'0' || text[sign] > L'9')) {
            text.insert(0, pad, L' ');
            return;
        }
        text.insert(sign, pad, L'0');
        return;
    }
    text.insert(0, pad, L'0');
}

}  // namespace

void formatfield(const datdcell& value, int32_t precision, int mode, std::wstring& out)
{
    out.clear();
    if (value.isint) {
        const bool neg = value.i < 0;
        // From the unsigned value: the most negative integer has no positive twin.
        const uint64_t mag = neg ? 0 - static_cast<uint64_t>(value.i) : static_cast<uint64_t>(value.i);
        if (neg)
            out += L'-';
        appenddigits(mag, out);
        if (mode == 1)
            groupdigits(out, neg ? 1 : 0);
        return;
    }
    const double v = value.d;
    if (std::isnan(v)) {
        out = L"nan";
        return;
    }
    if (std::isinf(v)) {
        out = v < 0 ? L"-inf" : L"inf";
        return;
    }
    const bool neg = v < 0;
    const double mag = std::fabs(v);
    const double ipart = std::floor(mag);
    if (neg)
        out += L'-';
    const size_t first = out.size();
    if (ipart < 18446744073709551616.0)
        appenddigits(static_cast<uint64_t>(ipart), out);
    else
        appendbigdigits(ipart, out);
    if (mode == 1)
        groupdigits(out, first);
    double f = mag - ipart;
    if (f == 0.0)
        return;
    out += L'.';
    const int32_t digits = precision < 0 ? defaultprecision : precision;
    for (int32_t k = 0; k < digits && f != 0.0; ++k) {
        f *= 10.0;
        const double d = std::floor(f);
        out += static_cast<wchar_t>(L'0' + (d > 9.0 ? 9 : static_cast<int>(d)));
        f -= d;
    }
}

bool printfformat(const wchar_t* format, printfargs& args, std::wstring& out, std::wstring& error)
{
    out.clear();
    std::wstring field;
    const wchar_t* p = format;
    for (;;) {
        const wchar_t* pct = wcschr(p, L'%');
        if (!pct) {
            out.append(p);
            return true;
        }
        out.append(p, static_cast<size_t>(pct - p));
        p = pct + 1;
        if (*p == L'%') {
            out += L'%';
            ++p;
            continue;
        }
        const bool left = *p == L'-';
        if (left)
            ++p;
        const bool zeros = *p == L'0';
        if (zeros)
            ++p;
        int32_t width = -1;
        if (*p >= L'0' && *p <= L'9') {
            width = readnumber(p);
            if (width == 0 || width > printfmaxfield) {
                error = L"field length 0 error.";
                return false;
            }
        }
        int32_t precision = -1;
        if (*p == L'.') {
            ++p;
            precision = readnumber(p);
            if (precision > printfmaxfield) {
                error = L"field length 0 error.";
                return false;
            }
        }
        bool numeric = false;
        switch (*p) {
        case L'D':
        case L'd':
            formatfield(args.number(), precision, *p == L'd' ? 1 : 0, field);
            numeric = true;
            break;
        case L'c': {
            const wchar_t ch = static_cast<wchar_t>(cmdargs::toi32(args.number()) & 0xFFFF);
            field.assign(ch != 0 ? 1 : 0, ch);
            break;
        }
        case L'x':
            field.clear();
            appendhex(hexpattern(args.number()), field);
            break;
        case L's':
            field = args.text();
            break;
        case L'S': {
            const std::wstring t = args.text();
            field.clear();
            for (wchar_t ch : t) {
                field += ch;
                if (ch == L'\'')
                    field += ch;
            }
            break;
        }
        default:
            error = L"unsupportrd format.:";
            error += p;
            return false;
        }
        ++p;
        if (width > 0)
            fitfield(field, width, left, zeros, numeric);
        out += field;
    }
}

printflist& printflist::num(int64_t v)
{
    datdcell c{};
    c.i = v;
    c.isint = 1;
    nums.push_back(c);
    return *this;
}

printflist& printflist::dbl(double v)
{
    datdcell c{};
    c.d = v;
    nums.push_back(c);  // tag 0: a double
    return *this;
}

printflist& printflist::str(std::wstring v)
{
    texts.push_back(std::move(v));
    return *this;
}

datdcell printflist::number()
{
    if (nextnum < nums.size())
        return nums[nextnum++];
    short_ = true;
    datdcell c{};
    c.isint = 1;
    return c;
}

std::wstring printflist::text()
{
    if (nexttext < texts.size())
        return texts[nexttext++];
    short_ = true;
    return std::wstring();
}
