#pragma once

#include "platform/Handle.h"
#include "standin/DriverState.h"
#include "standin/Log.h"

// Serves "WAV1:" on the named pipe, one request and one reply at a time per client, on a fixed
// set of pipe instances with a thread each. An instance is kept and reused for client after
// client: under Wine, recreating the only instance makes waiting clients fail at once (error
// 676), and a client's open does not retry on a busy pipe, so enough instances always listen.
class PipeServer {
public:
    PipeServer(DriverState& driver, Log& log) : m_driver(driver), m_log(log) {}
    ~PipeServer() { Stop(); }
    PipeServer(const PipeServer&) = delete;
    PipeServer& operator=(const PipeServer&) = delete;

    // Creates every instance and starts serving; false when the pipe is served already.
    bool Start();
    // Ends every instance's thread and waits for it; clients see the pipe break.
    void Stop();

    static constexpr int kInstances = 8;

private:
    struct Instance {
        PipeServer* pServer = nullptr;
        platform::UniqueHandle hPipe;
        platform::UniqueHandle hEvent; // completion of the instance's overlapped transfers
        platform::UniqueHandle hThread;
    };
    enum class Io { Done, Failed, Stopped };

    static DWORD WINAPI ThreadProc(LPVOID pParam);
    void Serve(Instance& instance);
    Io Connect(Instance& instance);
    bool ServeClient(Instance& instance);
    bool ServeRequest(Instance& instance, const BYTE* pRequest, DWORD cbRequest);
    Io Await(Instance& instance, BOOL bDone, OVERLAPPED& overlapped, DWORD& cbDone);
    bool Stopping() const;

    DriverState& m_driver;
    Log& m_log;
    platform::UniqueHandle m_hStop; // manual-reset: set once, seen by every instance
    Instance m_instances[kInstances];
};
