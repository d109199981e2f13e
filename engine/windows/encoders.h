// The GDI+ image encoders, found by MIME type, for the commands that save
// pictures (the clipboard's JPEG files, the image boxes' JPEG and PNG files).
#pragma once

#include <windows.h>
#include <objbase.h>
#include <gdiplus.h>

#include <cstdint>

class ExeScr;

// The index of the GDI+ encoder whose MIME type is exactly `mime` (case
// matters), with its class id in *out; -1 when there is none or the list is
// empty or cannot be had. GDI+ must be started.
int32_t getencoderclsid(ExeScr* e, const wchar_t* mime, CLSID* out);

// The GDI+ encoder parameter "quality" (EncoderQuality), for JPEG files.
extern const GUID encoderqualityparam;

// GDI+ started for one command's work and shut down when it goes; ok() tells
// whether it started.
class gdiplussession {
public:
    gdiplussession();
    ~gdiplussession();
    gdiplussession(const gdiplussession&) = delete;
    gdiplussession& operator=(const gdiplussession&) = delete;
    bool ok() const { return started; }

private:
    ULONG_PTR token = 0;
    bool started = false;
};

// The encoder parameters of a JPEG file of the best quality (100).
struct jpegbest {
    ULONG quality = 100;
    Gdiplus::EncoderParameters params;
    jpegbest();
    jpegbest(const jpegbest&) = delete;
    jpegbest& operator=(const jpegbest&) = delete;
};
