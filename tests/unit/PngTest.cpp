#include "tools/shot/Png.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// The test's own bitwise CRC, independent of the encoder's table.
uint32_t BitwiseCrc32(const uint8_t* pData, size_t cbData) {
    uint32_t dwCrc = 0xFFFFFFFFu;
    for (size_t nByte = 0; nByte < cbData; ++nByte) {
        dwCrc ^= pData[nByte];
        for (int nBit = 0; nBit < 8; ++nBit)
            dwCrc = (dwCrc >> 1) ^ (0xEDB88320u & (0u - (dwCrc & 1)));
    }
    return ~dwCrc;
}

uint32_t BigEndian32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

struct Chunk {
    std::string strType;
    std::vector<uint8_t> data;
};

// Splits a PNG file into its chunks, each CRC checked; false on any malformed byte.
bool ParseChunks(const std::vector<uint8_t>& png, std::vector<Chunk>& chunks) {
    const uint8_t signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < 8 || std::memcmp(png.data(), signature, 8) != 0)
        return false;
    for (size_t nPos = 8; nPos < png.size();) {
        if (png.size() - nPos < 12)
            return false;
        const uint32_t cbData = BigEndian32(&png[nPos]);
        if (png.size() - nPos - 12 < cbData)
            return false;
        const uint8_t* const pType = &png[nPos + 4];
        if (BigEndian32(pType + 4 + cbData) != BitwiseCrc32(pType, 4 + cbData))
            return false;
        chunks.push_back(
            {std::string(pType, pType + 4), std::vector<uint8_t>(pType + 4, pType + 4 + cbData)});
        nPos += 12 + cbData;
    }
    return true;
}

// Inflates a zlib stream made of stored blocks only, checking the header, each block's length
// against its complement, and the Adler-32 at the end.
bool InflateStored(const std::vector<uint8_t>& stream, std::vector<uint8_t>& raw) {
    if (stream.size() < 6 || (stream[0] & 0x0F) != 8 || ((stream[0] << 8) | stream[1]) % 31 != 0)
        return false;
    size_t nPos = 2;
    bool bFinal = false;
    while (!bFinal) {
        if (stream.size() - nPos < 5 || (stream[nPos] & 0x06) != 0)
            return false; // not a stored block
        bFinal = (stream[nPos] & 1) != 0;
        const size_t cbBlock = stream[nPos + 1] | (stream[nPos + 2] << 8);
        const size_t cbComplement = stream[nPos + 3] | (stream[nPos + 4] << 8);
        nPos += 5;
        if (cbBlock != (~cbComplement & 0xFFFF) || stream.size() - nPos < cbBlock)
            return false;
        raw.insert(raw.end(), stream.begin() + nPos, stream.begin() + nPos + cbBlock);
        nPos += cbBlock;
    }
    return stream.size() - nPos == 4 &&
           BigEndian32(&stream[nPos]) == shot::Adler32(raw.data(), raw.size());
}

// Decodes what the encoder writes: truecolour, 8 bits, filter 0 on every row.
bool DecodePng(const std::vector<uint8_t>& png, shot::Image& image) {
    std::vector<Chunk> chunks;
    if (!ParseChunks(png, chunks) || chunks.size() < 3 || chunks.front().strType != "IHDR" ||
        chunks.back().strType != "IEND" || chunks.front().data.size() != 13)
        return false;
    const std::vector<uint8_t>& header = chunks.front().data;
    if (header[8] != 8 || header[9] != 2 || header[10] || header[11] || header[12])
        return false;
    image.nWidth = BigEndian32(&header[0]);
    image.nHeight = BigEndian32(&header[4]);
    std::vector<uint8_t> stream;
    for (const Chunk& chunk : chunks)
        if (chunk.strType == "IDAT")
            stream.insert(stream.end(), chunk.data.begin(), chunk.data.end());
    std::vector<uint8_t> raw;
    const size_t cbRow = size_t{image.nWidth} * 3;
    if (!InflateStored(stream, raw) || raw.size() != (cbRow + 1) * image.nHeight)
        return false;
    image.rgb.clear();
    for (size_t nRow = 0; nRow < image.nHeight; ++nRow) {
        const auto itRow = raw.begin() + nRow * (cbRow + 1);
        if (*itRow != 0)
            return false;
        image.rgb.insert(image.rgb.end(), itRow + 1, itRow + 1 + cbRow);
    }
    return true;
}

// Every pixel different from its neighbours, so a swapped channel or a shifted row shows.
shot::Image Pattern(uint32_t nWidth, uint32_t nHeight) {
    shot::Image image;
    image.nWidth = nWidth;
    image.nHeight = nHeight;
    for (uint32_t nY = 0; nY < nHeight; ++nY)
        for (uint32_t nX = 0; nX < nWidth; ++nX)
            image.rgb.insert(image.rgb.end(), {static_cast<uint8_t>(nX), static_cast<uint8_t>(nY),
                                               static_cast<uint8_t>(nX * 7 + nY * 13)});
    return image;
}

TEST(PngTest, ChecksumsMatchTheirKnownValues) {
    const char szText[] = "123456789";
    const auto* const pText = reinterpret_cast<const uint8_t*>(szText);
    EXPECT_EQ(shot::Crc32(pText, 9), 0xCBF43926u);
    EXPECT_EQ(shot::Adler32(pText, 9), 0x091E01DEu);
    EXPECT_EQ(shot::Adler32(pText, 0), 1u);
    const std::vector<uint8_t> ones(100000, 0xFF); // wraps the modulus many times
    EXPECT_EQ(shot::Crc32(ones.data(), ones.size()), BitwiseCrc32(ones.data(), ones.size()));
}

TEST(PngTest, DecodesBackToTheSamePixels) {
    // One pixel; rows that fill one stored block exactly (771 x 85 bytes); two and four blocks.
    for (const auto& size : {std::make_pair(1u, 1u), std::make_pair(28u, 771u),
                             std::make_pair(331u, 97u), std::make_pair(256u, 256u)}) {
        const shot::Image image = Pattern(size.first, size.second);
        shot::Image decoded;
        ASSERT_TRUE(DecodePng(shot::EncodePng(image), decoded)) << size.first << "x" << size.second;
        EXPECT_EQ(decoded.nWidth, image.nWidth);
        EXPECT_EQ(decoded.nHeight, image.nHeight);
        EXPECT_TRUE(decoded.rgb == image.rgb) << size.first << "x" << size.second;
    }
}

TEST(PngTest, RefusesAnEmptyOrInconsistentPicture) {
    EXPECT_TRUE(shot::EncodePng(shot::Image()).empty());
    shot::Image image = Pattern(4, 3);
    image.rgb.pop_back();
    EXPECT_TRUE(shot::EncodePng(image).empty());
}

} // namespace
