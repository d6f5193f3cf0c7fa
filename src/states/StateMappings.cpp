#include "StateMappings.h"

#include "../resources/NumericConversions.h"

#include <VeltraRender/StateSettings.h>

#include <cfloat>
#include <cstring>
#include <limits>

using namespace VeltraRender;

namespace {

template <size_t N>
DWORD FromTable(const DWORD (&table)[N], uint32_t value, DWORD fallback)
{
    return value < N ? table[value] : fallback;
}

} // namespace

DWORD GetDX9BlendFactor(uint32_t factor)
{
    static const DWORD table[] = {D3DBLEND_ZERO,          D3DBLEND_ONE,         D3DBLEND_SRCCOLOR,    D3DBLEND_INVSRCCOLOR,
                                  D3DBLEND_DESTCOLOR,     D3DBLEND_INVDESTCOLOR, D3DBLEND_SRCALPHA,   D3DBLEND_INVSRCALPHA,
                                  D3DBLEND_DESTALPHA,     D3DBLEND_INVDESTALPHA, D3DBLEND_BLENDFACTOR, D3DBLEND_INVBLENDFACTOR,
                                  D3DBLEND_BLENDFACTOR,   D3DBLEND_INVBLENDFACTOR, D3DBLEND_SRCALPHASAT};
    return FromTable(table, factor, D3DBLEND_ONE);
}

DWORD GetDX9BlendEquation(uint32_t equation)
{
    static const DWORD table[] = {D3DBLENDOP_ADD, D3DBLENDOP_SUBTRACT, D3DBLENDOP_REVSUBTRACT, D3DBLENDOP_MIN,
                                  D3DBLENDOP_MAX};
    return FromTable(table, equation, D3DBLENDOP_ADD);
}

DWORD GetDX9DepthFunction(uint32_t function)
{
    static const DWORD table[] = {D3DCMP_NEVER,   D3DCMP_LESS,         D3DCMP_EQUAL,    D3DCMP_LESSEQUAL,
                                  D3DCMP_GREATER, D3DCMP_GREATEREQUAL, D3DCMP_NOTEQUAL, D3DCMP_ALWAYS};
    return FromTable(table, function, D3DCMP_LESS);
}

DWORD GetDX9FillMode(uint32_t fillMode)
{
    static const DWORD table[] = {D3DFILL_POINT, D3DFILL_WIREFRAME};
    return FromTable(table, fillMode, D3DFILL_SOLID);
}

DWORD GetDX9Winding(uint32_t winding)
{
    static const DWORD table[] = {D3DCULL_CW, D3DCULL_CCW};
    return FromTable(table, winding, D3DCULL_CW);
}

DWORD GetDX9StencilFunction(uint32_t function)
{
    static const DWORD table[] = {D3DCMP_ALWAYS,       D3DCMP_NEVER,   D3DCMP_LESS,    D3DCMP_LESSEQUAL,
                                  D3DCMP_EQUAL,        D3DCMP_GREATEREQUAL, D3DCMP_GREATER, D3DCMP_NOTEQUAL};
    return FromTable(table, function, D3DCMP_LESS);
}

DWORD GetDX9StencilOperation(uint32_t operation)
{
    static const DWORD table[] = {D3DSTENCILOP_KEEP,   D3DSTENCILOP_ZERO,   D3DSTENCILOP_REPLACE, D3DSTENCILOP_INCR,
                                  D3DSTENCILOP_DECR,   D3DSTENCILOP_INVERT, D3DSTENCILOP_INCRSAT, D3DSTENCILOP_DECRSAT};
    return FromTable(table, operation, D3DSTENCILOP_ZERO);
}

DWORD GetDX9TextureFiltering(uint32_t filtering)
{
    static const DWORD table[] = {D3DTEXF_POINT, D3DTEXF_LINEAR, D3DTEXF_ANISOTROPIC,
                                  D3DTEXF_ANISOTROPIC, D3DTEXF_ANISOTROPIC, D3DTEXF_ANISOTROPIC};
    return FromTable(table, filtering, D3DTEXF_POINT);
}

DWORD GetDX9TextureWrapping(uint32_t wrapping)
{
    static const DWORD table[] = {D3DTADDRESS_CLAMP, D3DTADDRESS_BORDER, D3DTADDRESS_CLAMP, D3DTADDRESS_WRAP,
                                  D3DTADDRESS_MIRROR};
    return FromTable(table, wrapping, D3DTADDRESS_CLAMP);
}

DWORD F2DW(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

float NarrowToFloat(double value)
{
    if (value > FLT_MAX)
        return std::numeric_limits<float>::infinity();
    if (value < -FLT_MAX)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(value);
}

DWORD PackBlendColor(const double (&blendColor)[4])
{
    // Unsigned arithmetic keeps the bits of the original signed packing: bits above a
    // component's byte spill into the next byte, a negative component sets them all.
    const uint32_t redLong = static_cast<uint32_t>(TruncateToInt32(blendColor[0] * 255.0));
    const uint32_t blueLong = static_cast<uint32_t>(TruncateToInt32(blendColor[1] * 255.0));
    const uint32_t greenLong = static_cast<uint32_t>(TruncateToInt32(blendColor[2] * 255.0));
    const uint32_t alphaLong = static_cast<uint32_t>(TruncateToInt32(blendColor[3] * 255.0));
    return (redLong << 16) | (greenLong << 8) | blueLong | (alphaLong << 24);
}
