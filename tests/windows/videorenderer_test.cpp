// The video renderers on their own, in a graph of the test: the windowless
// set-up, letter-boxing, the video rectangle, `findpin`, and what
// `finalizerenderer` does with and without a video stream.
#include <gtest/gtest.h>

#include "windows/videorenderer.h"
#include "windows/videotests.h"

namespace {

using owners::comptr;

class Renderers : public testing::Test {
protected:
    void SetUp() override
    {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_HRESULT_SUCCEEDED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER,
                                                  IID_IGraphBuilder, graph.putvoid()));
    }
    void TearDown() override
    {
        graph.reset();
        CoUninitialize();
    }
    bool ingraph(const wchar_t* name)
    {
        comptr<IBaseFilter> f;
        return SUCCEEDED(graph->FindFilterByName(name, f.put()));
    }
    // Renders every pin of `file` to the renderers already in the graph.
    void rendertoexisting(const std::wstring& file)
    {
        comptr<IBaseFilter> source;
        ASSERT_HRESULT_SUCCEEDED(graph->AddSourceFilter(file.c_str(), nullptr, source.put()));
        comptr<IFilterGraph2> g2;
        ASSERT_HRESULT_SUCCEEDED(graph->QueryInterface(IID_IFilterGraph2, g2.putvoid()));
        comptr<IEnumPins> pins;
        ASSERT_HRESULT_SUCCEEDED(source->EnumPins(pins.put()));
        comptr<IPin> pin;
        while (pins->Next(1, pin.put(), nullptr) == S_OK)
            g2->RenderEx(pin.get(), AM_RENDEREX_RENDERTOEXISTINGRENDERERS, nullptr);
    }

    qtest::hiddenwindow window;
    comptr<IGraphBuilder> graph;
};

template <class R>
void expectidle(R& r)
{
    EXPECT_FALSE(r.haswindowless());
    LONG w = 77, h = 77, aw = 77, ah = 77;
    EXPECT_EQ(r.getnativesize(&w, &h, &aw, &ah), S_OK);
    EXPECT_EQ(w + h + aw + ah, 4 * 77) << "the outputs are not touched";
    EXPECT_EQ(r.setvideorect(nullptr, nullptr), S_OK);
    EXPECT_EQ(r.repaintvideo(nullptr, nullptr), S_OK);
    EXPECT_EQ(r.displaychanged(), S_OK);
    EXPECT_EQ(r.setletterbox(1), S_OK);
    EXPECT_EQ(r.finalizerenderer(nullptr), S_OK);
    EXPECT_EQ(r.removerenderer(nullptr), S_OK);
}

TEST_F(Renderers, WithoutAControlEveryOperationButAddingIsAHarmlessSuccess)
{
    VMR9 v9;
    VMR7 v7;
    EXPECT_EQ(v9.allocid, 0);
    expectidle(v9);
    expectidle(v7);
    EXPECT_EQ(v9.addrenderer(nullptr, window.hwnd), E_POINTER);
    EXPECT_EQ(v7.addrenderer(nullptr, window.hwnd), E_POINTER);
    expectidle(v9);
}

TEST_F(Renderers, EachJoinsTheGraphUnderItsNameWindowlessAndLetterBoxed)
{
    VMR9 v9;
    ASSERT_HRESULT_SUCCEEDED(v9.addrenderer(graph.get(), window.hwnd));
    EXPECT_TRUE(ingraph(L"VMR-9"));
    ASSERT_TRUE(v9.haswindowless());
    DWORD mode = 9;
    ASSERT_HRESULT_SUCCEEDED(v9.windowless()->GetAspectRatioMode(&mode));
    EXPECT_EQ(mode, 1u);

    VMR7 v7;
    const HRESULT hr = v7.addrenderer(graph.get(), window.hwnd);
    if (FAILED(hr)) {
        // Wine 8's VMR-7 refuses the letter-box mode (a stub): the half set-up
        // filter must not stay in the graph, where a stream could reach it.
        EXPECT_FALSE(ingraph(L"VMR-7"));
        EXPECT_FALSE(v7.haswindowless());
        return;
    }
    EXPECT_TRUE(ingraph(L"VMR-7"));
    ASSERT_TRUE(v7.haswindowless());
    v7.windowless()->GetAspectRatioMode(&mode);
    EXPECT_EQ(mode, 1u);
}

TEST_F(Renderers, LetterBoxOnlyForFlagOneOnTheVmr9)
{
    VMR9 v9;
    ASSERT_HRESULT_SUCCEEDED(v9.addrenderer(graph.get(), window.hwnd));
    const auto mode = [&] {
        DWORD m = 9;
        v9.windowless()->GetAspectRatioMode(&m);
        return m;
    };
    ASSERT_HRESULT_SUCCEEDED(v9.setletterbox(2));
    EXPECT_EQ(mode(), 0u);
    v9.setletterbox(1);
    EXPECT_EQ(mode(), 1u);
    v9.setletterbox(0);
    EXPECT_EQ(mode(), 0u);
}

TEST_F(Renderers, LetterBoxForAnyNonZeroFlagOnTheVmr7)
{
    VMR7 v7;
    if (FAILED(v7.addrenderer(graph.get(), window.hwnd)))
        GTEST_SKIP() << "this system's VMR-7 cannot draw windowless";
    const auto mode = [&] {
        DWORD m = 9;
        v7.windowless()->GetAspectRatioMode(&m);
        return m;
    };
    ASSERT_HRESULT_SUCCEEDED(v7.setletterbox(0));
    EXPECT_EQ(mode(), 0u);
    v7.setletterbox(2);
    EXPECT_EQ(mode(), 1u);
}

TEST_F(Renderers, VideoRectangleDefaultsToTheWholeClientArea)
{
    VMR9 v9;
    ASSERT_HRESULT_SUCCEEDED(v9.addrenderer(graph.get(), window.hwnd));
    RECT client;
    GetClientRect(window.hwnd, &client);
    ASSERT_HRESULT_SUCCEEDED(v9.setvideorect(window.hwnd, nullptr));
    RECT src = {}, dst = {};
    ASSERT_HRESULT_SUCCEEDED(v9.windowless()->GetVideoPosition(&src, &dst));
    EXPECT_TRUE(EqualRect(&dst, &client)) << dst.right << "x" << dst.bottom;
    const RECT part = {5, 6, 100, 80};
    ASSERT_HRESULT_SUCCEEDED(v9.setvideorect(window.hwnd, &part));
    v9.windowless()->GetVideoPosition(&src, &dst);
    EXPECT_TRUE(EqualRect(&dst, &part));
}

TEST_F(Renderers, FindPinLooksAtConnectionAndDirection)
{
    comptr<IBaseFilter> vmr;
    ASSERT_HRESULT_SUCCEEDED(addgraphfilter(graph.get(), CLSID_VideoMixingRenderer9, L"VMR-9", vmr.put()));
    comptr<IPin> pin;
    EXPECT_EQ(findpin(vmr.get(), pinwant{FALSE, PINDIR_INPUT}, pin.put()), S_OK);
    ASSERT_TRUE(pin);
    PIN_DIRECTION dir;
    pin->QueryDirection(&dir);
    EXPECT_EQ(dir, PINDIR_INPUT);
    comptr<IPin> none;
    EXPECT_EQ(findpin(vmr.get(), pinwant{TRUE, PINDIR_INPUT}, none.put()), VFW_E_NOT_FOUND);
    EXPECT_EQ(findpin(vmr.get(), pinwant{FALSE, PINDIR_OUTPUT}, none.put()), VFW_E_NOT_FOUND);
    EXPECT_FALSE(none);
}

TEST_F(Renderers, SoundOnlyMediaTakesTheRendererOutOfTheGraph)
{
    if (!qtest::hasplayback())
        GTEST_SKIP() << "no test media or audio server";
    VMR9 v9;
    ASSERT_HRESULT_SUCCEEDED(v9.addrenderer(graph.get(), window.hwnd));
    comptr<IBaseFilter> sound;
    ASSERT_HRESULT_SUCCEEDED(addgraphfilter(graph.get(), CLSID_DSoundRender, L"Audio Renderer", sound.put()));
    rendertoexisting(qtest::clip(L"tone.wav"));
    EXPECT_EQ(v9.finalizerenderer(graph.get()), S_OK);
    EXPECT_FALSE(ingraph(L"VMR-9"));
    expectidle(v9);
}

TEST_F(Renderers, AVideoStreamKeepsTheRendererWithItsNativeSize)
{
    if (!qtest::hasplayback())
        GTEST_SKIP() << "no test media or audio server";
    VMR9 v9;
    ASSERT_HRESULT_SUCCEEDED(v9.addrenderer(graph.get(), window.hwnd));
    rendertoexisting(qtest::clip(L"vonly.avi"));
    EXPECT_EQ(v9.finalizerenderer(graph.get()), S_OK);
    EXPECT_TRUE(ingraph(L"VMR-9"));
    ASSERT_TRUE(v9.haswindowless());
    LONG w = 0, h = 0, aw = 0, ah = 0;
    ASSERT_HRESULT_SUCCEEDED(v9.getnativesize(&w, &h, &aw, &ah));
    EXPECT_EQ(w, 160);
    EXPECT_EQ(h, 120);
    comptr<IBaseFilter> filter;
    ASSERT_HRESULT_SUCCEEDED(v9.windowless()->QueryInterface(IID_IBaseFilter, filter.putvoid()));
    comptr<IPin> pin;
    EXPECT_EQ(findpin(filter.get(), pinwant{TRUE, PINDIR_INPUT}, pin.put()), S_OK);

    // Taken out on purpose, it gives its control back.
    pin.reset();
    filter.reset();
    EXPECT_HRESULT_SUCCEEDED(v9.removerenderer(graph.get()));
    EXPECT_FALSE(ingraph(L"VMR-9"));
    EXPECT_FALSE(v9.haswindowless());
}

TEST_F(Renderers, ARendererThatCannotDrawWindowlessLeavesTheGraph)
{
    // A handle that names no window: the clipping window is refused.
    VMR9 v9;
    const HRESULT hr = v9.addrenderer(graph.get(), reinterpret_cast<HWND>(static_cast<intptr_t>(0x7ff0)));
    if (SUCCEEDED(hr))
        GTEST_SKIP() << "this system takes any clipping window";
    EXPECT_FALSE(ingraph(L"VMR-9")) << "no stream may reach a half set-up renderer";
    EXPECT_FALSE(v9.haswindowless());
}

}  // namespace
