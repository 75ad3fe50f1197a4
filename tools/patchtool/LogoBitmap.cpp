#include "LogoBitmap.h"

#include <cstdint>

namespace patchtool {

namespace {

constexpr int Width = 89;
constexpr int Height = 84;

void putLittleEndian(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(char((value >> (8 * i)) & 0xff));
}

struct Colour
{
    int red, green, blue;
};

Colour mix(Colour from, Colour to, int part, int whole)
{
    return {from.red + (to.red - from.red) * part / whole,
            from.green + (to.green - from.green) * part / whole,
            from.blue + (to.blue - from.blue) * part / whole};
}

// A night sky over hills with a moon, inside a light frame; y counts from the top.
Colour pixel(int x, int y)
{
    if (x <= 1 || y <= 1 || x >= Width - 2 || y >= Height - 2)
        return {0xc9, 0xd6, 0xea};
    const int moonX = x - 66, moonY = y - 20;
    if (moonX * moonX + moonY * moonY <= 64)
        return {0xff, 0xe0, 0x8a};
    // Two hills: the ground starts below the higher of two slopes.
    const int left = 50 + (x < 24 ? 24 - x : x - 24);
    const int right = 40 + (x < 56 ? (56 - x) / 2 : (x - 56) / 2);
    if (y >= left || y >= right)
        return mix({0x4f, 0x7c, 0xba}, {0x2b, 0x4c, 0x7e}, y - 36, Height - 36);
    return mix({0x2b, 0x4c, 0x7e}, {0x0f, 0x1d, 0x33}, y, Height);
}

} // namespace

std::string placeholderLogo()
{
    const int rowBytes = (Width * 3 + 3) / 4 * 4;
    const uint32_t pixelBytes = uint32_t(rowBytes * Height);
    std::string bmp = "BM";
    putLittleEndian(bmp, 54 + pixelBytes, 4); // file size
    putLittleEndian(bmp, 0, 4);               // reserved
    putLittleEndian(bmp, 54, 4);              // where the pixels start
    putLittleEndian(bmp, 40, 4);              // the information header's size
    putLittleEndian(bmp, Width, 4);
    putLittleEndian(bmp, Height, 4); // positive: the rows run from the bottom up
    putLittleEndian(bmp, 1, 2);      // planes
    putLittleEndian(bmp, 24, 2);     // bits per pixel
    putLittleEndian(bmp, 0, 4);      // no compression
    putLittleEndian(bmp, pixelBytes, 4);
    putLittleEndian(bmp, 2835, 4); // 72 dots per inch, both ways
    putLittleEndian(bmp, 2835, 4);
    putLittleEndian(bmp, 0, 4); // no palette
    putLittleEndian(bmp, 0, 4);
    for (int row = Height - 1; row >= 0; --row) {
        for (int x = 0; x < Width; ++x) {
            const Colour colour = pixel(x, row);
            bmp.push_back(char(colour.blue));
            bmp.push_back(char(colour.green));
            bmp.push_back(char(colour.red));
        }
        bmp.append(size_t(rowBytes - Width * 3), '\0');
    }
    return bmp;
}

} // namespace patchtool
