// "dshow": plays audio and video files through the player of videoplayer.cpp.
// Every sub-command leaves one number ("status" a double); none stops the
// script: what cannot be done is a 0 and, where said, a log line.
#include <cstring>
#include <string>

#include "compiler/textscan.h"
#include "runtime/cmdargs.h"
#include "runtime/exescr.h"
#include "windows/videorenderer.h"

namespace {

enum : int32_t {
    dsopen = 0,
    dsvideo = 1,
    dsrender = 2,
    dsclose = 4,
    dsrun = 5,
    dsstop = 6,
    dspause = 7,
    dsstatus = 8,
    dsseek = 9,
    dsgetbal = 10,
    dssetbal = 11,
    dsgetvol = 12,
    dssetvol = 13,
    dscaps = 14,
    dscapu = 15,
    dsstyle = 16,
    dsenum = 17,
};

const ExeScr::subword showwords[] = {
    {L"open", dsopen},     {L"video", dsvideo},   {L"render", dsrender}, {L"close", dsclose},
    {L"run", dsrun},       {L"stop", dsstop},     {L"pause", dspause},   {L"status", dsstatus},
    {L"seek", dsseek},     {L"getbal", dsgetbal}, {L"setbal", dssetbal}, {L"getvol", dsgetvol},
    {L"setvol", dssetvol}, {L"caps", dscaps},     {L"capu", dscapu},     {L"style", dsstyle},
    {L"enum", dsenum},     {nullptr, 0},
};

// Whether `given` arguments after the word are right for `code`.
bool countfits(int32_t code, size_t given)
{
    switch (code) {
    case dsopen:
    case dsclose:
    case dsrun:
    case dsstop:
    case dspause:
    case dsgetbal:
    case dsgetvol:
    case dsenum: return given == 0;
    case dscaps: return given == 2 || given == 3;
    case dscapu: return given == 1 || given == 2;
    default: return given == 1;
    }
}

// The "status" selector from its bare word: 0 none (the state), 1 length, 2
// position, 3 state, -1 unknown. Letters past the end of the word match nothing.
int32_t statusselector(const wchar_t* text)
{
    while (*text == L' ' || *text == L'\t')
        ++text;
    const size_t n = wcslen(text);
    if (n == 0)
        return 0;
    const auto at = [&](size_t k) { return k < n ? text[k] : L'\0'; };
    if (at(0) == L'l' || at(1) == L'e' || at(2) == L'n')
        return 1;
    if (at(2) == L's' || at(1) == L'o' || at(0) == L'p')
        return 2;
    if (at(2) == L'a' || at(1) == L't' || at(0) == L's')
        return 3;
    return -1;
}

}  // namespace

void ExeScr::dshow_comp(wchar_t* args)
{
    std::vector<wchar_t*> a = boxargs(args);
    const int32_t code = subcommand(a[0], showwords);
    if (!countfits(code, a.size() - 1))
        comperr(L"the number of argument mismatch.");
    if (code == dsstatus) {
        const int32_t sel = statusselector(a[1]);
        if (sel < 0)
            comperr(L"Not supported parameter.");
        emitcell(&ExeScr::pushint_exec);
        emitint(sel);
    } else {
        for (size_t k = a.size() - 1; k >= 1; --k) {
            if ((code == dsrender || code == dscapu) && k == 1)
                argstr(a[k]);
            else
                argnum(a[k]);
        }
    }
    if (code == dscaps || code == dscapu) {
        emitcell(&ExeScr::pushint_exec);
        emitint(static_cast<int32_t>(a.size()));
    }
    emitcell(&ExeScr::dshow_exec);
    emitu64(static_cast<uint64_t>(code));
}

bool ExeScr::dshow_render(const std::wstring& file)
{
    const size_t cut = file.find_last_of(L'\\');
    const std::wstring base = cut == std::wstring::npos ? file : file.substr(cut + 1);
    wcsncpy(medianame, base.c_str(), 127);
    medianame[127] = 0;

    if (graphstate == 0) {
        if (FAILED(dshow_creategraph())) {
            dshow_teardown();
            if (logon)
                mylogmsgforced(L"ERROR - pGraph->QueryInterface.\n");
            return false;
        }
        graphstate = 1;
    }
    // A further render replaces the window and the video renderer of the one
    // before: the old window is closed (it would otherwise outlive the run),
    // and the graph is stopped so that the old renderer can leave it.
    if (HWND old = dshowwnd)
        SendMessageW(old, WM_CLOSE, 0, 0);
    if (renderer) {
        control->Stop();
        renderer->removerenderer(graph);
        dropvideorenderer();
    }

    boxopen(readyevent, dshowthread, dshow_threadentry, this);

    owners::comptr<IBaseFilter> source;
    HRESULT hr = graph->AddSourceFilter(file.c_str(), nullptr, source.put());
    if (SUCCEEDED(hr))
        hr = rendersource(source.get());
    HWND w = dshowwnd;
    if (SUCCEEDED(hr) && w) {
        if (sizevideowindow(w)) {
            ShowWindow(w, SW_SHOW);
            InvalidateRect(w, nullptr, FALSE);
        } else {
            SendMessageW(w, WM_CLOSE, 0, 0);  // sound only
        }
    }
    return SUCCEEDED(hr);
}

void ExeScr::dshow_close()
{
    if (HWND w = dshowwnd)
        SendMessageW(w, WM_CLOSE, 0, 0);
    dshowthread.join();
    if (graphstate == 1) {
        dshow_teardown();
        graphstate = 0;
    }
}

void ExeScr::dshow_exec()
{
    const auto code = static_cast<int32_t>(ip->i);
    ++ip;
    const auto notopened = [this](bool dbl) {
        if (logon)
            mylogmsgforced(L"ERROR - dshow is not opened.\n");
        if (dbl)
            pushdbl(0.0);
        else
            pushint(0);
    };
    switch (code) {
    case dsopen:
        pushint(0);
        return;
    case dsvideo:
        letterbox = cmdargs::toi32(popd());
        pushint(0);
        return;
    case dsrender:
        pushint(dshow_render(popstr()) ? 1 : 0);
        return;
    case dsclose:
        dshow_close();
        pushint(0);
        return;
    case dsrun:
    case dsstop:
    case dspause: {
        if (!control)
            return notopened(false);
        const HRESULT hr = code == dsrun ? control->Run() : code == dsstop ? control->Stop() : control->Pause();
        pushint(SUCCEEDED(hr) ? 1 : 0);
        return;
    }
    case dsstatus: {
        const int32_t sel = cmdargs::toi32(popd());
        if (!position || !control)
            return notopened(true);
        double v = 0.0;
        HRESULT hr;
        if (sel == 1) {
            hr = position->get_Duration(&v);
        } else if (sel == 2) {
            hr = position->get_CurrentPosition(&v);
        } else {
            OAFilterState state = 0;
            hr = control->GetState(100, &state);
            v = static_cast<double>(state);
        }
        pushdbl(SUCCEEDED(hr) ? v : 0.0);
        return;
    }
    case dsseek: {
        const double at = cmdargs::todbl(popd());
        if (!position)
            return notopened(false);
        pushint(SUCCEEDED(position->put_CurrentPosition(at)) ? 1 : 0);
        return;
    }
    case dsgetbal:
    case dsgetvol: {
        if (!audio)
            return notopened(false);
        long v = 0;
        const HRESULT hr = code == dsgetbal ? audio->get_Balance(&v) : audio->get_Volume(&v);
        pushint(SUCCEEDED(hr) ? v : 0);
        return;
    }
    case dssetbal:
    case dssetvol: {
        const int32_t v = cmdargs::toi32(popd());
        if (!audio)
            return notopened(false);
        const bool fits = code == dssetbal ? v >= -10000 && v <= 10000 : v >= -10000 && v <= 0;
        if (!fits) {
            if (logon)
                mylogmsgforced(L"ERROR - invalid value.\n");
            pushint(0);
            return;
        }
        const HRESULT hr = code == dssetbal ? audio->put_Balance(v) : audio->put_Volume(v);
        pushint(SUCCEEDED(hr) ? 1 : 0);
        return;
    }
    case dscaps: {
        const int32_t count = cmdargs::toi32(popd());
        captionwidth = cmdargs::toi32(popd());
        captionheight = cmdargs::toi32(popd());
        captionfontheight = count == 4 ? cmdargs::toi32(popd()) : 40;
        if (HWND w = dshowwnd)
            PostMessageW(w, WM_USER, 0, 0);
        pushint(0);
        return;
    }
    case dscapu: {
        const int32_t count = cmdargs::toi32(popd());
        std::wstring text = popstr();
        int32_t seconds = 3;
        if (count == 3) {
            seconds = cmdargs::toi32(popd());
            if (seconds <= 0)
                seconds = 3;
        }
        AcquireSRWLockExclusive(&captionlock);
        captiontext.swap(text);
        captionseconds = seconds;
        ReleaseSRWLockExclusive(&captionlock);
        if (HWND w = dshowwnd)
            PostMessageW(w, WM_USER, 1, 0);
        pushint(0);
        return;
    }
    case dsstyle: {
        const int32_t v = cmdargs::toi32(popd());
        if (HWND w = dshowwnd)
            PostMessageW(w, WM_USER, 2, v);
        pushint(0);
        return;
    }
    case dsenum:
        if (graphstate == 1)
            dshow_enumfilters();
        pushint(1);
        return;
    default:
        pushint(0);
        return;
    }
}
