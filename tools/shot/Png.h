#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace shot {

// A picture as rows of 8-bit red, green and blue, top row first, rows without padding.
struct Image {
    uint32_t nWidth = 0;
    uint32_t nHeight = 0;
    std::vector<uint8_t> rgb; // nWidth * nHeight * 3 bytes
};

// The picture as a PNG file: truecolour, 8 bits a sample, no filtering, and a zlib stream of
// stored (uncompressed) deflate blocks. Empty when the picture is empty or its bytes do not
// match its size.
std::vector<uint8_t> EncodePng(const Image& image);

// The checksums the file needs: CRC-32 of each chunk, Adler-32 of the zlib stream.
uint32_t Crc32(const uint8_t* pData, size_t cbData);
uint32_t Adler32(const uint8_t* pData, size_t cbData);

} // namespace shot
