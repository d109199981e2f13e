// Packed device-independent bitmaps as the clipboard holds them (CF_DIB):
// checking one against the size of its block, and the BMP file header that
// goes before it in a file. Window-free.
#pragma once

#include <cstdint>

struct dibparts {
    uint64_t header;  // biSize
    uint64_t table;   // colour table or bit-field masks
    uint64_t image;   // pixel bits
};

// The parts of the DIB at `dib`, a block of `avail` bytes. Accepted are
// uncompressed (BI_RGB) and bit-field (BI_BITFIELDS) bitmaps of 1, 4, 8, 16,
// 24 or 32 bits per pixel whose header, colour table and pixels all lie in
// the block and make a file of less than 4 GB; false for anything else.
bool dibcheck(const void* dib, uint64_t avail, dibparts* out);

// The 14-byte file header of a BMP file holding those parts.
void bmpfileheader(const dibparts& parts, unsigned char out[14]);
