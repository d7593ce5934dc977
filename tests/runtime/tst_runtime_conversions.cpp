// Val, IsNumeric/CDbl, CBool/CStr, CompareVariants and TypeName, in en_US and it_IT.
#include "TestHelpers.h"

#include <tessera/Runtime.h>

#include <QObject>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <limits>

namespace {

QLocale localeNamed(const QString &name)
{
    return name == QLatin1String("it") ? QLocale(QLocale::Italian, QLocale::Italy)
                                       : QLocale(QLocale::English, QLocale::UnitedStates);
}

} // namespace

class tst_Conversions : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { tessera::setUserLocale(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void val_data();
    void val();
    void valLimits_data();
    void valLimits();
    void numeric_data();
    void numeric();
    void numericValues_data();
    void numericValues();
    void cbool_data();
    void cbool();
    void cstr_data();
    void cstr();
    void compare_data();
    void compare();
    void typeName_data();
    void typeName();
    void dateSerials();
};

void tst_Conversions::val_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");

    auto row = [](const char *name, const char *text, double v) {
        QTest::newRow(name) << QString::fromLatin1(text) << v;
    };
    row("blanks inside digits", " 1615 198th Street N.E.", 1615198);
    row("stops at a word", "24 and 57", 24);
    row("octal", "&O17", 15);
    row("hex small", "&H1F", 31);
    row("hex lower case", "&hff", 255);
    row("hex 16-bit wraps", "&HFFFF", -1);
    row("hex 16-bit lowest", "&H8000", -32768);
    row("hex 32-bit", "&H10000", 65536);
    row("hex 32-bit wraps", "&HFFFFFFFF", -1);
    row("hex 32-bit lowest", "&H80000000", -2147483648.0);
    row("octal 16-bit wraps", "&O177777", -1);
    row("hex stops at non-digit", "&H1G", 1);
    row("hex without digits", "&H", 0);
    row("ampersand alone", "&", 0);
    row("ampersand other letter", "&X12", 0);
    row("octal rejects 8", "&O8", 0);
    row("decimal point", "3.25 kg", 3.25);
    row("only dot is decimal", "3,25", 3);
    row("second point stops", "1.2.3", 1.2);
    row("leading point", ".5", 0.5);
    row("trailing point", "7.", 7);
    row("negative", "-12.5", -12.5);
    row("positive sign", "+4", 4);
    row("sign alone", "-", 0);
    row("sign then blank then digits", "- 3", -3);
    row("exponent E", "1.5E3", 1500);
    row("exponent D", "2D2", 200);
    row("exponent lower d", "2d-2", 0.02);
    row("exponent without digits", "3E", 3);
    row("exponent sign without digits", "3E+x", 3);
    row("tabs and line feeds", "\t1\n2\t3", 123);
    row("carriage return stops", "1\r2", 1);
    row("empty", "", 0);
    row("only blanks", "   ", 0);
    row("letters first", "abc12", 0);
    row("tiny underflows to zero", "1e-400", 0);
    row("many digits", "123456789012345678901234567890", 1.2345678901234568e29);
}

void tst_Conversions::val()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    // The decimal point never follows the locale.
    tessera::setUserLocale(localeNamed(QStringLiteral("it")));
    QCOMPARE(tessera::Val(text), expected);
    tessera::setUserLocale(localeNamed(QStringLiteral("en")));
    QCOMPARE(tessera::Val(text), expected);
}

// Beyond the usual ranges Val keeps what it can instead of failing.
void tst_Conversions::valLimits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("expected");
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("decimal exponent") << QStringLiteral("1e400") << inf;
    QTest::newRow("negative decimal exponent") << QStringLiteral("-1e400") << -inf;
    QTest::newRow("hex beyond 32 bits") << QStringLiteral("&H100000000") << 4294967296.0;
    QTest::newRow("octal beyond 32 bits") << QStringLiteral("&O77777777777") << 8589934591.0;
}

void tst_Conversions::valLimits()
{
    QFETCH(QString, text);
    QFETCH(double, expected);
    QCOMPARE(tessera::Val(text), expected);
}

// Locale-aware numeric test and conversion of texts: IsNumeric and CDbl must agree.
void tst_Conversions::numeric_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<double>("value");

    auto yes = [](const char *name, const char *loc, const char *text, double v) {
        QTest::newRow(name) << QString::fromLatin1(loc) << QString::fromUtf8(text) << true << v;
    };
    auto no = [](const char *name, const char *loc, const char *text) {
        QTest::newRow(name) << QString::fromLatin1(loc) << QString::fromUtf8(text) << false << 0.0;
    };
    yes("plain", "en", "42", 42);
    yes("decimal", "en", "3.5", 3.5);
    yes("grouped", "en", "1,234.5", 1234.5);
    yes("blanks around", "en", "  7 \t", 7);
    yes("leading minus", "en", "-2.5", -2.5);
    yes("trailing minus", "en", "2.5-", -2.5);
    yes("leading plus", "en", "+2", 2);
    yes("currency", "en", "$1,000.25", 1000.25);
    yes("currency after sign", "en", "-$5", -5);
    yes("sign after currency", "en", "$-5", -5);
    yes("currency at end", "en", "5$", 5);
    yes("parentheses", "en", "($5)", -5);
    yes("exponent", "en", "1.5E3", 1500);
    yes("exponent D", "en", "1D2", 100);
    yes("leading point", "en", ".5", 0.5);
    yes("trailing point", "en", "5.", 5);
    yes("hex", "en", "&HFF", 255);
    yes("hex wraps", "en", "&HFFFF", -1);
    yes("octal", "en", "&O10", 8);
    yes("it grouped", "it", "1.234,5", 1234.5);
    yes("it decimal", "it", "3,25", 3.25);
    yes("it dot is grouping", "it", "3.5", 35);
    yes("it euro", "it", "€ 12,50", 12.5);
    yes("it euro after", "it", "12,50 €", 12.5);
    no("empty", "en", "");
    no("blank", "en", "   ");
    no("word", "en", "abc");
    no("digits then word", "en", "12abc");
    no("two points", "en", "1.2.3");
    no("point alone", "en", ".");
    no("sign alone", "en", "-");
    no("two signs", "en", "--5");
    no("sign both ends", "en", "-5-");
    no("open parenthesis", "en", "(5");
    no("close parenthesis", "en", "5)");
    no("parenthesis and sign", "en", "(-5)");
    no("group before digits", "en", ",5");
    no("group after point", "en", "1.2,3");
    no("exponent without digits", "en", "1E");
    no("overflow", "en", "1E400");
    no("hex with junk", "en", "&HFZ");
    no("hex too long", "en", "&H100000000");
    no("foreign currency", "en", "€5");
    no("it comma twice", "it", "1,2,3");
    no("it dollar", "it", "$5");
}

void tst_Conversions::numeric()
{
    QFETCH(QString, locale);
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QFETCH(double, value);
    tessera::setUserLocale(localeNamed(locale));
    QCOMPARE(tessera::IsNumeric(text), numeric);
    if (numeric)
        QCOMPARE(tessera::CDbl(text), value);
    else
        QVERIFY_TESSERA_ERROR(tessera::CDbl(text), tessera::errTypeMismatch);
}

// Values that are not texts.
void tst_Conversions::numericValues_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<double>("number"); // CDbl; NaN when it raises Error 13

    const double error = std::nan("");
    QTest::newRow("int") << QVariant(7) << true << 7.0;
    QTest::newRow("double") << QVariant(-0.25) << true << -0.25;
    QTest::newRow("int64") << QVariant(qlonglong(1) << 40) << true << 1099511627776.0;
    QTest::newRow("true") << QVariant(true) << true << -1.0;
    QTest::newRow("false") << QVariant(false) << true << 0.0;
    QTest::newRow("empty") << QVariant() << false << error;
    QTest::newRow("null") << tessera::Null() << false << error;
    QTest::newRow("date") << QVariant(QDate(1900, 1, 1)) << false << 2.0;
    QTest::newRow("list") << QVariant(QStringList { QStringLiteral("1") }) << false << error;
}

void tst_Conversions::numericValues()
{
    QFETCH(QVariant, value);
    QFETCH(bool, numeric);
    QFETCH(double, number);
    QCOMPARE(tessera::IsNumeric(value), numeric);
    if (std::isnan(number))
        QVERIFY_TESSERA_ERROR(tessera::CDbl(value), tessera::errTypeMismatch);
    else
        QCOMPARE(tessera::CDbl(value), number);
}

void tst_Conversions::cbool_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("expected"); // 1 true, 0 false, -1 Error 13

    auto row = [](const char *name, const char *loc, QVariant v, int e) {
        QTest::newRow(name) << QString::fromLatin1(loc) << v << e;
    };
    row("true text", "en", QStringLiteral("True"), 1);
    row("any case", "en", QStringLiteral("tRUE"), 1);
    row("false text", "en", QStringLiteral("FALSE"), 0);
    row("blanks around", "en", QStringLiteral(" false "), 0);
    row("numeric text", "en", QStringLiteral("-1"), 1);
    row("zero text", "en", QStringLiteral("0"), 0);
    row("decimal text", "en", QStringLiteral("0.5"), 1);
    row("it decimal text", "it", QStringLiteral("0,0"), 0);
    row("number", "en", 2, 1);
    row("zero", "en", 0.0, 0);
    row("boolean", "en", true, 1);
    row("word", "en", QStringLiteral("yes"), -1);
    row("empty text", "en", QString(), -1);
    row("empty", "en", QVariant(), -1);
    row("null", "en", tessera::Null(), -1);
    row("it word for true", "it", QStringLiteral("Vero"), -1);
}

void tst_Conversions::cbool()
{
    QFETCH(QString, locale);
    QFETCH(QVariant, value);
    QFETCH(int, expected);
    tessera::setUserLocale(localeNamed(locale));
    if (expected < 0)
        QVERIFY_TESSERA_ERROR(tessera::CBool(value), tessera::errTypeMismatch);
    else
        QCOMPARE(tessera::CBool(value), expected == 1);
}

void tst_Conversions::cstr_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");

    auto row = [](const char *name, const char *loc, QVariant v, const char *e) {
        QTest::newRow(name) << QString::fromLatin1(loc) << v << QString::fromUtf8(e);
    };
    row("true", "en", true, "True");
    row("false", "it", false, "False");
    row("integer", "en", -42, "-42");
    row("decimal", "en", 1234.5, "1234.5");
    row("decimal it", "it", 1234.5, "1234,5");
    row("fifteen digits", "en", 1.0 / 3.0, "0.333333333333333");
    row("sum noise hidden", "en", 0.1 + 0.2, "0.3");
    row("large plain", "en", 123456789012345.0, "123456789012345");
    row("exponent from 1E+15", "en", 1e15, "1E+15");
    row("exponent with digits", "it", 1.5e20, "1,5E+20");
    row("small plain", "en", 0.0001, "0.0001");
    row("small exponent", "en", 0.00001, "1E-05");
    row("negative small exponent", "en", -1.25e-7, "-1.25E-07");
    row("zero", "en", 0.0, "0");
    row("single has 7 digits", "en", 1.0f / 3.0f, "0.3333333");
    row("text", "en", QStringLiteral("as is"), "as is");
    row("empty", "en", QVariant(), "");
    row("null", "en", tessera::Null(), "");
    row("date", "en", QDate(2024, 3, 5), "3/5/2024");
    row("date it", "it", QDate(2024, 3, 5), "05/03/2024");
}

void tst_Conversions::cstr()
{
    QFETCH(QString, locale);
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    tessera::setUserLocale(localeNamed(locale));
    QCOMPARE(tessera::CStr(value), expected);
    if (value.typeId() == QMetaType::Bool)
        QCOMPARE(tessera::CStr(value.toBool()), expected);
}

void tst_Conversions::compare_data()
{
    QTest::addColumn<QVariant>("a");
    QTest::addColumn<QVariant>("b");
    QTest::addColumn<int>("expected");

    auto row = [](const char *name, QVariant a, QVariant b, int e) {
        QTest::newRow(name) << a << b << e;
    };
    row("numbers", 2, 10, -1);
    row("mixed number types", 2.5, 2, 1);
    row("equal numbers", 3, 3.0, 0);
    row("large integers exact", qlonglong(9007199254740993LL), qlonglong(9007199254740992LL), 1);
    row("texts are binary", QStringLiteral("10"), QStringLiteral("9"), -1);
    row("case matters", QStringLiteral("B"), QStringLiteral("a"), -1);
    row("equal texts", QStringLiteral("x"), QStringLiteral("x"), 0);
    row("number vs numeric text", 10, QStringLiteral("9"), 1);
    row("number before other text", 1000, QStringLiteral("abc"), -1);
    row("boolean is -1", true, 0, -1);
    row("dates by value", QDate(2024, 1, 2), QDate(2023, 12, 31), 1);
    row("empty is zero", QVariant(), -1, 1);
    row("empty is empty text", QVariant(), QStringLiteral("a"), -1);
    row("empty equals zero", 0, QVariant(), 0);
    row("null first", tessera::Null(), -1e300, -1);
    row("null equal", tessera::Null(), tessera::Null(), 0);
    row("nan first", std::nan(""), -1e300, -1);
}

void tst_Conversions::compare()
{
    QFETCH(QVariant, a);
    QFETCH(QVariant, b);
    QFETCH(int, expected);
    auto sign = [](int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); };
    QCOMPARE(sign(tessera::CompareVariants(a, b)), expected);
    QCOMPARE(sign(tessera::CompareVariants(b, a)), -expected);
}

void tst_Conversions::typeName_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expected");

    static QObject object;
    QTest::newRow("empty") << QVariant() << QStringLiteral("Empty");
    QTest::newRow("null") << tessera::Null() << QStringLiteral("Null");
    QTest::newRow("boolean") << QVariant(true) << QStringLiteral("Boolean");
    QTest::newRow("integer") << QVariant::fromValue(qint16(3)) << QStringLiteral("Integer");
    QTest::newRow("long") << QVariant(qint32(3)) << QStringLiteral("Long");
    QTest::newRow("single") << QVariant(1.5f) << QStringLiteral("Single");
    QTest::newRow("double") << QVariant(1.5) << QStringLiteral("Double");
    QTest::newRow("string") << QVariant(QStringLiteral("x")) << QStringLiteral("String");
    QTest::newRow("empty string") << QVariant(QString()) << QStringLiteral("String");
    QTest::newRow("date") << QVariant(QDate(2024, 1, 1)) << QStringLiteral("Date");
    QTest::newRow("object") << QVariant::fromValue(&object) << QStringLiteral("Object");
    QTest::newRow("no object") << QVariant::fromValue<QObject *>(nullptr)
                               << QStringLiteral("Nothing");
    static QTimer timer;
    QTest::newRow("Qt class") << QVariant::fromValue(&timer) << QStringLiteral("Timer");
    QTest::newRow("no Qt object") << QVariant::fromValue<QTimer *>(nullptr)
                                  << QStringLiteral("Nothing");
}

void tst_Conversions::typeName()
{
    QFETCH(QVariant, value);
    QFETCH(QString, expected);
    QCOMPARE(tessera::TypeName(value), expected);
}

// Date serials round-trip, including before the epoch where the time counts backwards.
void tst_Conversions::dateSerials()
{
    const struct {
        QDateTime dt;
        double serial;
    } cases[] = {
        { QDateTime(QDate(1899, 12, 30), QTime(0, 0)), 0.0 },
        { QDateTime(QDate(1900, 1, 1), QTime(18, 0)), 2.75 },
        { QDateTime(QDate(2024, 3, 5), QTime(12, 0)), 45356.5 },
        { QDateTime(QDate(1899, 12, 29), QTime(6, 0)), -1.25 },
    };
    for (const auto &c : cases) {
        QCOMPARE(tessera::DateToSerial(c.dt), c.serial);
        QCOMPARE(tessera::SerialToDate(c.serial), c.dt);
    }
    QVERIFY_TESSERA_ERROR(tessera::SerialToDate(1e300), tessera::errOverflow);
}

QTEST_GUILESS_MAIN(tst_Conversions)
#include "tst_runtime_conversions.moc"
