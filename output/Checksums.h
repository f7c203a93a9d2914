#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The two checksums of the UOP container.

// Bob Jenkins' lookup3 hashlittle2 of Name with both seeds 0 (so a, b and c all
// start at 0xDEADBEEF + length), as (b << 32) | c. The container finds its
// entries by this hash of their names:
// "build/map0legacymul/00000000.dat" gives 0xDBB7AFA433A3764B.
uint64_t HashLittle2(const std::string &Name);

// Adler-32 (RFC 1950) over data given in pieces.
class TAdler32
{
public:
    void Add(const void *Data, size_t Bytes);
    uint32_t Value() const { return (B << 16) | A; }

private:
    uint32_t A = 1;
    uint32_t B = 0;
};
