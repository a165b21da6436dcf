#pragma once

#include "driver/AudioDrvThread.h"
#include "harness/Wait.h"

#include <atomic>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

constexpr int kAGC = -1; // stands for the gain level in a notification record

struct Notification {
    int nBand; // kAGC for the gain level
    int nLevel;
    BOOL bFailed;
    bool operator==(const Notification& other) const {
        return nBand == other.nBand && nLevel == other.nLevel && bFailed == other.bFailed;
    }
};

inline void PrintTo(const Notification& n, std::ostream* os) {
    *os << "(" << (n.nBand == kAGC ? "AGC" : std::to_string(n.nBand)) << ", " << n.nLevel << ", "
        << n.bFailed << ")";
}

// Collects the worker's notifications; outlives the object that reports them.
class NotificationLog {
public:
    void Add(const Notification& n) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_all.push_back(n);
    }
    std::vector<Notification> All() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_all;
    }
    bool WaitFor(size_t nCount) {
        return WaitUntil([&] { return All().size() >= nCount; });
    }

private:
    mutable std::mutex m_mutex;
    std::vector<Notification> m_all;
};

// The worker with its notifications recorded into a log, and the hooks the tests need to reach
// its state and to hold its start.
class RecordingDrvThread : public CAudioDrvThread {
public:
    explicit RecordingDrvThread(NotificationLog& log) : m_log(log) {}
    ~RecordingDrvThread() override { EndWorker(); }

    bool StartWorker() {
        return Open() && WaitUntil([&] { return WorkerRunning(); });
    }
    bool WorkerRunning() const { return m_hEvent.load() != nullptr; }
    BOOL CloseDeviceOnly() { return CAudioDrv::Close(); }
    void PresetBand(int nBand, int nLevel) { m_nBand[nBand] = nLevel; }

    // Holds the worker before it starts, as a slow thread start would.
    void HoldStart() { m_bHoldStart = true; }
    void ReleaseStart() { m_bHoldStart = false; }

protected:
    BOOL Run() override {
        while (m_bHoldStart)
            ::Sleep(1);
        return CAudioDrvThread::Run();
    }
    void OnBandApplied(int nBand, int nLevel, BOOL bFailed) override {
        m_log.Add({nBand, nLevel, bFailed});
    }
    void OnAGCLevelApplied(int nLevel, BOOL bFailed) override {
        m_log.Add({kAGC, nLevel, bFailed});
    }

private:
    NotificationLog& m_log;
    std::atomic<bool> m_bHoldStart{false};
};
