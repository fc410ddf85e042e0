#include "CountingVfs.h"

#include <atomic>
#include <sqlite3.h>

namespace vorn::bench {

namespace {

std::atomic<std::uint64_t> bytesWritten{0};
std::atomic<std::uint64_t> logBytesWritten{0};
std::atomic<std::uint64_t> writeCalls{0};
std::atomic<std::uint64_t> syncCalls{0};

sqlite3_vfs* realVfs = nullptr;

// Our file: SQLite's own file object follows it in the same allocation.
struct CountingFile {
    sqlite3_file base;
    sqlite3_file* real;
    bool log;
};

sqlite3_file* real(sqlite3_file* file) {
    return reinterpret_cast<CountingFile*>(file)->real;
}

int xClose(sqlite3_file* f) {
    return real(f)->pMethods ? real(f)->pMethods->xClose(real(f)) : SQLITE_OK;
}
int xRead(sqlite3_file* f, void* out, int n, sqlite3_int64 at) {
    return real(f)->pMethods->xRead(real(f), out, n, at);
}
int xWrite(sqlite3_file* f, const void* in, int n, sqlite3_int64 at) {
    bytesWritten += static_cast<std::uint64_t>(n);
    if (reinterpret_cast<CountingFile*>(f)->log)
        logBytesWritten += static_cast<std::uint64_t>(n);
    ++writeCalls;
    return real(f)->pMethods->xWrite(real(f), in, n, at);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 size) {
    return real(f)->pMethods->xTruncate(real(f), size);
}
int xSync(sqlite3_file* f, int flags) {
    ++syncCalls;
    return real(f)->pMethods->xSync(real(f), flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* size) {
    return real(f)->pMethods->xFileSize(real(f), size);
}
int xLock(sqlite3_file* f, int level) {
    return real(f)->pMethods->xLock(real(f), level);
}
int xUnlock(sqlite3_file* f, int level) {
    return real(f)->pMethods->xUnlock(real(f), level);
}
int xCheckReservedLock(sqlite3_file* f, int* out) {
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int xFileControl(sqlite3_file* f, int op, void* arg) {
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int xSectorSize(sqlite3_file* f) {
    return real(f)->pMethods->xSectorSize(real(f));
}
int xDeviceCharacteristics(sqlite3_file* f) {
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}
int xShmMap(sqlite3_file* f, int page, int size, int extend, void volatile** out) {
    return real(f)->pMethods->xShmMap(real(f), page, size, extend, out);
}
int xShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void xShmBarrier(sqlite3_file* f) {
    real(f)->pMethods->xShmBarrier(real(f));
}
int xShmUnmap(sqlite3_file* f, int remove) {
    return real(f)->pMethods->xShmUnmap(real(f), remove);
}

// Version 2: the WAL's shared memory, but no memory-mapped reads, so every
// page goes through xRead and xWrite.
const sqlite3_io_methods kMethods{2,
                                  xClose,
                                  xRead,
                                  xWrite,
                                  xTruncate,
                                  xSync,
                                  xFileSize,
                                  xLock,
                                  xUnlock,
                                  xCheckReservedLock,
                                  xFileControl,
                                  xSectorSize,
                                  xDeviceCharacteristics,
                                  xShmMap,
                                  xShmLock,
                                  xShmBarrier,
                                  xShmUnmap,
                                  nullptr,
                                  nullptr};

int xOpen(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* outFlags) {
    auto* ours = reinterpret_cast<CountingFile*>(file);
    ours->real = reinterpret_cast<sqlite3_file*>(ours + 1);
    ours->base.pMethods = nullptr;
    ours->log = (flags & SQLITE_OPEN_WAL) != 0;
    const int rc = realVfs->xOpen(realVfs, name, ours->real, flags, outFlags);
    if (ours->real->pMethods)
        ours->base.pMethods = &kMethods;
    return rc;
}

int xDelete(sqlite3_vfs*, const char* name, int syncDir) {
    return realVfs->xDelete(realVfs, name, syncDir);
}
int xAccess(sqlite3_vfs*, const char* name, int flags, int* out) {
    return realVfs->xAccess(realVfs, name, flags, out);
}
int xFullPathname(sqlite3_vfs*, const char* name, int n, char* out) {
    return realVfs->xFullPathname(realVfs, name, n, out);
}
int xRandomness(sqlite3_vfs*, int n, char* out) {
    return realVfs->xRandomness(realVfs, n, out);
}
int xSleep(sqlite3_vfs*, int us) {
    return realVfs->xSleep(realVfs, us);
}
int xCurrentTime(sqlite3_vfs*, double* out) {
    return realVfs->xCurrentTime(realVfs, out);
}
int xGetLastError(sqlite3_vfs*, int n, char* out) {
    return realVfs->xGetLastError(realVfs, n, out);
}
int xCurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
    return realVfs->xCurrentTimeInt64(realVfs, out);
}

sqlite3_vfs countingVfs{};

} // namespace

void installCountingVfs() {
    if (realVfs)
        return;
    realVfs = sqlite3_vfs_find(nullptr);
    countingVfs = sqlite3_vfs{2,
                              static_cast<int>(sizeof(CountingFile)) + realVfs->szOsFile,
                              realVfs->mxPathname,
                              nullptr,
                              "counting",
                              nullptr,
                              xOpen,
                              xDelete,
                              xAccess,
                              xFullPathname,
                              nullptr,
                              nullptr,
                              nullptr,
                              nullptr,
                              xRandomness,
                              xSleep,
                              xCurrentTime,
                              xGetLastError,
                              xCurrentTimeInt64,
                              nullptr,
                              nullptr,
                              nullptr};
    sqlite3_vfs_register(&countingVfs, 1);
}

DiskWrites diskWrites() {
    return {bytesWritten.load(), logBytesWritten.load(), writeCalls.load(), syncCalls.load()};
}

} // namespace vorn::bench
