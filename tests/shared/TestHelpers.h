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
