#pragma once

#include <cstdint>

namespace vorn::bench {

// What SQLite handed to the operating system since the shim was installed:
// bytes written to the database and its WAL, and the syncs asked for.
struct DiskWrites {
    std::uint64_t bytes = 0;
    std::uint64_t logBytes = 0; // of which to the write-ahead log
    std::uint64_t writes = 0;
    std::uint64_t syncs = 0;
};

// Puts a counting shim in front of SQLite's default file system, for every
// connection opened afterwards in this process (Qt's driver included, since
// it uses the same SQLite library). Installed once; later calls do nothing.
void installCountingVfs();
DiskWrites diskWrites();

} // namespace vorn::bench
