// Helpers for the tests that use the throwaway PostgreSQL server (tests/postgres/with-postgres.sh).
#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QTest>
#include <QUrl>

// The URL of the throwaway PostgreSQL server that `make test` starts (TESSERA_PG_URL). Without
// one the calling test skips, saying so; under CI (CI=true) that is a failure.
#define TESSERA_POSTGRES_URL(url)                                                                  \
    const QString url = qEnvironmentVariable("TESSERA_PG_URL");                                    \
    do {                                                                                           \
        if (url.isEmpty()) {                                                                       \
            if (qEnvironmentVariable("CI") == QLatin1String("true"))                               \
                QFAIL("TESSERA_PG_URL is not set: no PostgreSQL server to test against under "     \
                      "CI (run the tests through tests/postgres/with-postgres.sh)");               \
            QSKIP("TESSERA_PG_URL is not set: no PostgreSQL server (run through "                  \
                  "tests/postgres/with-postgres.sh, as make test does)");                          \
        }                                                                                          \
    } while (false)

namespace tessera::test {

// A Qt SQL connection of the test's own to the server of a postgresql:// URL.
inline QSqlDatabase openPostgres(const QString &name, const QString &url)
{
    const QUrl u(url);
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(u.host());
    db.setPort(u.port());
    db.setDatabaseName(u.path().mid(1));
    db.setUserName(u.userName(QUrl::FullyDecoded));
    db.setPassword(u.password(QUrl::FullyDecoded));
    if (!db.open())
        qWarning("PostgreSQL: %s", qPrintable(db.lastError().text()));
    return db;
}

} // namespace tessera::test
