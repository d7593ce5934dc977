// Helpers shared by the test executables.
#pragma once

#include <tessera/Error.h>

#include <QString>
#include <QTest>

// Fails the test unless `expr` throws tessera::Error with the given number.
#define QVERIFY_TESSERA_ERROR(expr, expectedNumber)                                                \
    do {                                                                                           \
        bool thrown_ = false;                                                                      \
        try {                                                                                      \
            expr;                                                                                  \
        } catch (const tessera::Error &e_) {                                                       \
            thrown_ = true;                                                                        \
            QCOMPARE(e_.number(), int(expectedNumber));                                            \
            QVERIFY2(!e_.description().isEmpty(), "error without a description");                  \
        }                                                                                          \
        QVERIFY2(thrown_, "expected tessera::Error from: " #expr);                                 \
    } while (false)

namespace tessera::test {

// Path of a file under tests/fixtures.
inline QString fixturePath(const QString &relative)
{
    return QStringLiteral(TESSERA_FIXTURES_DIR "/") + relative;
}

} // namespace tessera::test

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
