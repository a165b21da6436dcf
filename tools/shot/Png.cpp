#include "tools/shot/Png.h"

#include <algorithm>
#include <array>

namespace shot {

namespace {

constexpr uint8_t kSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint8_t kBitDepth = 8;
constexpr uint8_t kColourTruecolour = 2;
constexpr uint8_t kFilterNone = 0;
constexpr size_t kStoredBlockMax = 0xFFFF; // a stored block's length is a 16-bit word
constexpr uint32_t kAdlerModulus = 65521;

void PutBigEndian32(std::vector<uint8_t>& out, uint32_t dwValue) {
    for (int nShift = 24; nShift >= 0; nShift -= 8)
        out.push_back(static_cast<uint8_t>(dwValue >> nShift));
}

void PutLittleEndian16(std::vector<uint8_t>& out, uint32_t wValue) {
    out.push_back(static_cast<uint8_t>(wValue));
    out.push_back(static_cast<uint8_t>(wValue >> 8));
}

// Length, type, data, then the CRC of type and data.
void PutChunk(std::vector<uint8_t>& png, const char* pszType, const std::vector<uint8_t>& data) {
    PutBigEndian32(png, static_cast<uint32_t>(data.size()));
    const size_t nTypeStart = png.size();
    png.insert(png.end(), pszType, pszType + 4);
    png.insert(png.end(), data.begin(), data.end());
    PutBigEndian32(png, Crc32(&png[nTypeStart], png.size() - nTypeStart));
}

std::vector<uint8_t> Header(const Image& image) {
    std::vector<uint8_t> header;
    PutBigEndian32(header, image.nWidth);
    PutBigEndian32(header, image.nHeight);
    header.insert(header.end(), {kBitDepth, kColourTruecolour, 0, 0, 0}); // deflate, no interlace
    return header;
}

// Each row behind its filter byte.
std::vector<uint8_t> FilteredRows(const Image& image) {
    const size_t cbRow = static_cast<size_t>(image.nWidth) * 3;
    std::vector<uint8_t> rows;
    rows.reserve((cbRow + 1) * image.nHeight);
    for (uint32_t nRow = 0; nRow < image.nHeight; ++nRow) {
        rows.push_back(kFilterNone);
        const auto itRow = image.rgb.begin() + static_cast<ptrdiff_t>(nRow * cbRow);
        rows.insert(rows.end(), itRow, itRow + static_cast<ptrdiff_t>(cbRow));
    }
    return rows;
}

// A zlib stream that stores the bytes as they are, in blocks of at most 65535 bytes.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw) {
    std::vector<uint8_t> stream = {0x78,
                                   0x01}; // deflate, 32 KB window; header check multiple of 31
    size_t nPos = 0;
    do {
        const size_t cbBlock = std::min(kStoredBlockMax, raw.size() - nPos);
        const bool bFinal = nPos + cbBlock == raw.size();
        stream.push_back(bFinal ? 1 : 0); // BFINAL, BTYPE 00 (stored)
        PutLittleEndian16(stream, static_cast<uint32_t>(cbBlock));
        PutLittleEndian16(stream, static_cast<uint32_t>(~cbBlock & 0xFFFF));
        stream.insert(stream.end(), raw.begin() + static_cast<ptrdiff_t>(nPos),
                      raw.begin() + static_cast<ptrdiff_t>(nPos + cbBlock));
        nPos += cbBlock;
    } while (nPos < raw.size());
    PutBigEndian32(stream, Adler32(raw.data(), raw.size()));
    return stream;
}

std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t nByte = 0; nByte < 256; ++nByte) {
        uint32_t dwCrc = nByte;
        for (int nBit = 0; nBit < 8; ++nBit)
            dwCrc = (dwCrc & 1) ? 0xEDB88320u ^ (dwCrc >> 1) : dwCrc >> 1;
        table[nByte] = dwCrc;
    }
    return table;
}

} // namespace

uint32_t Crc32(const uint8_t* pData, size_t cbData) {
    static const std::array<uint32_t, 256> table = MakeCrcTable();
    uint32_t dwCrc = 0xFFFFFFFFu;
    for (size_t nByte = 0; nByte < cbData; ++nByte)
        dwCrc = table[(dwCrc ^ pData[nByte]) & 0xFF] ^ (dwCrc >> 8);
    return dwCrc ^ 0xFFFFFFFFu;
}

uint32_t Adler32(const uint8_t* pData, size_t cbData) {
    uint32_t dwLow = 1;
    uint32_t dwHigh = 0;
    for (size_t nByte = 0; nByte < cbData; ++nByte) {
        dwLow = (dwLow + pData[nByte]) % kAdlerModulus;
        dwHigh = (dwHigh + dwLow) % kAdlerModulus;
    }
    return (dwHigh << 16) | dwLow;
}

std::vector<uint8_t> EncodePng(const Image& image) {
    if (image.nWidth == 0 || image.nHeight == 0 ||
        image.rgb.size() != static_cast<size_t>(image.nWidth) * image.nHeight * 3)
        return {};
    std::vector<uint8_t> png(std::begin(kSignature), std::end(kSignature));
    PutChunk(png, "IHDR", Header(image));
    PutChunk(png, "IDAT", StoredZlib(FilteredRows(image)));
    PutChunk(png, "IEND", {});
    return png;
}

} // namespace shot
