#include "standin/PipeServer.h"

#include "platform/WavPipe.h"

namespace wav_pipe = platform::wav_pipe;

namespace {

// Generous: a client that writes more than a request can hold is read in part and dropped.
constexpr DWORD kPipeBufferBytes = 4096;

} // namespace

bool PipeServer::Start() {
    m_hStop.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!m_hStop)
        return false;
    for (int nInstance = 0; nInstance < kInstances; ++nInstance) {
        Instance& instance = m_instances[nInstance];
        const DWORD dwFirst = nInstance == 0 ? FILE_FLAG_FIRST_PIPE_INSTANCE : 0;
        const HANDLE hPipe = ::CreateNamedPipeW(
            wav_pipe::kPipeName, PIPE_ACCESS_DUPLEX | FILE_FLAG_OVERLAPPED | dwFirst,
            PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, kInstances, kPipeBufferBytes,
            kPipeBufferBytes, 0, nullptr);
        if (hPipe == INVALID_HANDLE_VALUE) {
            m_log.Note("error: cannot serve the pipe (error %lu); is another stand-in running?",
                       ::GetLastError());
            return false;
        }
        instance.pServer = this;
        instance.hPipe.Reset(hPipe);
        instance.hEvent.Reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!instance.hEvent)
            return false;
    }
    for (Instance& instance : m_instances) {
        instance.hThread.Reset(::CreateThread(nullptr, 0, ThreadProc, &instance, 0, nullptr));
        if (!instance.hThread)
            return false;
    }
    return true;
}

void PipeServer::Stop() {
    if (!m_hStop)
        return;
    ::SetEvent(m_hStop.Get());
    for (Instance& instance : m_instances) {
        if (instance.hThread)
            ::WaitForSingleObject(instance.hThread.Get(), INFINITE);
        instance.hThread.Reset();
        instance.hPipe.Reset();
        instance.hEvent.Reset();
    }
    m_hStop.Reset();
}

bool PipeServer::Stopping() const {
    return ::WaitForSingleObject(m_hStop.Get(), 0) == WAIT_OBJECT_0;
}

DWORD WINAPI PipeServer::ThreadProc(LPVOID pParam) {
    Instance& instance = *static_cast<Instance*>(pParam);
    instance.pServer->Serve(instance);
    return 0;
}

// Client after client on the same instance, until the server stops.
void PipeServer::Serve(Instance& instance) {
    while (!Stopping()) {
        const Io io = Connect(instance);
        if (io == Io::Stopped)
            return;
        if (io == Io::Done && !ServeClient(instance))
            return;
        if (io == Io::Failed && ::GetLastError() != ERROR_NO_DATA) {
            m_log.Note("error: a pipe instance cannot connect (error %lu)", ::GetLastError());
            ::WaitForSingleObject(m_hStop.Get(), 1000); // keeps a lasting failure from spinning
        }
        ::DisconnectNamedPipe(instance.hPipe.Get());
    }
}

PipeServer::Io PipeServer::Connect(Instance& instance) {
    OVERLAPPED overlapped = {};
    overlapped.hEvent = instance.hEvent.Get();
    const BOOL bConnected = ::ConnectNamedPipe(instance.hPipe.Get(), &overlapped);
    if (!bConnected && ::GetLastError() == ERROR_PIPE_CONNECTED)
        return Io::Done; // the client came before the call
    DWORD cbDone = 0;
    return Await(instance, bConnected, overlapped, cbDone);
}

// Answers one client's requests until it leaves or is dropped; false once the server stops.
bool PipeServer::ServeClient(Instance& instance) {
    BYTE request[wav_pipe::kMaxRequestBytes];
    for (;;) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = instance.hEvent.Get();
        DWORD cbRequest = 0;
        const Io io =
            Await(instance,
                  ::ReadFile(instance.hPipe.Get(), request, sizeof request, nullptr, &overlapped),
                  overlapped, cbRequest);
        if (io == Io::Stopped)
            return false;
        if (io == Io::Failed) {
            const DWORD dwError = ::GetLastError();
            if (dwError == ERROR_MORE_DATA)
                m_log.Note("dropped a client: a request longer than %lu bytes",
                           wav_pipe::kMaxRequestBytes);
            else if (dwError != ERROR_BROKEN_PIPE && dwError != ERROR_PIPE_NOT_CONNECTED)
                m_log.Note("dropped a client: read error %lu", dwError);
            return true;
        }
        if (!ServeRequest(instance, request, cbRequest))
            return !Stopping();
    }
}

// Answers one request; false when the client is to be dropped or has gone.
bool PipeServer::ServeRequest(Instance& instance, const BYTE* pRequest, DWORD cbRequest) {
    if (cbRequest < wav_pipe::kHeaderBytes) {
        m_log.Note("dropped a client: a request of %lu bytes", cbRequest);
        return false;
    }
    const DWORD dwCode = wav_pipe::GetWord(pRequest);
    const DWORD cbOut = wav_pipe::GetWord(pRequest + wav_pipe::kWordBytes);
    if (cbOut > wav_pipe::kMaxOutputBytes) {
        m_log.Note("dropped a client: it asked for an output of %lu bytes", cbOut);
        return false;
    }
    BYTE reply[wav_pipe::kMaxReplyBytes];
    const DWORD dwResult =
        m_driver.Answer(dwCode, pRequest + wav_pipe::kHeaderBytes,
                        cbRequest - wav_pipe::kHeaderBytes, reply + wav_pipe::kWordBytes, cbOut);
    wav_pipe::PutWord(reply, dwResult);

    OVERLAPPED overlapped = {};
    overlapped.hEvent = instance.hEvent.Get();
    const DWORD cbReply = wav_pipe::kWordBytes + cbOut;
    DWORD cbWritten = 0;
    const Io io =
        Await(instance, ::WriteFile(instance.hPipe.Get(), reply, cbReply, nullptr, &overlapped),
              overlapped, cbWritten);
    if (io == Io::Failed)
        m_log.Note("a client left before its reply");
    return io == Io::Done && cbWritten == cbReply;
}

// Waits for an overlapped transfer to end, or for the server to stop, which cancels it.
PipeServer::Io PipeServer::Await(Instance& instance, BOOL bDone, OVERLAPPED& overlapped,
                                 DWORD& cbDone) {
    if (!bDone && ::GetLastError() != ERROR_IO_PENDING)
        return Io::Failed;
    const HANDLE waits[] = {overlapped.hEvent, m_hStop.Get()};
    if (::WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) {
        ::CancelIo(instance.hPipe.Get());
        // The cancelled transfer must end before its OVERLAPPED leaves the stack.
        ::GetOverlappedResult(instance.hPipe.Get(), &overlapped, &cbDone, TRUE);
        return Io::Stopped;
    }
    return ::GetOverlappedResult(instance.hPipe.Get(), &overlapped, &cbDone, FALSE) ? Io::Done
                                                                                    : Io::Failed;
}
