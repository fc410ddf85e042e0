#pragma once

#include <memory>
#include <sqlite3.h>

namespace vorn::history {

// Owners of SQLite's handles. close_v2 lets a connection go even while a
// statement of it is still alive; the connection ends with its last one.
struct CloseConnection {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
struct FinalizeStatement {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Connection = std::unique_ptr<sqlite3, CloseConnection>;
using Statement = std::unique_ptr<sqlite3_stmt, FinalizeStatement>;

} // namespace vorn::history
