#include "history/HistoryWriter.h"
#include "tests/support/TestSupport.h"

#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <gtest/gtest.h>

namespace vorn {
namespace {

TEST(HistoryKill, AKilledWriterLeavesASoundFileWithEveryCommittedBatch) {
    const test::WorkDir dir;
    const QString path = dir.file(QStringLiteral("history.sqlite"));
    QProcess writer;
    writer.start(QStringLiteral(VORN_KILL_HELPER), {path});
    ASSERT_TRUE(writer.waitForStarted());
    qulonglong committed = 0;
    const auto readCommitted = [&] {
        for (QByteArray line; writer.canReadLine();)
            if ((line = writer.readLine().trimmed()).startsWith("committed "))
                committed = line.mid(10).toULongLong();
    };
    // Heavy writing for a while: tens of thousands of rows in many batches.
    while (committed < 30'000 && writer.waitForReadyRead(5000))
        readCommitted();
    writer.kill(); // SIGKILL, in the middle of a batch more often than not
    ASSERT_TRUE(writer.waitForFinished(5000));
    readCommitted();
    ASSERT_GE(committed, 30'000u);

    {
        auto db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        QSqlQuery check(db);
        ASSERT_TRUE(db.open() && check.exec("PRAGMA integrity_check") && check.next());
        EXPECT_EQ(check.value(0).toString(), QStringLiteral("ok"));
        ASSERT_TRUE(check.exec(QStringLiteral("SELECT COUNT(*) FROM readings")) && check.next());
        EXPECT_GE(check.value(0).toULongLong(), committed);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("check"));
    // The next writer summarises what the killed one had left open.
    // Its readings ran ahead of the clock, which it would say.
    history::HistoryWriter({.path = path, .report = [](const QString&) {}})
        .waitUntilOpen(std::chrono::seconds{10});
    history::HistoryStore store;
    ASSERT_TRUE(store.open(path, history::OpenMode::ReadOnly).usable());
    const auto span = store.readingSpan();
    ASSERT_TRUE(span);
    history::TimeMs summarisedUntil = 0;
    store.forEachSummary(60'000, span->first, span->second, [&](const history::Summary& s) {
        summarisedUntil = std::max(summarisedUntil, s.last);
    });
    EXPECT_EQ(summarisedUntil, span->second);
}

} // namespace
} // namespace vorn
