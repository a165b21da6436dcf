#include "BenchSupport.h"

#include "harness/Contract.h"
#include "harness/RegistryTree.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

void DeleteSettings() { DeleteTree(HKEY_CURRENT_USER, kSettingsPath); }

Summary Summarise(std::vector<double> sample) {
    Summary summary;
    if (sample.empty())
        return summary;
    std::sort(sample.begin(), sample.end());
    const size_t n = sample.size();
    summary.median = n % 2 ? sample[n / 2] : (sample[n / 2 - 1] + sample[n / 2]) / 2;
    const size_t nRank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(n)));
    summary.p99 = sample[std::max<size_t>(nRank, 1) - 1];
    summary.max = sample.back();
    return summary;
}

void PrintRow(const std::string& strFigure, const std::string& strValue,
              const std::string& strNote) {
    std::printf("| %s | %s | %s |\n", strFigure.c_str(), strValue.c_str(), strNote.c_str());
    std::fflush(stdout);
}

std::string Format(const char* pszFormat, ...) {
    char szText[512];
    va_list args;
    va_start(args, pszFormat);
    std::vsnprintf(szText, sizeof szText, pszFormat, args);
    va_end(args);
    return szText;
}

int NumberOption(int argc, char** argv, const char* pszName, int nFallback) {
    const std::string strPrefix = std::string("--") + pszName + "=";
    for (int nArg = 1; nArg < argc; ++nArg) {
        if (std::strncmp(argv[nArg], strPrefix.c_str(), strPrefix.size()) == 0)
            return std::atoi(argv[nArg] + strPrefix.size());
    }
    return nFallback;
}

RegistryWatch::RegistryWatch()
    : m_hChanged(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      m_hStop(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    // The parent stays while the settings key itself is deleted and created again.
    if (!m_hChanged || !m_hStop ||
        ::RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsParent, 0, nullptr, 0, KEY_NOTIFY, nullptr,
                          &m_hKey, nullptr) != ERROR_SUCCESS)
        return;
    m_bWatching = true;
    m_thread = std::thread([this] { Run(); });
}

RegistryWatch::~RegistryWatch() {
    if (m_thread.joinable()) {
        ::SetEvent(m_hStop.Get());
        m_thread.join();
    }
    if (m_hKey)
        ::RegCloseKey(m_hKey);
}

size_t RegistryWatch::CountBetween(ULONGLONG tFrom, ULONGLONG tTo) const {
    ::AcquireSRWLockShared(&m_lock);
    const size_t nCount = static_cast<size_t>(std::count_if(
        m_times.begin(), m_times.end(), [&](ULONGLONG t) { return t >= tFrom && t < tTo; }));
    ::ReleaseSRWLockShared(&m_lock);
    return nCount;
}

void RegistryWatch::Run() {
    const HANDLE waits[2] = {m_hStop.Get(), m_hChanged.Get()};
    const DWORD dwFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;
    while (::RegNotifyChangeKeyValue(m_hKey, TRUE, dwFilter, m_hChanged.Get(), TRUE) ==
               ERROR_SUCCESS &&
           ::WaitForMultipleObjects(2, waits, FALSE, INFINITE) == WAIT_OBJECT_0 + 1) {
        const ULONGLONG t = ::GetTickCount64();
        ::AcquireSRWLockExclusive(&m_lock);
        m_times.push_back(t);
        ::ReleaseSRWLockExclusive(&m_lock);
    }
}
