// The GDI+ image encoders, found by MIME type, for the commands that save
// pictures (the clipboard's JPEG files, the image boxes' JPEG and PNG files).
#pragma once

#include <windows.h>

#include <cstdint>

class ExeScr;

// The index of the GDI+ encoder whose MIME type is exactly `mime` (case
// matters), with its class id in *out; -1 when there is none or the list is
// empty or cannot be had. GDI+ must be started.
int32_t getencoderclsid(ExeScr* e, const wchar_t* mime, CLSID* out);

// The GDI+ encoder parameter "quality" (EncoderQuality), for JPEG files.
extern const GUID encoderqualityparam;
