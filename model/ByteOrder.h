#pragma once

#include <cstdint>
#include <cstring>

// Reading and writing the fixed-width numbers of the files Morvane reads and
// writes, whatever the byte order of the machine: BMP, UOP and the map files
// store them little-endian, PNG big-endian. The callers bound-check; these
// only assemble and spread bytes.
namespace ByteOrder {

inline uint16_t Le16(const uint8_t *p) { return uint16_t(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t *p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t Le64(const uint8_t *p) { return uint64_t(Le32(p)) | uint64_t(Le32(p + 4)) << 32; }
inline uint32_t Be32(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}
inline uint16_t Be16(const uint8_t *p) { return uint16_t(p[0] << 8 | p[1]); }

inline void PutLe16(uint8_t *p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}
inline void PutLe32(uint8_t *p, uint32_t v)
{
    PutLe16(p, uint16_t(v));
    PutLe16(p + 2, uint16_t(v >> 16));
}
inline void PutLe64(uint8_t *p, uint64_t v)
{
    PutLe32(p, uint32_t(v));
    PutLe32(p + 4, uint32_t(v >> 32));
}
inline void PutBe32(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

} // namespace ByteOrder
