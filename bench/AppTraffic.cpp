// Driver traffic of the real application under scripted slider bursts: messages per burst
// against the minimum, messages caused by repaints without a change, the time from the last
// change to its driver message, and registry writes per burst. Prints, asserts nothing.
//
// A step is one TBM_SETPOS from this process followed by a RedrawWindow with RDW_UPDATENOW,
// which returns once the trackbar has painted, so its custom-draw handler has handed the new
// position on when the step's time is taken.

#include "BenchSupport.h"

#include "harness/AppUnderTest.h"
#include "harness/Contract.h"
#include "harness/StandIn.h"
#include "harness/Wait.h"

#include <commctrl.h>

#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace {

// The gain level at each step of the Mic page's trackbar.
const int g_AgcLevels[8] = {36, 40, 44, 48, 52, 56, 62, 69};

// Messages further apart than this belong to different worker passes, which are at least the
// worker's 100 ms pause apart.
constexpr ULONGLONG kPassGapMs = 50;
// Pacing between bursts: longer than a pause and a pass, so that late messages count for the
// burst that caused them.
constexpr DWORD kQuietMs = 300;

// A setting as the driver knows it: its message number.
using Levels = std::map<DWORD, DWORD>;

struct BurstFigures {
    size_t nSent = 0;
    size_t nMinimum = 0;
    size_t nPasses = 0;
    size_t nAccepted = 0;
    size_t nNotifications = 0;
    bool bArrived = false; // every final level reached the driver
    double latencyMs = 0;  // last change to the last final level's message; below 0: before it
    bool bStored = false;
    double durationMs = 0; // first step to last change
};

void SleepUntil(ULONGLONG t) {
    const ULONGLONG now = ::GetTickCount64();
    if (t > now)
        ::Sleep(static_cast<DWORD>(t - now));
}

class TrafficBench {
public:
    bool Start();
    void Warmup();
    void OneBand(int nReps);
    void FiveBands(int nReps);
    void GainAndBands(int nReps);
    void LongDrag(int nReps);
    void Repaints(int nRounds);

private:
    using Script = std::function<void(Levels& finals)>;

    void Step(int nID, int nPos);
    void MoveBand(int nBand, int nPos, Levels& finals);
    void MoveGain(int nPos, Levels& finals);
    // nSteps steps 5 ms apart from now, each moving all five sliders one position on.
    void StepAllBands(int nSteps, Levels& finals);
    BurstFigures Burst(const Script& script);
    void Report(const char* pszName, const std::vector<BurstFigures>& bursts);
    bool StoredAs(const Levels& finals) const;

    std::unique_ptr<StandIn> m_standIn;
    std::unique_ptr<AppUnderTest> m_app;
    std::unique_ptr<RegistryWatch> m_watch;
    int m_nBandPos[5] = {8, 8, 8, 8, 8};
    int m_nGainPos = 3;
    Levels m_sent; // the level each setting last reached the driver with
};

bool TrafficBench::Start() {
    DeleteSettings();
    m_watch = std::make_unique<RegistryWatch>();
    m_standIn = std::make_unique<StandIn>();
    if (!m_standIn->WaitServing())
        return false;
    m_app = std::make_unique<AppUnderTest>();
    if (!m_app->WaitForSheet() || !m_standIn->WaitForMessages(1))
        return false;
    for (int nBand = 0; nBand < 5; ++nBand)
        m_sent[kBandMsg + nBand] = 8;
    m_sent[kAGCLevelMsg] = 48;
    return true;
}

void TrafficBench::Step(int nID, int nPos) {
    const HWND hSlider = m_app->Control(nID);
    ::SendMessageW(hSlider, TBM_SETPOS, TRUE, nPos);
    ::RedrawWindow(hSlider, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void TrafficBench::MoveBand(int nBand, int nPos, Levels& finals) {
    Step(kBandControls[nBand], nPos);
    m_nBandPos[nBand] = nPos;
    finals[kBandMsg + nBand] = static_cast<DWORD>(nPos);
}

void TrafficBench::MoveGain(int nPos, Levels& finals) {
    Step(kLevel, nPos);
    m_nGainPos = nPos;
    finals[kAGCLevelMsg] = static_cast<DWORD>(g_AgcLevels[nPos]);
}

bool TrafficBench::StoredAs(const Levels& finals) const {
    for (const auto& [dwMsg, dwLevel] : finals) {
        const LPCWSTR pszName = dwMsg == kAGCLevelMsg ? L"AGC" : kBandValues[dwMsg - kBandMsg];
        DWORD dwStored = 0;
        DWORD cbStored = sizeof dwStored;
        if (::RegGetValueW(HKEY_CURRENT_USER, kSettingsPath, pszName, RRF_RT_REG_DWORD, nullptr,
                           &dwStored, &cbStored) != ERROR_SUCCESS ||
            dwStored != dwLevel)
            return false;
    }
    return true;
}

// Runs the script, waits for every final level to reach the driver, and judges the set messages
// the burst caused: the minimum is, for each worker pass, one message per setting whose level
// differs from what the driver last heard.
BurstFigures TrafficBench::Burst(const Script& script) {
    BurstFigures figures;
    const size_t nFirst = m_standIn->Lines().size();
    const ULONGLONG tStart = ::GetTickCount64();
    Levels finals;
    script(finals);
    const ULONGLONG tLastChange = ::GetTickCount64();

    std::vector<LogLine> messages;
    const auto collect = [&] {
        messages.clear();
        LogLine line;
        const std::vector<std::string> lines = m_standIn->Lines();
        for (size_t nLine = nFirst; nLine < lines.size(); ++nLine) {
            if (ParseLogLine(lines[nLine], line) && line.dwMsg != kHeadphoneQuery)
                messages.push_back(line);
        }
    };
    const auto finalsSent = [&] {
        collect();
        Levels last;
        for (const LogLine& line : messages)
            last[line.dwMsg] = line.dwParam;
        for (const auto& [dwMsg, dwLevel] : finals) {
            if (last.count(dwMsg) == 0 || last[dwMsg] != dwLevel)
                return false;
        }
        return true;
    };
    const bool bArrived = WaitUntil(finalsSent, 5000);
    ::Sleep(kQuietMs);
    collect();

    ULONGLONG tFinal = 0;
    ULONGLONG tPrevious = 0;
    Levels inPass;
    for (const LogLine& line : messages) {
        if (figures.nPasses == 0 || line.t - tPrevious >= kPassGapMs) {
            ++figures.nPasses;
            inPass.clear();
        }
        tPrevious = line.t;
        ++figures.nSent;
        if (inPass.count(line.dwMsg) == 0 && m_sent[line.dwMsg] != line.dwParam)
            ++figures.nMinimum;
        inPass[line.dwMsg] = line.dwParam;
        if (line.strResult == "accepted") {
            m_sent[line.dwMsg] = line.dwParam;
            ++figures.nAccepted;
        }
        if (finals.count(line.dwMsg) && finals[line.dwMsg] == line.dwParam)
            tFinal = std::max(tFinal, line.t);
    }
    figures.bArrived = bArrived;
    figures.latencyMs = static_cast<double>(tFinal) - static_cast<double>(tLastChange);
    figures.nNotifications = m_watch->CountBetween(tStart, ::GetTickCount64());
    figures.durationMs = static_cast<double>(tLastChange - tStart);
    if (figures.nNotifications != figures.nAccepted)
        std::printf("# burst at %llu: %zu messages, %zu accepted, %zu key change notifications\n",
                    tStart, figures.nSent, figures.nAccepted, figures.nNotifications);
    figures.bStored = StoredAs(finals);
    return figures;
}

void TrafficBench::Report(const char* pszName, const std::vector<BurstFigures>& bursts) {
    std::vector<double> sent, minimum, passes, latencies, notifications, durations;
    size_t nTotalSent = 0, nTotalMinimum = 0, nLost = 0, nEarly = 0, nUnstored = 0, nMore = 0,
           nFewer = 0;
    for (const BurstFigures& burst : bursts) {
        sent.push_back(static_cast<double>(burst.nSent));
        minimum.push_back(static_cast<double>(burst.nMinimum));
        passes.push_back(static_cast<double>(burst.nPasses));
        durations.push_back(burst.durationMs);
        notifications.push_back(static_cast<double>(burst.nNotifications));
        nTotalSent += burst.nSent;
        nTotalMinimum += burst.nMinimum;
        // A final level can reach the driver before the script's last step ends: the last
        // steps moved other settings, or repeated a level already sent. Such a burst has no
        // latency to count.
        if (!burst.bArrived)
            ++nLost;
        else if (burst.latencyMs < 0)
            ++nEarly;
        else
            latencies.push_back(burst.latencyMs);
        nUnstored += !burst.bStored;
        nMore += burst.nNotifications > burst.nAccepted;
        nFewer += burst.nNotifications < burst.nAccepted;
    }
    const Summary latency = Summarise(latencies);
    PrintRow(Format("%s: messages per burst", pszName),
             Format("%.0f (minimum %.0f); %zu / %zu in all", Summarise(sent).median,
                    Summarise(minimum).median, nTotalSent, nTotalMinimum),
             Format("median of %zu bursts; worker passes per burst %.0f; final levels sent "
                    "before the last step ended in %zu, never sent in %zu",
                    bursts.size(), Summarise(passes).median, nEarly, nLost));
    PrintRow(Format("%s: last change to its driver message", pszName),
             Format("median %.0f ms, p99 %.0f ms", latency.median, latency.p99),
             Format("max %.0f ms over %zu bursts; a burst lasts %.0f ms (median)", latency.max,
                    latencies.size(), Summarise(durations).median));
    PrintRow(
        Format("%s: registry writes per burst", pszName),
        Format("%.0f (max %.0f)", Summarise(notifications).median, Summarise(notifications).max),
        Format("key change notifications, one per accepted message expected: more in %zu "
               "bursts, fewer (writes merged) in %zu; final levels stored in %zu of %zu",
               nMore, nFewer, bursts.size() - nUnstored, bursts.size()));
}

// Makes the settings key exist, so that the first measured burst does not also create it.
void TrafficBench::Warmup() {
    Burst([this](Levels& finals) { MoveBand(0, (m_nBandPos[0] + 1) % 16, finals); });
}

// 20 steps 5 ms apart on one slider; every step changes the level.
void TrafficBench::OneBand(int nReps) {
    std::vector<BurstFigures> bursts;
    for (int nRep = 0; nRep < nReps; ++nRep) {
        const int nBand = nRep % 5;
        bursts.push_back(Burst([&](Levels& finals) {
            const ULONGLONG t0 = ::GetTickCount64();
            const int nFrom = m_nBandPos[nBand];
            for (int nStep = 1; nStep <= 20; ++nStep) {
                SleepUntil(t0 + 5 * (nStep - 1));
                MoveBand(nBand, (nFrom + nStep) % 16, finals);
            }
        }));
    }
    Report("one band, 20 steps", bursts);
}

void TrafficBench::StepAllBands(int nSteps, Levels& finals) {
    const ULONGLONG t0 = ::GetTickCount64();
    for (int nStep = 1; nStep <= nSteps; ++nStep) {
        SleepUntil(t0 + 5 * (nStep - 1));
        for (int nBand = 0; nBand < 5; ++nBand)
            MoveBand(nBand, (m_nBandPos[nBand] + 1) % 16, finals);
    }
}

// 20 steps 5 ms apart, each moving all five sliders.
void TrafficBench::FiveBands(int nReps) {
    std::vector<BurstFigures> bursts;
    for (int nRep = 0; nRep < nReps; ++nRep) {
        bursts.push_back(Burst([&](Levels& finals) { StepAllBands(20, finals); }));
    }
    Report("five bands, 20 steps", bursts);
}

// The gain trackbar exists once the Mic tab was shown and moves only while AGC is off. Each burst:
// 10 gain steps on the Mic tab, then the Equalizer tab and 10 steps of all five bands, 5 ms
// apart; only a shown trackbar paints.
void TrafficBench::GainAndBands(int nReps) {
    m_app->SelectTab(1);
    m_app->WaitForControl(kLevel);
    m_app->Click(kEnableAGC);
    const bool bAGCOff = WaitUntil([&] {
        for (const LogLine& line : m_standIn->Messages()) {
            if (line.dwMsg == kAGCEnableMsg && line.dwParam == 0)
                return true;
        }
        return false;
    });
    if (!bAGCOff) {
        std::puts("# AGC could not be switched off");
        return;
    }
    std::vector<BurstFigures> bursts;
    for (int nRep = 0; nRep < nReps; ++nRep) {
        m_app->SelectTab(1);
        m_app->Sync();
        bursts.push_back(Burst([&](Levels& finals) {
            const ULONGLONG t0 = ::GetTickCount64();
            for (int nStep = 1; nStep <= 10; ++nStep) {
                SleepUntil(t0 + 5 * (nStep - 1));
                MoveGain((m_nGainPos + 1) % 8, finals);
            }
            m_app->SelectTab(0);
            StepAllBands(10, finals);
        }));
    }
    Report("gain and five bands, 20 steps", bursts);
}

// 200 steps over 2 s on one slider, sweeping back and forth between the ends.
void TrafficBench::LongDrag(int nReps) {
    std::vector<BurstFigures> bursts;
    for (int nRep = 0; nRep < nReps; ++nRep) {
        const int nBand = nRep % 5;
        bursts.push_back(Burst([&](Levels& finals) {
            const ULONGLONG t0 = ::GetTickCount64();
            int nPos = m_nBandPos[nBand];
            int nDirection = nPos < 15 ? 1 : -1;
            for (int nStep = 0; nStep < 200; ++nStep) {
                if (nPos + nDirection < 0 || nPos + nDirection > 15)
                    nDirection = -nDirection;
                nPos += nDirection;
                SleepUntil(t0 + 10 * nStep);
                MoveBand(nBand, nPos, finals);
            }
        }));
    }
    Report("long drag, 200 steps over 2 s", bursts);
}

// Every trackbar repainted without a change; the Mic trackbar paints only on its own tab.
void TrafficBench::Repaints(int nRounds) {
    const size_t nFirst = m_standIn->Lines().size();
    const ULONGLONG tStart = ::GetTickCount64();
    std::vector<double> roundMs;
    const auto repaint = [&](std::initializer_list<int> ids) {
        for (int nRound = 0; nRound < nRounds; ++nRound) {
            LARGE_INTEGER start, end, frequency;
            ::QueryPerformanceFrequency(&frequency);
            ::QueryPerformanceCounter(&start);
            for (const int nID : ids)
                ::RedrawWindow(m_app->Control(nID), nullptr, nullptr,
                               RDW_INVALIDATE | RDW_UPDATENOW);
            ::QueryPerformanceCounter(&end);
            roundMs.push_back(1e3 * static_cast<double>(end.QuadPart - start.QuadPart) /
                              static_cast<double>(frequency.QuadPart));
        }
    };
    m_app->SelectTab(0);
    repaint(
        {kBandControls[0], kBandControls[1], kBandControls[2], kBandControls[3], kBandControls[4]});
    m_app->SelectTab(1);
    repaint({kLevel});
    m_app->SelectTab(0);
    m_app->Sync();
    ::Sleep(kQuietMs);
    size_t nSent = 0;
    LogLine line;
    const std::vector<std::string> lines = m_standIn->Lines();
    for (size_t nLine = nFirst; nLine < lines.size(); ++nLine)
        nSent += ParseLogLine(lines[nLine], line) && line.dwMsg != kHeadphoneQuery;
    const Summary cost = Summarise(roundMs);
    PrintRow(Format("repaints without a change (%d x 5 bands, %d x gain)", nRounds, nRounds),
             Format("%zu messages, %zu registry writes", nSent,
                    m_watch->CountBetween(tStart, ::GetTickCount64())),
             Format("one repaint round: median %.2f ms, max %.2f ms", cost.median, cost.max));
}

} // namespace

int main(int argc, char** argv) {
    const int nReps = NumberOption(argc, argv, "reps", 30);
    const int nDrags = NumberOption(argc, argv, "drags", nReps);
    TrafficBench bench;
    if (!bench.Start()) {
        std::puts("# the stand-in or the application did not start");
        return 1;
    }
    bench.Warmup();
    bench.OneBand(nReps);
    bench.FiveBands(nReps);
    bench.LongDrag(nDrags);
    bench.Repaints(50);
    bench.GainAndBands(nReps);
    return 0;
}
