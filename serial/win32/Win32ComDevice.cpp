#include "serial/win32/Win32ComDevice.h"

#include "serial/EComPort.h"
#include "serial/Platform.h"

#include <algorithm>
#include <cstring>

namespace tolvar {

namespace {

std::int32_t LastError() {
    return static_cast<std::int32_t>(GetLastError());
}

// Wine ends a read that its time-outs cut short with this error and the bytes moved so far;
// Windows reports the same as success.
constexpr DWORD kTimeoutError = 1460; // ERROR_TIMEOUT

DWORD Count(std::int32_t count) {
    return static_cast<DWORD>(std::max<std::int32_t>(count, 0));
}

} // namespace

TAsync::TAsync() {
    // Manual reset, created signalled; the platform resets it when a transfer starts.
    overlapped.hEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    if (overlapped.hEvent == nullptr)
        throw EComPort(CError_InvalidAsync, LastError());
}

TAsync::~TAsync() {
    CloseHandle(overlapped.hEvent);
}

DCB MakeDcb(const TComLineSettings& s) {
    DCB dcb;
    std::memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = static_cast<DWORD>(s.baudRate);
    dcb.fBinary = 1;
    dcb.fParity = s.parityCheck ? 1 : 0;
    dcb.fOutxCtsFlow = s.outCtsFlow ? 1 : 0;
    dcb.fOutxDsrFlow = s.outDsrFlow ? 1 : 0;
    dcb.fDtrControl = s.dtrControl;
    dcb.fDsrSensitivity = s.dsrSensitivity ? 1 : 0;
    dcb.fTXContinueOnXoff = s.txContinueOnXoff ? 1 : 0;
    dcb.fOutX = s.outX ? 1 : 0;
    dcb.fInX = s.inX ? 1 : 0;
    dcb.fErrorChar = s.errorCharOn ? 1 : 0;
    dcb.fNull = s.discardNull ? 1 : 0;
    dcb.fRtsControl = s.rtsControl;
    dcb.fAbortOnError = 0;
    dcb.XonLim = s.xonLim;
    dcb.XoffLim = s.xoffLim;
    dcb.ByteSize = s.byteSize;
    dcb.Parity = s.parity;
    dcb.StopBits = s.stopBits;
    dcb.XonChar = s.xonChar;
    dcb.XoffChar = s.xoffChar;
    dcb.ErrorChar = s.errorChar;
    dcb.EvtChar = s.eventChar;
    return dcb;
}

COMMTIMEOUTS MakeCommTimeouts(const TComTimeoutValues& t) {
    COMMTIMEOUTS ct;
    ct.ReadIntervalTimeout = t.readInterval;
    ct.ReadTotalTimeoutMultiplier = t.readTotalMultiplier;
    ct.ReadTotalTimeoutConstant = t.readTotalConstant;
    ct.WriteTotalTimeoutMultiplier = t.writeTotalMultiplier;
    ct.WriteTotalTimeoutConstant = t.writeTotalConstant;
    return ct;
}

TWin32ComDevice::~TWin32ComDevice() {
    Close();
}

void TWin32ComDevice::Open(const std::string& portName) {
    const std::string path = "\\\\.\\" + portName;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        throw EComPort(CError_OpenFailed, LastError());
    handle_ = h;
}

void TWin32ComDevice::Close() noexcept {
    if (handle_ != INVALID_HANDLE_VALUE) {
        CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
}

void TWin32ComDevice::SetQueueSizes(std::int32_t input, std::int32_t output) {
    if (!SetupComm(handle_, Count(input), Count(output)))
        throw EComPort(CError_SetupComFailed, LastError());
}

void TWin32ComDevice::SetLine(const TComLineSettings& settings) {
    DCB dcb = MakeDcb(settings);
    if (!SetCommState(handle_, &dcb))
        throw EComPort(CError_SetStateFailed, LastError());
}

void TWin32ComDevice::SetTimeouts(const TComTimeoutValues& timeouts) {
    COMMTIMEOUTS ct = MakeCommTimeouts(timeouts);
    if (!SetCommTimeouts(handle_, &ct))
        throw EComPort(CError_TimeoutsFailed, LastError());
}

DWORD TWin32ComDevice::WaitForSignal(HANDLE signal) {
    return WaitForSingleObject(signal, INFINITE);
}

void TWin32ComDevice::CancelAsync(TAsync& async) noexcept {
    CancelIoEx(handle_, &async.overlapped);
    DWORD moved = 0;
    GetOverlappedResult(handle_, &async.overlapped, &moved, TRUE);
    // Should the signal itself be what failed, the record still says when the system is done.
    while (!HasOverlappedIoCompleted(&async.overlapped))
        Sleep(1);
}

std::int32_t TWin32ComDevice::WaitForAsync(TAsync& async) {
    const std::int32_t code = async.kind == okWrite ? CError_WriteFailed : CError_ReadFailed;
    if (WaitForSignal(async.overlapped.hEvent) != WAIT_OBJECT_0) {
        const std::int32_t error = LastError();
        // The transfer may still be under way: it must not outlive its record and buffer.
        CancelAsync(async);
        throw EComPort(code, error);
    }
    DWORD moved = 0;
    if (!GetOverlappedResult(handle_, &async.overlapped, &moved, FALSE)) {
        const DWORD error = GetLastError();
        if (error != kTimeoutError)
            throw EComPort(code, static_cast<std::int32_t>(error));
    }
    return static_cast<std::int32_t>(moved);
}

std::int32_t TWin32ComDevice::Write(const void* buf, std::int32_t count) {
    TAsync async;
    async.kind = okWrite;
    // The transfer itself reads the caller's buffer, which outlives it: the call waits.
    if (!WriteFile(handle_, buf, Count(count), nullptr, &async.overlapped) &&
        GetLastError() != ERROR_IO_PENDING)
        throw EComPort(CError_WriteFailed, LastError());
    return WaitForAsync(async);
}

std::int32_t TWin32ComDevice::Read(void* buf, std::int32_t count) {
    TAsync async;
    async.kind = okRead;
    if (!ReadFile(handle_, buf, Count(count), nullptr, &async.overlapped) &&
        GetLastError() != ERROR_IO_PENDING)
        throw EComPort(CError_ReadFailed, LastError());
    return WaitForAsync(async);
}

std::int32_t TWin32ComDevice::InputCount() {
    DWORD errors = 0;
    COMSTAT stat{};
    if (!ClearCommError(handle_, &errors, &stat))
        throw EComPort(CError_ClearComFailed, LastError());
    return static_cast<std::int32_t>(stat.cbInQue);
}

TComModemStatus TWin32ComDevice::ModemStatus() {
    DWORD status = 0;
    if (!GetCommModemStatus(handle_, &status))
        throw EComPort(CError_ModemStatFailed, LastError());
    return {(status & MS_CTS_ON) != 0, (status & MS_DSR_ON) != 0, (status & MS_RLSD_ON) != 0};
}

void TWin32ComDevice::Purge() {
    if (!PurgeComm(handle_, PURGE_TXABORT | PURGE_RXABORT))
        throw EComPort(CError_PurgeFailed, LastError());
}

void TWin32ComDevice::PurgeInput() {
    if (!PurgeComm(handle_, PURGE_RXCLEAR))
        throw EComPort(CError_PurgeFailed, LastError());
}

std::unique_ptr<TComDevice> CreateComDevice() {
    return std::make_unique<TWin32ComDevice>();
}

} // namespace tolvar
