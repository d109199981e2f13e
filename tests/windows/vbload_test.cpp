// Loading a ViewBox's file on the script thread, without its window: the
// encodings, short files, a missing file and the loads that end the script.
#include <gtest/gtest.h>

#include <string>

#include "support/testenv.h"
#include "windows/viewbox.h"

using qtest::expectfatal;
using qtest::scratchdir;
using qtest::writebytes;

namespace {

std::wstring scratch(const wchar_t* name, const std::string& bytes)
{
    const std::wstring path = scratchdir() + name;
    writebytes(path, bytes);
    return path;
}

// The text after its byte-order mark, and the block's id.
std::wstring loaded(const wchar_t* name, const std::string& bytes, int32_t encoding, int32_t* id = nullptr)
{
    ExeScr e;
    std::wstring text = L"<not loaded>";
    {
        viewbox b(&e);
        if (b.viewbox_loadfile(scratch(name, bytes).c_str(), encoding)) {
            EXPECT_EQ(b.text[0], 0xFEFF);
            text = b.text + 1;
            if (id)
                *id = b.textid;
        }
    }
    EXPECT_TRUE(e.allocs.empty()) << "the box gave its text back";
    return text;
}

}  // namespace

TEST(ViewBoxLoad, Utf16Utf8AndAnsi)
{
    int32_t id = 0;
    EXPECT_EQ(loaded(L"vb16.txt", std::string("\xFF\xFE" "a\0\xE9\0\r\0\n\0", 10), 8, &id), L"a\xE9\r\n")
        << "the mark wins over the encoding given";
    EXPECT_EQ(id, 4851);
    EXPECT_EQ(loaded(L"vb8.txt", "caf\xC3\xA9\n\xF0\x9F\x98\x80", 8, &id), L"caf\xE9\n\xD83D\xDE00");
    EXPECT_EQ(id, 4852);
    EXPECT_EQ(loaded(L"vb8bom.txt", "\xEF\xBB\xBFx", 8), L"x") << "a UTF-8 mark is not text";
    EXPECT_EQ(loaded(L"vbansi.txt", "caf\xE9", 4, &id), L"caf\xE9");
    EXPECT_EQ(id, 4853);
}

TEST(ViewBoxLoad, ShortFiles)
{
    EXPECT_EQ(loaded(L"vbempty.txt", "", 8), L"");
    EXPECT_EQ(loaded(L"vbone.txt", "x", 8), L"x");
    EXPECT_EQ(loaded(L"vbmark.txt", "\xFF\xFE", 0), L"") << "the mark alone: an empty UTF-16 text";
    EXPECT_EQ(loaded(L"vbodd.txt", std::string("\xFF\xFE" "a\0b", 5), 0), L"a") << "a last odd byte is dropped";

    // One byte cannot hold a mark: without an encoding the file is refused,
    // whatever the byte is.
    const std::wstring one = scratch(L"vbff.txt", "\xFF");
    EXPECT_EQ(expectfatal(qtest::fatalengine(),
                          [&](ExeScr& e) {
                              viewbox b(&e);  // the thread ends in the fatal exit, never here
                              b.viewbox_loadfile(one.c_str(), 0);
                          }),
              L"File open failed.:" + one);
    const std::wstring none = scratch(L"vbzero.txt", "");
    EXPECT_EQ(expectfatal(qtest::fatalengine(),
                          [&](ExeScr& e) {
                              viewbox b(&e);
                              b.viewbox_loadfile(none.c_str(), 0);
                          }),
              L"File open failed.:" + none);
}

TEST(ViewBoxLoad, MissingFileIsLoggedAndRefused)
{
    qtest::loggedengine e(L"vbmissing");
    const std::wstring path = scratchdir() + L"no such viewbox file.txt";
    {
        viewbox b(&e);
        EXPECT_FALSE(b.viewbox_loadfile(path.c_str(), 8));
        EXPECT_EQ(b.text, nullptr);
    }
    EXPECT_FALSE(e.syserrtext.empty()) << "the last-error text";
    e.closelog();
    const std::wstring log = e.contents();
    EXPECT_NE(log.find(L"File open failed.:" + path + L":" + e.syserrtext), std::wstring::npos) << log.c_str();
    EXPECT_TRUE(e.allocs.empty());
}
