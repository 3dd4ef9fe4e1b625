#include "core/QZMemCollector.h"

#include "core/CDbgHelp.h"
#include "core/QZMemBlock.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <malloc.h>
#include <new>

// All state is constant-initialised: the operators run before any static
// constructor of this file, and after its destructors.
namespace {

constexpr char kProfilerKey[] = "SOFTWARE\\Tarvokin\\QZProfiler";
// The maker's symbol server, behind a local cache, for "AppendRQNSymbolServerPath".
constexpr char kSymbolServer[] = "srv*c:\\localsymbols*\\\\symbols.tarvokin\\symbols";
constexpr char kFrame[] = "****!!!!****!!!!****!!!!****";

volatile DWORD g_mode = QZMemCollector::kModeUnread;
HANDLE g_heap = nullptr;
uint64_t g_failSize = 0;
uint32_t g_breakId = 0;
volatile LONG g_counter = 0;
char g_logLocation[262] = {};  // 260 bytes of location, room for the backslash
SRWLOCK g_listLock = SRWLOCK_INIT;  // guards the list, every header's links and the index
QZMemHeader* g_head = nullptr;
QZMemHeader* g_tail = nullptr;
volatile LONG g_listed = 0;  // blocks in the list: changed under g_listLock, read without it
// The listed headers by address, so that a pointer is known to be a tracked
// block before anything in front of it is read: open addressing with linear
// probing, at most half full, from the C runtime heap.
QZMemHeader** g_index = nullptr;
size_t g_indexCapacity = 0;  // a power of two, or 0
volatile bool g_teardown = true;  // no live collector: before the first and after the last
HANDLE g_recordFile = INVALID_HANDLE_VALUE;
HANDLE g_textLog = INVALID_HANDLE_VALUE;
char g_processPath[MAX_PATH] = {};
char g_modulePath[512] = {};
char g_callerModulePath[MAX_PATH] = {};
uintptr_t g_callerBase = 0;
size_t g_callerSize = 0;
uint8_t g_guardPattern[QZMemCollector::kGuardSize] = {};
bool g_debuggerAsked = false;
bool g_debuggerPresent = false;
bool g_reportedFailure = false;
CDbgHelp* g_dbgHelp = nullptr;
QZMemCollector* g_liveCollector = nullptr;
alignas(QZMemCollector) unsigned char g_collectorStorage[sizeof(QZMemCollector)];
INIT_ONCE g_hooksOnce = INIT_ONCE_STATIC_INIT;
bool g_tracking = false;  // the hooks' choice, fixed for the process
bool g_plainHooksChosen = false;  // blocks of the C runtime may be live, not tracked

// This module, for the report's "Current Module Name".
HMODULE ownModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ownModule), &module);
    return module;
}

const char* baseName(const char* path)
{
    const char* slash = strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

void debugOutput(const char* text)
{
    if (strlen(text) < 0x7FFDEF00)
        OutputDebugStringA(text);
}

bool debuggerPresent()
{
    if (!g_debuggerAsked) {
        using IsDebuggerPresentFn = BOOL(WINAPI*)();
        auto present = reinterpret_cast<IsDebuggerPresentFn>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "IsDebuggerPresent")));
        g_debuggerPresent = present && present();
        g_debuggerAsked = true;
    }
    return g_debuggerPresent;
}

void breakIfDebugged()
{
    if (debuggerPresent())
        DebugBreak();
}

void readSettings()
{
    if (g_mode != QZMemCollector::kModeUnread)
        return;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProfilerKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    DWORD mode = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExA(key, "TrackMemoryAllocation", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) ==
            ERROR_SUCCESS &&
        size == sizeof(value) && value != 0)
        mode = value == 2 || value == 3 || value == 4 ? value : 1;
    if (mode != 0) {
        // Two bytes beyond the 260 keep a value of any length terminated.
        BYTE location[262] = {};
        size = 260;
        DWORD type = REG_NONE;
        if (RegQueryValueExA(key, "TrackMemoryLogLocation", nullptr, &type, location, &size) == ERROR_SUCCESS &&
            size > 0) {
            if (location[0] == 0 || location[1] == 0) {
                // Wide text (the A call answers REG_SZ converted; a REG_BINARY stays wide).
                char narrow[262] = {};
                WideCharToMultiByte(CP_ACP, WC_COMPOSITECHECK, reinterpret_cast<const wchar_t*>(location),
                                    static_cast<int>(wcsnlen(reinterpret_cast<const wchar_t*>(location), 130)),
                                    narrow, 259, nullptr, nullptr);
                memcpy(g_logLocation, narrow, 260);
            } else {
                memcpy(g_logLocation, location, 260);
            }
            g_logLocation[259] = '\0';
            size_t length = strlen(g_logLocation);
            if (length > 0 && g_logLocation[length - 1] != '\\')
                g_logLocation[length++] = '\\';
            g_logLocation[length] = '\0';
            if (!CreateDirectoryA(g_logLocation, nullptr) && GetLastError() == ERROR_PATH_NOT_FOUND &&
                !GetTempPathA(sizeof(g_logLocation) - 1, g_logLocation))
                g_logLocation[0] = '\0';
        }
        size = sizeof(value);
        value = 0;
        if (RegQueryValueExA(key, "TrackMemoryFailSize", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS &&
            value != 0)
            g_failSize = value;
    }
    RegCloseKey(key);
    g_heap = mode == 1 || mode == 3 ? GetProcessHeap() : nullptr;
    g_mode = mode;
}

bool trackingOn()
{
    return g_mode >= 1 && g_mode <= 4;
}

void atUnload()
{
    if (g_liveCollector == reinterpret_cast<QZMemCollector*>(g_collectorStorage))
        g_liveCollector->~QZMemCollector();
}

BOOL CALLBACK selectHooks(PINIT_ONCE, PVOID, PVOID*)
{
    readSettings();
    g_tracking = trackingOn();
    if (!g_tracking)
        g_plainHooksChosen = true;
    if (!g_liveCollector) {
        new (g_collectorStorage) QZMemCollector();
        atexit(atUnload);
    }
    return TRUE;
}

void ensureHooks()
{
    InitOnceExecuteOnce(&g_hooksOnce, selectHooks, nullptr, nullptr);
}

size_t indexSlot(const QZMemHeader* header, size_t capacity)
{
    // Headers lie 8 bytes off a 16-byte boundary: the low bits tell nothing.
    const uint64_t hash = (reinterpret_cast<uintptr_t>(header) >> 4) * 0x9E3779B97F4A7C15ull;
    return static_cast<size_t>(hash >> 32) & (capacity - 1);
}

// The slot of the header, or the capacity when it is not in the index.
size_t indexFind(const QZMemHeader* header)
{
    if (!g_indexCapacity)
        return 0;
    for (size_t slot = indexSlot(header, g_indexCapacity);; slot = (slot + 1) & (g_indexCapacity - 1)) {
        if (g_index[slot] == header)
            return slot;
        if (!g_index[slot])
            return g_indexCapacity;
    }
}

void indexPut(QZMemHeader** index, size_t capacity, QZMemHeader* header)
{
    size_t slot = indexSlot(header, capacity);
    while (index[slot])
        slot = (slot + 1) & (capacity - 1);
    index[slot] = header;
}

// False when the index would be over half full and cannot grow.
bool indexInsert(QZMemHeader* header)
{
    const size_t count = static_cast<size_t>(g_listed);
    if ((count + 1) * 2 > g_indexCapacity) {
        const size_t capacity = g_indexCapacity ? g_indexCapacity * 2 : 256;
        auto** index = static_cast<QZMemHeader**>(calloc(capacity, sizeof(QZMemHeader*)));
        if (!index)
            return false;
        for (size_t slot = 0; slot < g_indexCapacity; ++slot)
            if (g_index[slot])
                indexPut(index, capacity, g_index[slot]);
        free(g_index);
        g_index = index;
        g_indexCapacity = capacity;
    }
    indexPut(g_index, g_indexCapacity, header);
    return true;
}

// Empties the slot and moves later entries of its run back, so that every
// entry stays reachable from its own slot without markers of removal.
void indexErase(size_t slot)
{
    const size_t mask = g_indexCapacity - 1;
    size_t hole = slot;
    for (size_t next = (hole + 1) & mask; g_index[next]; next = (next + 1) & mask) {
        const size_t home = indexSlot(g_index[next], g_indexCapacity);
        if (((next - home) & mask) >= ((next - hole) & mask)) {
            g_index[hole] = g_index[next];
            hole = next;
        }
    }
    g_index[hole] = nullptr;
}

// Gives the index back once nothing is tracked after the report at unload.
void releaseIndexIfDone()
{
    if (g_teardown && g_listed == 0) {
        free(g_index);
        g_index = nullptr;
        g_indexCapacity = 0;
    }
}

// False when the block cannot be indexed (no memory).
bool link(QZMemHeader* header)
{
    AcquireSRWLockExclusive(&g_listLock);
    const bool indexed = indexInsert(header);
    if (indexed) {
        InterlockedIncrement(&g_listed);
        header->previous = g_tail;
        header->next = nullptr;
        if (g_tail)
            g_tail->next = header;
        else
            g_head = header;
        g_tail = header;
    }
    ReleaseSRWLockExclusive(&g_listLock);
    return indexed;
}

// Where the header of a block with this data would lie; only an address to
// look up in the index, never read before it is found there.
const QZMemHeader* candidateHeader(void* data)
{
    const auto address = reinterpret_cast<uintptr_t>(data);
    if (address < sizeof(QZMemHeader))
        return nullptr;
    return reinterpret_cast<const QZMemHeader*>(address - sizeof(QZMemHeader));
}

// The header of a listed block, null for any other pointer.
QZMemHeader* listedHeader(void* data)
{
    const QZMemHeader* candidate = candidateHeader(data);
    if (!candidate || g_listed == 0)
        return nullptr;
    AcquireSRWLockShared(&g_listLock);
    QZMemHeader* header = indexFind(candidate) < g_indexCapacity ? const_cast<QZMemHeader*>(candidate) : nullptr;
    ReleaseSRWLockShared(&g_listLock);
    return header;
}

enum class Taken { kNotListed, kOtherForm, kTaken };

// Takes a listed block out of the list and the index, when it was made by
// the same form (new or new[]) that frees it.
Taken takeListed(void* data, bool array, QZMemHeader** taken)
{
    const QZMemHeader* candidate = candidateHeader(data);
    if (!candidate || g_listed == 0)
        return Taken::kNotListed;
    Taken result = Taken::kNotListed;
    AcquireSRWLockExclusive(&g_listLock);
    const size_t slot = indexFind(candidate);
    if (slot < g_indexCapacity) {
        QZMemHeader* header = g_index[slot];
        if (header->arrayFlag != (array ? 1u : 0u)) {
            result = Taken::kOtherForm;
        } else {
            indexErase(slot);
            InterlockedDecrement(&g_listed);
            if (header->previous)
                header->previous->next = header->next;
            else
                g_head = header->next;
            if (header->next)
                header->next->previous = header->previous;
            else
                g_tail = header->previous;
            header->previous = header->next = nullptr;
            releaseIndexIfDone();
            *taken = header;
            result = Taken::kTaken;
        }
    }
    ReleaseSRWLockExclusive(&g_listLock);
    return result;
}

bool listIsEmpty()
{
    AcquireSRWLockShared(&g_listLock);
    const bool empty = g_head == nullptr;
    ReleaseSRWLockShared(&g_listLock);
    return empty;
}

// The file of the module that holds the address (cached by region).
const char* callerModule(void* caller)
{
    const auto address = reinterpret_cast<uintptr_t>(caller);
    if (g_callerModulePath[0] && address >= g_callerBase && address < g_callerBase + g_callerSize)
        return g_callerModulePath;
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(caller, &info, sizeof(info))) {
        g_callerBase = reinterpret_cast<uintptr_t>(info.AllocationBase);
        g_callerSize = reinterpret_cast<uintptr_t>(info.BaseAddress) + info.RegionSize - g_callerBase;
        if (GetModuleFileNameA(static_cast<HMODULE>(info.AllocationBase), g_callerModulePath, MAX_PATH))
            return g_callerModulePath;
    }
    snprintf(g_callerModulePath, MAX_PATH, "%s", g_modulePath);
    return g_callerModulePath;
}

void writeBytes(HANDLE file, const void* data, DWORD size)
{
    DWORD written = 0;
    if (file != INVALID_HANDLE_VALUE)
        WriteFile(file, data, size, &written, nullptr);
}

// To the debugger output and, while it is open, the text log.
void bannerLine(const char* text)
{
    debugOutput(text);
    writeBytes(g_textLog, text, static_cast<DWORD>(strlen(text)));
}

bool openLogs(const char* callerModulePath)
{
    if (g_recordFile != INVALID_HANDLE_VALUE)
        return true;
    char directory[262] = {};
    if (g_logLocation[0])
        snprintf(directory, sizeof(directory), "%s", g_logLocation);
    else if (!GetTempPathA(sizeof(directory) - 1, directory))
        return false;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char name[1024] = {};
    const int length = snprintf(name, sizeof(name), "%s%s_%s_%lu_%d%02d%02d%02d%02d%02d.mlk", directory,
                                baseName(g_processPath), baseName(callerModulePath), GetCurrentProcessId(), now.wYear,
                                now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond);
    if (length <= 0 || static_cast<size_t>(length) + 5 >= sizeof(name))
        return false;
    g_recordFile = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr);
    if (g_recordFile == INVALID_HANDLE_VALUE)
        return false;
    strcat(name, ".log");
    g_textLog = CreateFileA(name, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
    const char banner[] = "\r\n******* Leak Report *******\r\n";
    writeBytes(g_textLog, banner, sizeof(banner) - 1);
    if (g_liveCollector) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Tarvokin\\XPS-Drv", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                            &key, nullptr) == ERROR_SUCCESS) {
            RegSetValueExA(key, "LeakedModule", 0, REG_BINARY, reinterpret_cast<const BYTE*>(name),
                           static_cast<DWORD>(strlen(name)));
            RegCloseKey(key);
        }
        debugOutput("Logging memory leak information to:\r\n");
        debugOutput(name);
        debugOutput("\r\n");
    }
    return true;
}

void closeLogs()
{
    if (g_recordFile != INVALID_HANDLE_VALUE)
        CloseHandle(g_recordFile);
    if (g_textLog != INVALID_HANDLE_VALUE)
        CloseHandle(g_textLog);
    g_recordFile = g_textLog = INVALID_HANDLE_VALUE;
}

bool symbolServerWanted()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProfilerKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    DWORD value = 0;
    DWORD size = sizeof(value);
    const bool wanted = RegQueryValueExA(key, "AppendRQNSymbolServerPath", nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
                        size == sizeof(value) && static_cast<LONG>(value) > 0;
    RegCloseKey(key);
    return wanted;
}

// The symbol session, made on the first record: SymInitialize reads every
// loaded module, which a process without leaks or damage never needs.
CDbgHelp* symbolLookup()
{
    if (g_dbgHelp)
        return g_dbgHelp;
    void* storage = malloc(sizeof(CDbgHelp));
    if (!storage)
        return nullptr;
    g_dbgHelp = new (storage) CDbgHelp();
    if (g_dbgHelp->initialize() && symbolServerWanted())
        g_dbgHelp->appendSearchPath(kSymbolServer);
    return g_dbgHelp;
}

// One line of a block; 64-bit addresses and sizes in full.
void formatLine(char* line, size_t size, const QZMemHeader& header, QZMemCollector::Record type, const char* module)
{
    char function[260] = {}, file[260] = {};
    DWORD lineNumber = 0;
    if (CDbgHelp* symbols = symbolLookup())
        symbols->lookup(header.caller, function, file, &lineNumber);
    const char* name = baseName(module);
    if (type == QZMemCollector::kLeak)
        snprintf(line, size,
                 "MemoryLeak module=\"%s\" id=\"%u\" size=\"%llu\" release=\"%d\" function=\"%s\" file=\"%s\" "
                 "line=\"%lu\" overrun=\"%d\" underrun=\"%d\"\r\n",
                 name, header.id, static_cast<unsigned long long>(header.size), header.released, function, file,
                 lineNumber, header.overrun, header.underrun);
    else
        snprintf(line, size,
                 "%s allocPtr=\"0x%llX\" memHdrPtr=\"0x%llX\" module=\"%s\" id=\"%u\" size=\"%llu\" function=\"%s\" "
                 "file=\"%s\" line=\"%lu\" overrun=\"%d\" underrun=\"%d\"\r\n",
                 type == QZMemCollector::kAccessViolation ? "MemoryAccessViolation" : "MemoryInUse",
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(header.allocation)),
                 static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(&header)), name, header.id,
                 static_cast<unsigned long long>(header.size), function, file, lineNumber, header.overrun,
                 header.underrun);
}

void writeRecord(const QZMemHeader& header, QZMemCollector::Record type)
{
    const char* module = callerModule(header.caller);
    if (!openLogs(module))
        return;
    writeBytes(g_recordFile, &header, sizeof(header));
    char line[1024];
    formatLine(line, sizeof(line), header, type, module);
    writeBytes(g_textLog, line, static_cast<DWORD>(strlen(line)));
    debugOutput(line);
}

bool checkGuards(QZMemHeader& header)
{
    for (size_t i = 0; i < QZMemCollector::kGuardSize; ++i)
        if (header.leadingGuard[i] != QZMemCollector::kGuardByte) {
            header.underrun = 1;
            break;
        }
    for (uint64_t i = 0; header.trailingGuard && i < header.trailingGuardLength; ++i)
        if (header.trailingGuard[i] != QZMemCollector::kGuardByte) {
            header.overrun = 1;
            break;
        }
    if (header.underrun || header.overrun) {
        breakIfDebugged();
        return false;
    }
    return true;
}

// Guard bytes are judged by the block's own mode, whatever the mode is now:
// only blocks made with guards have a trailing one.
bool hasGuards(const QZMemHeader& header)
{
    return header.trailingGuardLength != 0;
}

// The rest of a free, once the block is out of the list.
void freeTaken(QZMemHeader* header)
{
    if (g_teardown) {
        header->released = 1;
        writeRecord(*header, QZMemCollector::kLeak);
        if (listIsEmpty() && g_recordFile != INVALID_HANDLE_VALUE) {
            closeLogs();
            debugOutput("\r\n");
            debugOutput(kFrame);
            debugOutput(" Completed reporting of releases after tear down of QZMemCollector Object ");
            debugOutput(kFrame);
            debugOutput("\r\n");
        }
    }
    if (hasGuards(*header) && !checkGuards(*header))
        writeRecord(*header, QZMemCollector::kAccessViolation);
    QZMemBlock block(header);
    block.freeBlock();
}

} // namespace

QZMemCollector::QZMemCollector()
{
    memset(g_guardPattern, kGuardByte, sizeof(g_guardPattern));
    if (trackingOn()) {
        GetModuleFileNameA(nullptr, g_processPath, sizeof(g_processPath));
        GetModuleFileNameA(ownModule(), g_modulePath, sizeof(g_modulePath));
    }
    g_teardown = false;
    g_liveCollector = this;
}

QZMemCollector::~QZMemCollector()
{
    if (trackingOn()) {
        char line[1024];
        debugOutput("\r\n");
        debugOutput(kFrame);
        debugOutput(" Starting memory allocation tracking reporting ");
        debugOutput(kFrame);
        debugOutput("\r\n");
        if (g_processPath[0] && g_modulePath[0]) {
            snprintf(line, sizeof(line), "Process Name: %s\r\nCurrent Module Name: %s\r\n", g_processPath,
                     g_modulePath);
            debugOutput(line);
        }
        uint64_t leaked = 0;
        AcquireSRWLockShared(&g_listLock);
        for (QZMemHeader* header = g_head; header; header = header->next) {
            writeRecord(*header, kLeak);
            leaked += header->size;
        }
        ReleaseSRWLockShared(&g_listLock);
        snprintf(line, sizeof(line), "Total number of allocations tracked: %ld\n", static_cast<long>(g_counter));
        debugOutput(line);
        if (leaked) {
            snprintf(line, sizeof(line), "Total leaked size: %llu\n", static_cast<unsigned long long>(leaked));
            debugOutput(line);
            bannerLine("\r\n********** Memory was leaked **********\r\n");
        } else {
            bannerLine("\r\n********** Clean System **********\r\n");
        }
        if (listIsEmpty())
            closeLogs();
        if (g_dbgHelp) {
            g_dbgHelp->~CDbgHelp();
            free(g_dbgHelp);
            g_dbgHelp = nullptr;
        }
        debugOutput("\r\n");
        debugOutput(kFrame);
        debugOutput(" Completed memory allocation tracking reporting ");
        debugOutput(kFrame);
        debugOutput("\r\n");
    }
    g_teardown = true;
    AcquireSRWLockExclusive(&g_listLock);
    releaseIndexIfDone();
    ReleaseSRWLockExclusive(&g_listLock);
    if (g_liveCollector == this)
        g_liveCollector = nullptr;
}

void* QZMemCollector::allocate(size_t size, bool array, void* caller)
{
    ensureHooks();
    if (g_tracking)
        return trackedAllocate(size, array, caller);
    // A request of 0 bytes is one of 1: every new answers a block of its own.
    return malloc(size ? size : 1);
}

void QZMemCollector::release(void* data, bool array)
{
    if (!data)
        return;
    ensureHooks();
    // A block goes back the way it came, whatever the hooks are now: the C
    // runtime's free would corrupt the heap of a tracked block, and a block
    // of the plain hooks has nothing in front of it to read.
    QZMemHeader* header = nullptr;
    const Taken taken = takeListed(data, array, &header);
    if (taken == Taken::kTaken)
        freeTaken(header);
    else if (taken == Taken::kNotListed && (!g_tracking || g_plainHooksChosen))
        free(data);
    else
        breakIfDebugged();
}

size_t QZMemCollector::blockSize(void* data)
{
    if (!data)
        return 0;
    ensureHooks();
    if (const QZMemHeader* header = listedHeader(data))
        return static_cast<size_t>(header->size);
    return !g_tracking || g_plainHooksChosen ? _msize(data) : 0;
}

void* QZMemCollector::trackedAllocate(size_t size, bool array, void* caller, uint32_t* id)
{
    if (g_failSize && size >= g_failSize)
        return nullptr;
    // Every request is a block of its own, 0 bytes too.
    const size_t wanted = size ? size : 1;
    void* data = nullptr;
    QZMemHeader* header = nullptr;
    if (g_mode == 2) {
        QZMemBlockVirtualAlloc block;
        data = block.allocateWithCaller(wanted, caller, array, nullptr);
        header = block.getHeader();
    } else {
        QZMemBlock block;
        block.setGuards(g_mode == 3 || g_mode == 4);
        data = block.allocateWithCaller(wanted, caller, array, g_mode == 4 ? nullptr : g_heap);
        header = block.getHeader();
    }
    if (!data) {
        if (!g_reportedFailure) {
            g_reportedFailure = true;
            reportLiveAllocations();
        }
        return nullptr;
    }
    header->size = size;
    // The guard after the data starts where the caller's bytes end.
    if (header->trailingGuard && size == 0) {
        header->trailingGuard = static_cast<uint8_t*>(data);
        header->trailingGuard[0] = kGuardByte;
        header->trailingGuardLength += 1;
    }
    header->id = static_cast<uint32_t>(InterlockedIncrement(&g_counter));
    if (header->id == g_breakId)
        reportLiveAllocations();
    if (!link(header)) {
        QZMemBlock unindexed(header);
        unindexed.freeBlock();
        return nullptr;
    }
    if (id)
        *id = header->id;
    return data;
}

void QZMemCollector::trackedFree(void* data, bool array)
{
    QZMemHeader* header = nullptr;
    if (takeListed(data, array, &header) == Taken::kTaken)
        freeTaken(header);
    else
        breakIfDebugged();
}

void QZMemCollector::forgetHooks()
{
    InitOnceInitialize(&g_hooksOnce);
}

void QZMemCollector::setBreakId(uint32_t id)
{
    g_breakId = id;
}

void QZMemCollector::setMode(DWORD mode)
{
    g_mode = mode;
    g_failSize = 0;
    g_heap = mode == 1 || mode == 3 ? GetProcessHeap() : nullptr;
}

void QZMemCollector::setFailSize(uint64_t size)
{
    g_failSize = size;
}

DWORD QZMemCollector::getMode()
{
    ensureHooks();
    return g_mode == kModeUnread ? 0 : g_mode;
}

bool QZMemCollector::isPageGuardMode()
{
    return getMode() == 2;
}

uint32_t QZMemCollector::getAllocationCount()
{
    return static_cast<uint32_t>(g_counter);
}

bool QZMemCollector::isReleased(uint32_t id)
{
    if (id == 0)
        return true;
    AcquireSRWLockShared(&g_listLock);
    bool live = false;
    for (QZMemHeader* header = g_head; header && !live; header = header->next)
        live = header->id == id;
    ReleaseSRWLockShared(&g_listLock);
    return !live;
}

bool QZMemCollector::hasUnderrun(void* data)
{
    QZMemHeader* header = headerOf(data);
    if (!header)
        return false;
    if (hasGuards(*header))
        checkGuards(*header);
    return header->underrun != 0;
}

bool QZMemCollector::hasOverrun(void* data)
{
    QZMemHeader* header = headerOf(data);
    if (!header)
        return false;
    if (hasGuards(*header))
        checkGuards(*header);
    return header->overrun != 0;
}

bool QZMemCollector::isDamaged(void* data)
{
    return hasUnderrun(data) || hasOverrun(data);
}

const uint8_t* QZMemCollector::guardPattern()
{
    return g_guardPattern;
}

QZMemHeader* QZMemCollector::headerOf(void* data)
{
    return listedHeader(data);
}

void* QZMemCollector::zeroedAlloc(size_t size)
{
    if (size < 1 || size > 0x7FFDEF00)
        return nullptr;
    return calloc(1, size);
}

void QZMemCollector::reportLiveAllocations()
{
    breakIfDebugged();
    uint64_t count = 0, bytes = 0;
    char line[1024];
    AcquireSRWLockShared(&g_listLock);
    const char* module = g_head ? callerModule(g_head->caller) : g_modulePath;
    for (QZMemHeader* header = g_head; header; header = header->next) {
        formatLine(line, sizeof(line), *header, kInUse, module);
        debugOutput(line);
        ++count;
        bytes += header->size;
    }
    ReleaseSRWLockShared(&g_listLock);
    snprintf(line, sizeof(line), "%llu allocations active, consuming %llu bytes\r\n",
             static_cast<unsigned long long>(count), static_cast<unsigned long long>(bytes));
    debugOutput(line);
}
