// Times scripts inside one process, by the CPU time of the thread that runs
// them: a measure that a machine shared with other work disturbs far less
// than the elapsed time tools/bench reads from the end line. For developing
// the engine's execution path; not a test.
//   benchengine [--runs N] [--nosegments] [--exits] FILE.tst...   (UTF-8 text, as in bench/)
// --exits lists, once per file, the cells where the segments hand over
// to the code loop, with their lines: where a program leaves the fast path.
// Prints, per file, the least thread time and the least elapsed time of its
// runs (compile included, as the end line counts it), in milliseconds.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "runtime/exescr.h"
#include "runtime/quorvelcore.h"
#include "segments/segments.h"
#include "support/lineends.h"

namespace {

std::wstring readsource(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string bytes = ss.str();
    std::wstring wide;
    if (bytes.size() >= 2 && bytes[0] == '\xff' && bytes[1] == '\xfe') {
        // A script file as the host saves it: UTF-16LE after its mark. Read
        // as UTF-8 it would not compile, and the fatal box would hang the run.
        wide.resize((bytes.size() - 2) / 2);
        std::memcpy(wide.data(), bytes.data() + 2, wide.size() * sizeof(wchar_t));
    } else {
        const int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
        wide.assign(static_cast<size_t>(n), L'\0');
        MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), wide.data(), n);
    }
    return qtest::crlf(wide);
}

double threadms()
{
    FILETIME c, x, k, u;
    GetThreadTimes(GetCurrentThread(), &c, &x, &k, &u);
    const auto t = [](const FILETIME& f) { return (static_cast<uint64_t>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
    return static_cast<double>(t(u) + t(k)) / 1e4;
}

double wallms()
{
    LARGE_INTEGER f, c;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&c);
    return static_cast<double>(c.QuadPart) * 1000.0 / static_cast<double>(f.QuadPart);
}

// The name of a common operation, for --exits.
const char* opname(execfn f)
{
    using E = ExeScr;
    static const struct {
        execfn f;
        const char* name;
    } names[] = {
        {&E::pushvar_exec, "pushvar"},       {&E::pushint_exec, "pushint"},     {&E::pushnum_exec, "pushnum"},
        {&E::andjump_exec, "andjump"},       {&E::orjump_exec, "orjump"},       {&E::jumpiffalse_exec, "jumpiffalse"},
        {&E::jumpiftrue_exec, "jumpiftrue"}, {&E::loopexit_exec, "loopexit"},   {&E::jump_exec, "jump"},
        {&E::arrayindex_run, "arrayindex"},  {&E::pushvarx_exec, "pushvarx"},   {&E::usercall_exec, "usercall"},
        {&E::callargnum_exec, "callargnum"}, {&E::incdec_exec, "incdec"},       {&E::compoundassign_exec, "compound"},
    };
    for (const auto& n : names)
        if (n.f == f)
            return n.name;
    return "other";
}

// One compile and run; the blocks the run keeps are given back by hand (a
// run's end would do it).
void runonce(const std::wstring& text, bool segments, bool exits, double& cpu, double& wall)
{
    auto* e = new ExeScr();
    e->segon = segments ? 1 : 0;
    std::wstring buf = text;
    const double c0 = threadms(), w0 = wallms();
    e->loadscript(buf.data());
    e->segpass(0);
    if (exits)
        for (const auto& r : e->segranges)
            for (const seg::segment& s : r->segments)
                if (s.run == seg::exitrun())
                    std::printf("  leaves at cell %d, line %d: %s\n", s.cell, e->lineofcode(s.cell), opname(e->code[s.cell].op));
    e->curfunc = static_cast<int32_t>(e->functable.size() - 1);
    e->unitbase = static_cast<uint32_t>(e->functable.back().codestart);
    e->runcode(e->unitbase);
    cpu = threadms() - c0;
    wall = wallms() - w0;
    std::erase_if(e->allocs, [](const memrec& r) {
        if (!r.reserved)
            free(r.ptr);
        return !r.reserved;  // address space the destructor gives back
    });
    delete e;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    int runs = 5;
    bool segments = true, exits = false;
    g_suplogmsg = 1;
    for (int k = 1; k < argc; ++k) {
        const std::wstring a = argv[k];
        if (a == L"--runs" && k + 1 < argc) {
            runs = _wtoi(argv[++k]);
            continue;
        }
        if (a == L"--nosegments") {
            segments = false;
            continue;
        }
        if (a == L"--exits") {
            exits = true;
            continue;
        }
        char path[MAX_PATH * 3];
        WideCharToMultiByte(CP_UTF8, 0, argv[k], -1, path, sizeof path, nullptr, nullptr);
        const std::wstring text = readsource(path);
        double bestcpu = 1e18, bestwall = 1e18;
        for (int r = 0; r < runs; ++r) {
            double cpu, wall;
            runonce(text, segments, exits && r == 0, cpu, wall);
            bestcpu = cpu < bestcpu ? cpu : bestcpu;
            bestwall = wall < bestwall ? wall : bestwall;
        }
        std::printf("%-40s cpu %9.2f ms  wall %9.2f ms\n", path, bestcpu, bestwall);
        std::fflush(stdout);
    }
    return 0;
}
