#include "package/ControlFile.h"

#include <cstdarg>
#include <type_traits>

namespace package {

namespace {

using namespace format;

uint16_t Get16(const std::vector<uint8_t>& bytes, size_t nAt) {
    return static_cast<uint16_t>(bytes[nAt] | bytes[nAt + 1] << 8);
}

uint32_t Get32(const std::vector<uint8_t>& bytes, size_t nAt) {
    return static_cast<uint32_t>(Get16(bytes, nAt)) | static_cast<uint32_t>(Get16(bytes, nAt + 2))
                                                          << 16;
}

// Reads the bytes in order; the first read that would leave the file, or the part of it it is
// given, fails with a message naming what was read.
class Reader {
public:
    Reader(const std::vector<uint8_t>& bytes, std::string& strError)
        : m_bytes(bytes), m_strError(strError) {}

    // Reads from nAt on, up to nEnd.
    void Seek(size_t nAt, size_t nEnd) {
        m_nAt = nAt;
        m_nEnd = nEnd;
    }
    size_t At() const { return m_nAt; }

    bool Word(uint16_t& nValue, const std::string& strWhat) {
        if (!Have(2, strWhat))
            return false;
        nValue = Get16(m_bytes, m_nAt);
        m_nAt += 2;
        return true;
    }
    bool Dword(uint32_t& dwValue, const std::string& strWhat) {
        if (!Have(4, strWhat))
            return false;
        dwValue = Get32(m_bytes, m_nAt);
        m_nAt += 4;
        return true;
    }
    bool Bytes(size_t cb, std::vector<uint8_t>& data, const std::string& strWhat) {
        if (!Have(cb, strWhat))
            return false;
        const auto first = m_bytes.begin() + static_cast<std::ptrdiff_t>(m_nAt);
        data.assign(first, first + static_cast<std::ptrdiff_t>(cb));
        m_nAt += cb;
        return true;
    }
    // cb bytes of a text that ends in its only zero byte.
    bool Text(size_t cb, std::string& strText, const std::string& strWhat) {
        std::vector<uint8_t> data;
        if (!Bytes(cb, data, strWhat))
            return false;
        if (data.empty() || data.back() != 0)
            return Fail(strWhat + " does not end in a zero byte");
        strText.assign(data.begin(), data.end() - 1);
        if (strText.find('\0') != std::string::npos)
            return Fail(strWhat + " holds a zero byte before its end");
        return true;
    }
    // cb bytes of string ids that end in their only 0.
    bool Path(size_t cb, std::vector<uint16_t>& path, const std::string& strWhat) {
        std::vector<uint8_t> data;
        if (!Bytes(cb, data, strWhat))
            return false;
        if (cb % 2 != 0 || cb < 2 || Get16(data, cb - 2) != 0)
            return Fail(strWhat + " is not a list of string ids ending in 0");
        path.clear();
        for (size_t nAt = 0; nAt + 2 < cb; nAt += 2) {
            const uint16_t nId = Get16(data, nAt);
            if (nId == 0)
                return Fail(strWhat + " holds a 0 before its end");
            path.push_back(nId);
        }
        return true;
    }

    bool Fail(const std::string& strMessage) {
        m_strError = strMessage;
        return false;
    }

private:
    bool Have(size_t cb, const std::string& strWhat) {
        if (m_nAt <= m_nEnd && cb <= m_nEnd - m_nAt)
            return true;
        return Fail(strWhat + Format(" (%zu bytes at offset %zu) runs past the end of the "
                                     "control file's %zu bytes",
                                     cb, m_nAt, m_nEnd));
    }

    const std::vector<uint8_t>& m_bytes;
    std::string& m_strError;
    size_t m_nAt = 0;
    size_t m_nEnd = 0;
};

// The text at the header's offset and length; a length of 0 is no text.
bool ReadHeaderText(Reader& reader, const std::vector<uint8_t>& bytes, size_t nField,
                    const char* pszWhat, std::string& strText) {
    const uint16_t nOffset = Get16(bytes, nField);
    const uint16_t cbText = Get16(bytes, nField + 2);
    strText.clear();
    if (cbText == 0)
        return true;
    reader.Seek(nOffset, bytes.size());
    return reader.Text(cbText, strText, pszWhat);
}

void Put16(std::vector<uint8_t>& bytes, size_t nAt, size_t nValue) {
    bytes[nAt] = static_cast<uint8_t>(nValue);
    bytes[nAt + 1] = static_cast<uint8_t>(nValue >> 8);
}

void Put32(std::vector<uint8_t>& bytes, size_t nAt, size_t nValue) {
    Put16(bytes, nAt, nValue & 0xFFFF);
    Put16(bytes, nAt + 2, nValue >> 16);
}

void Append16(std::vector<uint8_t>& bytes, size_t nValue) {
    bytes.resize(bytes.size() + 2);
    Put16(bytes, bytes.size() - 2, nValue);
}

void Append32(std::vector<uint8_t>& bytes, size_t nValue) {
    bytes.resize(bytes.size() + 4);
    Put32(bytes, bytes.size() - 4, nValue);
}

// A text with its zero; its length first when bLength.
void AppendText(std::vector<uint8_t>& bytes, const std::string& strText, bool bLength) {
    if (bLength)
        Append16(bytes, strText.size() + 1);
    bytes.insert(bytes.end(), strText.begin(), strText.end());
    bytes.push_back(0);
}

void AppendPath(std::vector<uint8_t>& bytes, const std::vector<uint16_t>& path) {
    Append16(bytes, (path.size() + 1) * 2);
    for (const uint16_t nId : path)
        Append16(bytes, nId);
    Append16(bytes, 0);
}

// Writes the text at the end and its offset and length into the header field.
void AppendHeaderText(std::vector<uint8_t>& bytes, size_t nField, const std::string& strText) {
    Put16(bytes, nField, bytes.size());
    Put16(bytes, nField + 2, strText.size() + 1);
    AppendText(bytes, strText, false);
}

// One entry's fields read in order, each message naming the entry.
class EntryReader {
public:
    EntryReader(Reader& reader, const std::string& strEntry)
        : m_reader(reader), m_strEntry(strEntry) {}

    bool Word(uint16_t& nValue) { return m_reader.Word(nValue, m_strEntry); }
    bool Dword(uint32_t& dwValue) { return m_reader.Dword(dwValue, m_strEntry); }
    // The part that ends an entry, its length first; pszPart names it in the messages.
    bool Text(std::string& strText, const char* pszPart) {
        uint16_t cbText = 0;
        return Word(cbText) && m_reader.Text(cbText, strText, Part(pszPart));
    }
    bool Path(std::vector<uint16_t>& path, const char* pszPart) {
        uint16_t cbPath = 0;
        return Word(cbPath) && m_reader.Path(cbPath, path, Part(pszPart));
    }
    bool NameAndData(std::string& strName, std::vector<uint8_t>& data) {
        uint16_t cbVariable = 0;
        std::vector<uint8_t> bytes;
        if (!Word(cbVariable) || !m_reader.Bytes(cbVariable, bytes, Part("name and data")))
            return false;
        size_t nZero = 0;
        while (nZero < bytes.size() && bytes[nZero] != 0)
            ++nZero;
        if (nZero == bytes.size())
            return m_reader.Fail(Part("value name does not end in a zero byte"));
        strName.assign(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(nZero));
        data.assign(bytes.begin() + static_cast<std::ptrdiff_t>(nZero) + 1, bytes.end());
        return true;
    }

private:
    std::string Part(const char* pszPart) const { return m_strEntry + "'s " + pszPart; }

    Reader& m_reader;
    const std::string m_strEntry;
};

// One entry's fields appended in order.
class EntryWriter {
public:
    explicit EntryWriter(std::vector<uint8_t>& bytes) : m_bytes(bytes) {}

    bool Word(uint16_t nValue) {
        Append16(m_bytes, nValue);
        return true;
    }
    bool Dword(uint32_t dwValue) {
        Append32(m_bytes, dwValue);
        return true;
    }
    bool Text(const std::string& strText, const char*) {
        AppendText(m_bytes, strText, true);
        return true;
    }
    bool Path(const std::vector<uint16_t>& path, const char*) {
        AppendPath(m_bytes, path);
        return true;
    }
    bool NameAndData(const std::string& strName, const std::vector<uint8_t>& data) {
        Append16(m_bytes, strName.size() + 1 + data.size());
        AppendText(m_bytes, strName, false);
        m_bytes.insert(m_bytes.end(), data.begin(), data.end());
        return true;
    }

private:
    std::vector<uint8_t>& m_bytes;
};

// An entry's fields in the order ControlFormat.h gives them, read by an EntryReader or written
// by an EntryWriter (Entry const).
template <typename Io, typename Entry> bool Fields(Io& io, Entry& entry) {
    using Kind = std::remove_const_t<Entry>;
    if constexpr (std::is_same_v<Kind, StringEntry>) {
        return io.Word(entry.nId) && io.Text(entry.strText, "text");
    } else if constexpr (std::is_same_v<Kind, DirEntry>) {
        return io.Word(entry.nId) && io.Path(entry.path, "path");
    } else if constexpr (std::is_same_v<Kind, FileEntry>) {
        return io.Word(entry.nId) && io.Word(entry.nDirId) && io.Word(entry.nCopyOfId) &&
               io.Dword(entry.dwFlags) && io.Text(entry.strName, "name");
    } else if constexpr (std::is_same_v<Kind, HiveEntry>) {
        return io.Word(entry.nId) && io.Word(entry.nRoot) && io.Word(entry.nZero) &&
               io.Path(entry.path, "key path");
    } else if constexpr (std::is_same_v<Kind, RegKeyEntry>) {
        return io.Word(entry.nId) && io.Word(entry.nHiveId) && io.Word(entry.nSubstitute) &&
               io.Dword(entry.dwTypeFlags) && io.NameAndData(entry.strName, entry.data);
    } else {
        static_assert(std::is_same_v<Kind, LinkEntry>);
        return io.Word(entry.nId) && io.Word(entry.nZero) && io.Word(entry.nBaseFolder) &&
               io.Word(entry.nTargetId) && io.Word(entry.nTargetKind) &&
               io.Path(entry.path, "path");
    }
}

// Visit(section, its entries) for each section in Section order, up to the first that returns
// false; Control is const for the writer.
template <typename Control, typename Visit> bool ForEachSection(Control& control, Visit visit) {
    return visit(kStrings, control.strings) && visit(kDirs, control.dirs) &&
           visit(kFiles, control.files) && visit(kRegHives, control.hives) &&
           visit(kRegKeys, control.regKeys) && visit(kLinks, control.links);
}

} // namespace

std::string Format(const char* pszFormat, ...) {
    char szText[512];
    va_list args;
    va_start(args, pszFormat);
    std::vsnprintf(szText, sizeof szText, pszFormat, args);
    va_end(args);
    return szText;
}

bool ReadControlFile(const std::vector<uint8_t>& bytes, ControlFile& control,
                     std::string& strError) {
    control = ControlFile();
    Reader reader(bytes, strError);
    if (bytes.size() < kHeaderBytes)
        return reader.Fail(Format("the control file's %zu bytes are fewer than its header's %zu",
                                  bytes.size(), kHeaderBytes));
    if (Get32(bytes, kSignatureAt) != kSignature)
        return reader.Fail("the control file does not begin with \"MSCE\"");
    if (Get32(bytes, kFileLengthAt) != bytes.size())
        return reader.Fail(Format("the control file's header gives its length as %lu bytes; "
                                  "it has %zu",
                                  static_cast<unsigned long>(Get32(bytes, kFileLengthAt)),
                                  bytes.size()));
    control.dwProcessor = Get32(bytes, kProcessorAt);
    control.dwMinMajor = Get32(bytes, kMinSystemMajorAt);
    control.dwMinMinor = Get32(bytes, kMinSystemMinorAt);
    control.dwMaxMajor = Get32(bytes, kMaxSystemMajorAt);
    control.dwMaxMinor = Get32(bytes, kMaxSystemMinorAt);
    control.dwMinBuild = Get32(bytes, kMinBuildAt);
    control.dwMaxBuild = Get32(bytes, kMaxBuildAt);

    if (!ReadHeaderText(reader, bytes, kAppNameAt, "the APPNAME string", control.strAppName) ||
        !ReadHeaderText(reader, bytes, kProviderAt, "the PROVIDER string", control.strProvider))
        return false;
    std::string strUnsupported;
    if (!ReadHeaderText(reader, bytes, kUnsupportedAt, "the UNSUPPORTED multi-string",
                        strUnsupported))
        return false;
    // The texts of the multi-string, each ended by a zero; the last zero ends the list.
    for (size_t nStart = 0; nStart < strUnsupported.size();) {
        size_t nEnd = strUnsupported.find('\0', nStart);
        if (nEnd == std::string::npos)
            nEnd = strUnsupported.size();
        control.unsupported.push_back(strUnsupported.substr(nStart, nEnd - nStart));
        nStart = nEnd + 1;
    }

    return ForEachSection(control, [&](Section section, auto& entries) {
        const size_t nCount = Get16(bytes, kSectionCountsAt + 2 * section);
        const size_t nOffset = Get32(bytes, kSectionOffsetsAt + 4 * section);
        if (nCount == 0)
            return true;
        if (nOffset < kHeaderBytes)
            return reader.Fail(Format("the %s section's offset %zu lies within the header",
                                      kSectionNames[section], nOffset));
        if (nOffset > bytes.size() || nCount * kFixedBytes[section] > bytes.size() - nOffset)
            return reader.Fail(Format("the %s section's %zu entries at offset %zu lie outside "
                                      "the control file's %zu bytes",
                                      kSectionNames[section], nCount, nOffset, bytes.size()));
        reader.Seek(nOffset, bytes.size());
        for (size_t nEntry = 0; nEntry < nCount; ++nEntry) {
            EntryReader entryReader(reader,
                                    Format("%s entry %zu", kSectionNames[section], nEntry + 1));
            typename std::remove_reference_t<decltype(entries)>::value_type entry;
            if (!Fields(entryReader, entry))
                return false;
            entries.push_back(entry);
        }
        return true;
    });
}

std::vector<uint8_t> WriteControlFile(const ControlFile& control) {
    std::vector<uint8_t> bytes(kHeaderBytes, 0);
    Put32(bytes, kSignatureAt, kSignature);
    Put32(bytes, kUsuallyOneAt, 1);
    Put32(bytes, kProcessorAt, control.dwProcessor);
    Put32(bytes, kMinSystemMajorAt, control.dwMinMajor);
    Put32(bytes, kMinSystemMinorAt, control.dwMinMinor);
    Put32(bytes, kMaxSystemMajorAt, control.dwMaxMajor);
    Put32(bytes, kMaxSystemMinorAt, control.dwMaxMinor);
    Put32(bytes, kMinBuildAt, control.dwMinBuild);
    Put32(bytes, kMaxBuildAt, control.dwMaxBuild);

    AppendHeaderText(bytes, kAppNameAt, control.strAppName);
    AppendHeaderText(bytes, kProviderAt, control.strProvider);
    Put16(bytes, kUnsupportedAt, bytes.size());
    if (!control.unsupported.empty()) {
        size_t cbUnsupported = 1;
        for (const std::string& strPlatform : control.unsupported) {
            AppendText(bytes, strPlatform, false);
            cbUnsupported += strPlatform.size() + 1;
        }
        bytes.push_back(0);
        Put16(bytes, kUnsupportedAt + 2, cbUnsupported);
    }

    EntryWriter writer(bytes);
    ForEachSection(control, [&](Section section, const auto& entries) {
        Put16(bytes, kSectionCountsAt + 2 * section, entries.size());
        Put32(bytes, kSectionOffsetsAt + 4 * section, bytes.size());
        for (const auto& entry : entries)
            Fields(writer, entry);
        return true;
    });
    Put32(bytes, kFileLengthAt, bytes.size());
    return bytes;
}

} // namespace package
