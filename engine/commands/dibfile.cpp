#include "commands/dibfile.h"

#include <cstring>

namespace {

constexpr uint32_t bi_rgb = 0;
constexpr uint32_t bi_bitfields = 3;
constexpr uint64_t infoheadersize = 40;

// The fields of BITMAPINFOHEADER, read without assuming alignment.
struct infoheader {
    uint32_t size;
    int32_t width;
    int32_t height;
    uint16_t planes;
    uint16_t bitcount;
    uint32_t compression;
    uint32_t clrused;
};

infoheader readheader(const unsigned char* p)
{
    infoheader h;
    memcpy(&h.size, p, 4);
    memcpy(&h.width, p + 4, 4);
    memcpy(&h.height, p + 8, 4);
    memcpy(&h.planes, p + 12, 2);
    memcpy(&h.bitcount, p + 14, 2);
    memcpy(&h.compression, p + 16, 4);
    memcpy(&h.clrused, p + 32, 4);
    return h;
}

void put16(unsigned char* p, uint16_t v)
{
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

void put32(unsigned char* p, uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        p[k] = static_cast<unsigned char>(v >> (8 * k));
}

}  // namespace

bool dibcheck(const void* dib, uint64_t avail, dibparts* out)
{
    if (!dib || avail < infoheadersize)
        return false;
    const infoheader h = readheader(static_cast<const unsigned char*>(dib));
    if (h.size < infoheadersize || h.size > avail)
        return false;
    const uint16_t bits = h.bitcount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return false;
    if (h.compression != bi_rgb && !(h.compression == bi_bitfields && (bits == 16 || bits == 32)))
        return false;
    if (h.width <= 0 || h.height == 0)
        return false;

    // The colour table: entries for every colour of a palette image (all of
    // them when none are counted), the masks of a bit-field image whose
    // header has no room for them, and any palette a deeper image names.
    const uint64_t used = h.clrused;
    uint64_t table = 4 * used;
    if (bits <= 8 && used == 0)
        table = 4ull << bits;
    else if (bits > 8 && h.size == infoheadersize && h.compression == bi_bitfields)
        table = 12 + 4 * used;

    const uint64_t stride = ((static_cast<uint64_t>(h.width) * bits + 31) & ~31ull) / 8;
    const int64_t height = h.height;
    const uint64_t rows = static_cast<uint64_t>(height < 0 ? -height : height);
    const uint64_t room = avail - h.size;
    if (table > room || rows > (room - table) / stride)
        return false;
    const uint64_t image = stride * rows;
    if (14 + h.size + table + image > 0xFFFFFFFFull)
        return false;
    out->header = h.size;
    out->table = table;
    out->image = image;
    return true;
}

void bmpfileheader(const dibparts& parts, unsigned char out[14])
{
    const uint64_t offset = 14 + parts.header + parts.table;
    put16(out, 0x4D42);  // "BM"
    put32(out + 2, static_cast<uint32_t>(offset + parts.image));
    put16(out + 6, 0);
    put16(out + 8, 0);
    put32(out + 10, static_cast<uint32_t>(offset));
}
