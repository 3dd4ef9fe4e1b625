#include "destination/MonitorChannel.h"

#include "core/ProcAddress.h"
#include "destination/PrinterDataValues.h"

#include <cstring>
#include <cwchar>

namespace {

constexpr wchar_t kPipeName[] = L"\\\\.\\pipe\\QZKRVMon";
constexpr DWORD kMagic = 0xB4789687;
constexpr DWORD kValuesMagic = 0xE80081E5;
constexpr DWORD kHeaderSize = 56;
constexpr DWORD kConnectAttempts = 3;
constexpr DWORD kConnectDelayMs = 379;
constexpr DWORD kWriteAttempts = 3;
constexpr DWORD kWriteDelayMs = 267;
// A monitor that takes longer than this to take or answer one request has
// hung; the limit is for the whole message, so a peer that sends a byte now
// and then cannot hold the caller longer.
constexpr DWORD kReplyTimeoutMs = 20000;
constexpr DWORD kMaxMessage = 0x7FFFFFFF;

constexpr DWORD kOpcodeOpen = 0;
constexpr DWORD kOpcodeTransceive = 1;
constexpr DWORD kOpcodeClose = 2;
constexpr DWORD kOpcodeStoreData = 5;
constexpr DWORD kOpcodeAddPrinter = 7;

enum Field : DWORD {
    kTotal = 4, kOpcode = 8, kNameOffset = 12, kSuccess = 16, kError = 20, kHandle = 24,
    kInputOffset = 32, kInputSize = 36, kOutputOffset = 40, kOutputSize = 44, kNeeded = 48,
};

void put32(BYTE* message, DWORD offset, DWORD value)
{
    std::memcpy(message + offset, &value, sizeof(value));
}

void put64(BYTE* message, DWORD offset, ULONGLONG value)
{
    std::memcpy(message + offset, &value, sizeof(value));
}

DWORD get32(const BYTE* message, DWORD offset)
{
    DWORD value = 0;
    std::memcpy(&value, message + offset, sizeof(value));
    return value;
}

ULONGLONG get64(const BYTE* message, DWORD offset)
{
    ULONGLONG value = 0;
    std::memcpy(&value, message + offset, sizeof(value));
    return value;
}

ULONGLONG textBytes(const wchar_t* text)
{
    return static_cast<ULONGLONG>(std::wcslen(text)) * sizeof(wchar_t);
}

// Copies a text with its terminator; returns the offset after it.
DWORD putText(BYTE* message, DWORD offset, const wchar_t* text)
{
    const DWORD bytes = static_cast<DWORD>(textBytes(text) + sizeof(wchar_t));
    std::memcpy(message + offset, text, bytes);
    return offset + bytes;
}

// Overlapped transfer of exactly size bytes, bounded in time; false with the
// failing call's error (ERROR_TIMEOUT when the other end went silent).
bool transferAll(HANDLE pipe, BYTE* data, DWORD size, bool write, DWORD* moved)
{
    *moved = 0;
    const ScopedKernelHandle owner(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!owner)
        return false;
    HANDLE event = owner.get();
    const ULONGLONG deadline = GetTickCount64() + kReplyTimeoutMs;
    bool ok = true;
    while (ok && *moved < size) {
        OVERLAPPED overlapped = {};
        overlapped.hEvent = event;
        ResetEvent(event);
        BOOL started = write ? WriteFile(pipe, data + *moved, size - *moved, nullptr, &overlapped)
                             : ReadFile(pipe, data + *moved, size - *moved, nullptr, &overlapped);
        DWORD done = 0;
        if (!started && GetLastError() == ERROR_IO_PENDING) {
            const ULONGLONG now = GetTickCount64();
            const DWORD left = now < deadline ? static_cast<DWORD>(deadline - now) : 0;
            if (WaitForSingleObject(event, left) != WAIT_OBJECT_0) {
                CancelIo(pipe);
                GetOverlappedResult(pipe, &overlapped, &done, TRUE);
                SetLastError(ERROR_TIMEOUT);
                ok = false;
                break;
            }
            started = TRUE;
        }
        if (!started || !GetOverlappedResult(pipe, &overlapped, &done, TRUE)) {
            ok = false;
        } else if (done == 0) {
            SetLastError(ERROR_BROKEN_PIPE);
            ok = false;
        } else {
            *moved += done;
        }
    }
    return ok;
}

} // namespace

MonitorChannel::MonitorChannel(const wchar_t* monitorName) : monitorName_(monitorName ? monitorName : L"") {}

MonitorChannel::~MonitorChannel()
{
    close();
}

bool MonitorChannel::openMonitor()
{
    if (monitorName_.empty())
        return false;
    return open(monitorName_.c_str());
}

bool MonitorChannel::open(const wchar_t* monitorName)
{
    if (!monitorName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    return openText(std::wstring(L",XcvMonitor ") + monitorName);
}

bool MonitorChannel::openPort(const wchar_t* portName)
{
    return openText(std::wstring(L",XcvPort ") + (portName ? portName : L""));
}

bool MonitorChannel::openText(const std::wstring& text)
{
    // A handle still open would be lost with the field.
    close();
    HANDLE handle = nullptr;
    PRINTER_DEFAULTSW defaults = {nullptr, nullptr, SERVER_ACCESS_ADMINISTER};
    std::wstring name = text;
    // OpenPrinterW may write the handle even when it fails; trust it only on success.
    if (OpenPrinterW(name.data(), &handle, &defaults)) {
        xcv_.reset(handle);
        pipeMode_ = false;
        return true;
    }
    if (GetLastError() != ERROR_ACCESS_DENIED)
        return false;
    return openOverPipe(text);
}

BYTE* MonitorChannel::beginMessage(ULONGLONG size, DWORD opcode)
{
    if (size < kHeaderSize || size > kMaxMessage) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (size > capacity_) {
        BYTE* grown = static_cast<BYTE*>(GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(size)));
        if (!grown) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return nullptr;
        }
        buffer_.reset(grown);
        capacity_ = static_cast<DWORD>(size);
    }
    BYTE* message = buffer_.get();
    std::memset(message, 0, capacity_);
    put32(message, 0, kMagic);
    put32(message, kTotal, static_cast<DWORD>(size));
    put32(message, kOpcode, opcode);
    return message;
}

bool MonitorChannel::openOverPipe(const std::wstring& text)
{
    BYTE* message = beginMessage(kHeaderSize + textBytes(text.c_str()) + sizeof(wchar_t), kOpcodeOpen);
    if (!message)
        return false;
    put32(message, kNameOffset, kHeaderSize);
    const DWORD size = putText(message, kHeaderSize, text.c_str());
    if (!transact(size))
        return false;
    if (get32(message, kSuccess)) {
        remote_ = get64(message, kHandle);
        return true;
    }
    SetLastError(get32(message, kError));
    return false;
}

bool MonitorChannel::transact(DWORD size)
{
    ScopedKernelHandle owner;
    for (DWORD attempt = 0; attempt < kConnectAttempts; ++attempt) {
        owner.reset(CreateFileW(kPipeName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (owner)
            break;
        if (attempt + 1 < kConnectAttempts)
            Sleep(kConnectDelayMs);
    }
    HANDLE pipe = owner.get();
    if (!owner) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    pipeMode_ = true;
    // The request is written again only while none of it has gone out: once
    // the monitor has it, a second copy would store data or add a printer twice.
    bool ok = false;
    for (DWORD attempt = 0; attempt < kWriteAttempts; ++attempt) {
        DWORD written = 0;
        if (transferAll(pipe, buffer_.get(), size, true, &written)) {
            DWORD read = 0;
            ok = transferAll(pipe, buffer_.get(), size, false, &read);

            break;
        }
        if (written != 0)
            break;
        if (attempt + 1 < kWriteAttempts)
            Sleep(kWriteDelayMs);
    }
    return ok; // the pipe's close keeps the transfer's error
}

bool MonitorChannel::xcvData(const wchar_t* dataName, const BYTE* input, DWORD inputSize, BYTE* output,
                             DWORD outputSize, DWORD* needed)
{
    if (!isOpen()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (!dataName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const DWORD inBytes = input ? inputSize : 0;
    if (pipeMode_) {
        BYTE* message = beginMessage(kHeaderSize + textBytes(dataName) + sizeof(wchar_t) +
                                         static_cast<ULONGLONG>(inBytes) + outputSize,
                                     kOpcodeTransceive);
        if (!message)
            return false;
        put64(message, kHandle, remote_);
        DWORD at = kHeaderSize;
        if (inBytes) {
            put32(message, kInputOffset, at);
            put32(message, kInputSize, inBytes);
            std::memcpy(message + at, input, inBytes);
            at += inBytes;
        }
        const DWORD outputOffset = at;
        if (outputSize) {
            put32(message, kOutputOffset, at);
            put32(message, kOutputSize, outputSize);
            at += outputSize;
        }
        put32(message, kNameOffset, at);
        const DWORD size = putText(message, at, dataName);
        if (!transact(size))
            return false;
        lastStatus_ = get32(message, kError);
        const DWORD replyNeeded = get32(message, kNeeded);
        if (needed)
            *needed = replyNeeded;
        if (!get32(message, kSuccess))
            return false;
        if (outputSize && replyNeeded && output)
            std::memcpy(output, message + outputOffset, replyNeeded < outputSize ? replyNeeded : outputSize);
        return true;
    }
    if (!spooler_) {
        spooler_.reset(LoadLibraryW(L"WINSPOOL.DRV"));
        if (!spooler_)
            return false;
    }
    if (!xcvDataW_) {
        xcvDataW_ = procAddress<XcvDataFn>(spooler_.get(), "XcvDataW");
        if (!xcvDataW_)
            return false;
    }
    DWORD ignored = 0;
    return xcvDataW_(xcv_.get(), dataName, const_cast<BYTE*>(input), inputSize, output,
                     outputSize, needed ? needed : &ignored, &lastStatus_) != FALSE;
}

bool MonitorChannel::close()
{
    if (remote_ != kClosed) {
        bool ok = false;
        if (BYTE* message = beginMessage(kHeaderSize, kOpcodeClose)) {
            put64(message, kHandle, remote_);
            ok = transact(kHeaderSize);
        }
        remote_ = kClosed;
        pipeMode_ = false;
        return ok;
    }
    // A handle the spooler would not close stays held, as the caller is told.
    return xcv_.close();
}

bool MonitorChannel::monitorRequest(DWORD size)
{
    // The request is built; opening over the pipe reuses the buffer, so keep a copy.
    std::string request(reinterpret_cast<const char*>(buffer_.get()), size);
    close();
    if (!openOverPipe(L",XcvMonitor " + monitorName_))
        return false;
    BYTE* message = beginMessage(size, get32(reinterpret_cast<const BYTE*>(request.data()), kOpcode));
    if (!message)
        return false;
    std::memcpy(message, request.data(), size);
    put64(message, kHandle, remote_);
    DWORD error = ERROR_SUCCESS;
    bool ok = false;
    if (!transact(size)) {
        error = GetLastError();
    } else if (!get32(message, kSuccess)) {
        error = get32(message, kError);
        lastStatus_ = error;
    } else {
        ok = true;
    }
    close();
    SetLastError(error);
    return ok;
}

bool MonitorChannel::setPrinterData(const wchar_t* printerName, const MPrint::PrinterDataValues* batch)
{
    DWORD count = 0;
    PrinterDataValue* const* values = batch ? batch->getValues(&count) : nullptr;
    if (!printerName || !batch || count == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    // Sized in 64 bits: a name of 4 GiB must not wrap to a small message.
    const ULONGLONG blockOffset = kHeaderSize + textBytes(printerName) + sizeof(wchar_t);
    const ULONGLONG headerSize = 12 + 4ULL * count;
    ULONGLONG total = blockOffset + headerSize;
    for (DWORD i = 0; i < count; ++i)
        total += 24 + textBytes(values[i]->name.c_str()) + sizeof(wchar_t) + values[i]->size;
    BYTE* message = beginMessage(total, kOpcodeStoreData);
    if (!message)
        return false;
    put32(message, kNameOffset, kHeaderSize);
    putText(message, kHeaderSize, printerName);
    put32(message, kInputOffset, static_cast<DWORD>(blockOffset));
    put32(message, kInputSize, static_cast<DWORD>(total - blockOffset));
    BYTE* block = message + blockOffset;
    put32(block, 0, kValuesMagic);
    put32(block, 4, static_cast<DWORD>(headerSize));
    put32(block, 8, count);
    DWORD entryOffset = static_cast<DWORD>(headerSize);
    for (DWORD i = 0; i < count; ++i) {
        const PrinterDataValue& value = *values[i];
        const DWORD nameBytes = static_cast<DWORD>(textBytes(value.name.c_str()) + sizeof(wchar_t));
        const DWORD entrySize = 24 + nameBytes + value.size;
        put32(block, 12 + 4 * i, entryOffset);
        BYTE* entry = block + entryOffset;
        put64(entry, 0, entrySize);
        put32(entry, 8, 24);
        put32(entry, 12, value.type);
        put32(entry, 16, value.size);
        put32(entry, 20, 24 + nameBytes);
        putText(entry, 24, value.name.c_str());
        if (value.size)
            std::memcpy(entry + 24 + nameBytes, value.data.get(), value.size);
        entryOffset += entrySize;
    }
    return monitorRequest(static_cast<DWORD>(total));
}

bool MonitorChannel::addPrinter(const wchar_t* firstText, const wchar_t* secondText)
{
    if (!firstText || !secondText) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const ULONGLONG firstSize = kHeaderSize + textBytes(firstText) + sizeof(wchar_t);
    const ULONGLONG inputSize = 16 + textBytes(secondText) + sizeof(wchar_t);
    BYTE* message = beginMessage(firstSize + inputSize, kOpcodeAddPrinter);
    if (!message)
        return false;
    const DWORD blockOffset = static_cast<DWORD>(firstSize);
    put32(message, kNameOffset, kHeaderSize);
    putText(message, kHeaderSize, firstText);
    put32(message, kInputOffset, blockOffset);
    put32(message, kInputSize, static_cast<DWORD>(inputSize));
    put32(message, blockOffset, 0x570030AF);
    put32(message, blockOffset + 4, 16);
    put32(message, blockOffset + 8, 2);
    put32(message, blockOffset + 12, 16);
    const DWORD size = putText(message, blockOffset + 16, secondText);
    return monitorRequest(size);
}

bool MonitorChannel::sendPrinterCommand(DWORD opcode, const wchar_t* printerName, const wchar_t* argument)
{
    if (!printerName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const ULONGLONG argumentBytes = argument ? textBytes(argument) + sizeof(wchar_t) : 0;
    BYTE* message = beginMessage(kHeaderSize + argumentBytes + textBytes(printerName) + sizeof(wchar_t), opcode);
    if (!message)
        return false;
    DWORD at = kHeaderSize;
    if (argument) {
        put32(message, kInputOffset, at);
        put32(message, kInputSize, static_cast<DWORD>(argumentBytes));
        at = putText(message, at, argument);
    }
    put32(message, kNameOffset, at);
    const DWORD size = putText(message, at, printerName);
    return monitorRequest(size);
}
