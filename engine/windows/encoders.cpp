#include "windows/encoders.h"

#include <cwchar>

#include "runtime/exescr.h"

namespace {

// The encoder list is scratch: an untracked block.
constexpr int32_t encoderlistid = 9030;

}  // namespace

const GUID encoderqualityparam = {0x1d5be4b5, 0xfa4a, 0x452d, {0x9c, 0xdd, 0x5d, 0xb3, 0x51, 0x05, 0xe7, 0xeb}};

int32_t getencoderclsid(ExeScr* e, const wchar_t* mime, CLSID* out)
{
    UINT count = 0, bytes = 0;
    if (Gdiplus::DllExports::GdipGetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || count == 0 || bytes == 0)
        return -1;
    auto* list = static_cast<Gdiplus::ImageCodecInfo*>(e->mymalloc2(bytes, encoderlistid));
    int32_t found = -1;
    if (Gdiplus::DllExports::GdipGetImageEncoders(count, bytes, list) == Gdiplus::Ok) {
        for (UINT k = 0; k < count; ++k) {
            if (list[k].MimeType && wcscmp(list[k].MimeType, mime) == 0) {
                *out = list[k].Clsid;
                found = static_cast<int32_t>(k);
                break;
            }
        }
    }
    e->myfree(list, encoderlistid);
    return found;
}

gdiplussession::gdiplussession()
{
    Gdiplus::GdiplusStartupInput input;
    started = Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
}

gdiplussession::~gdiplussession()
{
    if (started)
        Gdiplus::GdiplusShutdown(token);
}

jpegbest::jpegbest()
{
    params.Count = 1;
    params.Parameter[0].Guid = encoderqualityparam;
    params.Parameter[0].Type = Gdiplus::EncoderParameterValueTypeLong;
    params.Parameter[0].NumberOfValues = 1;
    params.Parameter[0].Value = &quality;
}
