// The runtime's text services against hostile input: huge and tiny exponents, megabyte texts,
// NULs, lone surrogates, non-finite numbers, expressions with thousands of sections or digits.
// One table: each row replays an input through one public call and states what it now gets.
#include <TestHelpers.h>
#include <tessera/Runtime.h>

#include <QTest>

#include <cmath>
#include <limits>

using namespace tessera;

namespace {

// What a call gives, as comparable text: numbers with 17 digits, errors as "error N", long texts
// by their size and ends.
QString outcome(const QString &call, const QVariant &value, const QString &expression)
{
    try {
        if (call == QLatin1String("Val"))
            return QString::number(Val(value.toString()), 'g', 17);
        if (call == QLatin1String("CDbl"))
            return QString::number(CDbl(value), 'g', 17);
        if (call == QLatin1String("CBool"))
            return CStr(CBool(value));
        if (call == QLatin1String("IsNumeric"))
            return CStr(IsNumeric(value));
        const QString text = Format(value, expression);
        if (text.size() > 60)
            return QStringLiteral("%1 chars: %2...%3")
                .arg(text.size())
                .arg(text.left(8), text.right(8));
        return text;
    } catch (const Error &e) {
        if (e.description().isEmpty())
            return QStringLiteral("error %1 without a description").arg(e.number());
        return QStringLiteral("error %1").arg(e.number());
    }
}

QString rep(char c, int n)
{
    return QString(n, QLatin1Char(c));
}

} // namespace

class tst_RuntimeRegressions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { setUserLocale(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void hostileInput_data();
    void hostileInput();
};

void tst_RuntimeRegressions::hostileInput_data()
{
    QTest::addColumn<QString>("call");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("expected");

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const QString nul = QString(QChar(0));
    const QString loneHigh = QString(QChar(0xD800));

    // An exponent too long for an int is tiny or huge, never read as 0.
    QTest::newRow("Val tiny 11-digit exponent") << "Val" << QVariant("1e-99999999999") << ""
                                                << "0";
    QTest::newRow("Val tiny negative exponent past int")
        << "Val" << QVariant("-1e-2147483649") << ""
        << "0";
    QTest::newRow("Val huge 11-digit exponent") << "Val" << QVariant("1e+99999999999") << ""
                                                << "inf";
    QTest::newRow("Val huge D exponent") << "Val" << QVariant("-2D999999999999") << ""
                                         << "-inf";
    QTest::newRow("CDbl tiny 11-digit exponent") << "CDbl" << QVariant("1e-99999999999") << ""
                                                 << "0";
    QTest::newRow("IsNumeric tiny 11-digit exponent")
        << "IsNumeric" << QVariant("1e-99999999999") << ""
        << "True";
    QTest::newRow("CBool tiny exponent is False") << "CBool" << QVariant("5E-400") << ""
                                                  << "False";
    QTest::newRow("Format zero mantissa huge exponent")
        << "Format" << QVariant("0e99999999999") << "0.00"
        << "0.00";

    // Megabyte texts.
    QTest::newRow("Val million nines") << "Val" << QVariant(rep('9', 1000000)) << ""
                                       << "inf";
    QTest::newRow("Val million zeros then 1")
        << "Val" << QVariant("0." + rep('0', 1000000) + "1") << ""
        << "0";
    QTest::newRow("Val 400 digits scaled back")
        << "Val" << QVariant("1" + rep('0', 400) + "e-500") << ""
        << "1e-100";
    QTest::newRow("CDbl million blanks then 1") << "CDbl" << QVariant(rep(' ', 1000000) + "1") << ""
                                                << "1";
    QTest::newRow("Val hexadecimal 100 digits") << "Val" << QVariant("&H" + rep('F', 100)) << ""
                                                << "2.5822498780869086e+120";
    QTest::newRow("CDbl hexadecimal 100 digits") << "CDbl" << QVariant("&H" + rep('F', 100)) << ""
                                                 << "error 13";
    QTest::newRow("Format million-digit text") << "Format" << QVariant(rep('9', 1000000)) << "0"
                                               << "1000000 chars: 99999999...99999999";

    // NULs and lone surrogates end the number; the conversions reject them.
    QTest::newRow("Val NUL ends the number") << "Val" << QVariant("12" + nul + "3") << ""
                                             << "12";
    QTest::newRow("CDbl NUL") << "CDbl" << QVariant("1" + nul) << ""
                              << "error 13";
    QTest::newRow("CBool NUL") << "CBool" << QVariant(nul) << ""
                               << "error 13";
    QTest::newRow("Val lone surrogate") << "Val" << QVariant("7" + loneHigh + "1") << ""
                                        << "7";
    QTest::newRow("CDbl lone surrogate") << "CDbl" << QVariant("1" + loneHigh) << ""
                                         << "error 13";
    QTest::newRow("CDbl text infinity") << "CDbl" << QVariant("Infinity") << ""
                                        << "error 13";
    QTest::newRow("CDbl text nan") << "CDbl" << QVariant("nan") << ""
                                   << "error 13";
    QTest::newRow("CDbl double minus") << "CDbl" << QVariant("--1") << ""
                                       << "error 13";
    QTest::newRow("Format text with NUL unchanged")
        << "Format" << QVariant("a" + nul + "b") << "0.00" << QString("a" + nul + "b");

    // Non-finite and extreme numbers.
    QTest::newRow("Format NaN") << "Format" << QVariant(nan) << "0.00"
                                << "NaN";
    QTest::newRow("Format infinity in a date expression")
        << "Format" << QVariant(inf) << "yyyy-mm-dd"
        << "Infinity";
    QTest::newRow("Format -infinity") << "Format" << QVariant(-inf) << "#,##0"
                                      << "-Infinity";
    QTest::newRow("Format max Double grouped") << "Format" << QVariant(1e308) << "#,##0"
                                               << "411 chars: 100,000,...,000,000";
    QTest::newRow("Format denormal scientific") << "Format" << QVariant(4.9e-324) << "0.00E+00"
                                                << "4.94E-324";
    QTest::newRow("Format serial beyond the date range")
        << "Format" << QVariant(1e300) << "dd/mm/yyyy"
        << "1E+300";
    QTest::newRow("Format lowest 64-bit")
        << "Format" << QVariant(std::numeric_limits<qint64>::min()) << "#,##0"
        << "-9,223,372,036,854,775,808";
    QTest::newRow("Format highest unsigned 64-bit")
        << "Format" << QVariant(std::numeric_limits<quint64>::max()) << "#,##0"
        << "18,446,744,073,709,551,615";

    // Expressions of absurd size or shape.
    QTest::newRow("Format 100,000 digit placeholders")
        << "Format" << QVariant(1.0) << rep('0', 100000) << "100000 chars: 00000000...00000001";
    QTest::newRow("Format 100,000 decimals") << "Format" << QVariant(1.5) << "0." + rep('0', 100000)
                                             << "100002 chars: 1.500000...00000000";
    QTest::newRow("Format 10,000 sections, positive")
        << "Format" << QVariant(1.0) << rep(';', 10000) << "1";
    QTest::newRow("Format 10,000 sections, negative")
        << "Format" << QVariant(-1.0) << rep(';', 10000) << "-1";
    QTest::newRow("Format 400 percent signs")
        << "Format" << QVariant(1.0) << rep('%', 400) << "400 chars: %%%%%%%%...%%%%%%%%";
    QTest::newRow("Format trailing backslash") << "Format" << QVariant(1.0) << "0\\"
                                               << "1";
    QTest::newRow("Format 100,000 text placeholders")
        << "Format" << QVariant("ab") << rep('@', 100000) << "100000 chars:         ...      ab";
    QTest::newRow("Format text ending in a lone surrogate")
        << "Format" << QVariant("a" + loneHigh) << "@@@" << QString(" a" + loneHigh);
    QTest::newRow("Format lone surrogate literal")
        << "Format" << QVariant(1.0) << loneHigh + "0" << QString(loneHigh + "1");
}

void tst_RuntimeRegressions::hostileInput()
{
    QFETCH(QString, call);
    QFETCH(QVariant, value);
    QFETCH(QString, expression);
    QFETCH(QString, expected);
    QCOMPARE(outcome(call, value, expression), expected);
}

QTEST_MAIN(tst_RuntimeRegressions)
#include "tst_runtime_regressions.moc"
