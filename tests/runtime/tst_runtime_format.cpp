// Format expressions: placeholders, sections, scaling, exponents, literals, text formats, named
// formats and dates, in en_US and it_IT.
#include <tessera/Runtime.h>

#include <QRandomGenerator>
#include <QTest>

#include <cmath>
#include <limits>

using tessera::Format;

namespace {

QLocale localeNamed(const QString &name)
{
    return name == QLatin1String("it") ? QLocale(QLocale::Italian, QLocale::Italy)
                                       : QLocale(QLocale::English, QLocale::UnitedStates);
}

// Every table: the locale, the value, the expression and the text it must give.
void addColumns()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("expression");
    QTest::addColumn<QString>("expected");
}

void row(const char *name, const char *loc, const QVariant &value, const char *fmt, const char *exp)
{
    QTest::newRow(name) << QString::fromLatin1(loc) << value << QString::fromUtf8(fmt)
                        << QString::fromUtf8(exp);
}

void compareFormat()
{
    QFETCH(QString, locale);
    QFETCH(QVariant, value);
    QFETCH(QString, expression);
    QFETCH(QString, expected);
    tessera::setUserLocale(localeNamed(locale));
    QCOMPARE(Format(value, expression), expected);
}

} // namespace

class tst_Format : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { tessera::setUserLocale(QLocale(QLocale::English, QLocale::UnitedStates)); }

    void numbers_data();
    void numbers();
    void sections_data();
    void sections();
    void exponents_data();
    void exponents();
    void literals_data();
    void literals();
    void texts_data();
    void texts();
    void named_data();
    void named();
    void valueKinds_data();
    void valueKinds();
    void dates_data();
    void dates();
    void hostileInput_data();
    void hostileInput();
    void cachedExpressionFollowsLocale();
    void fifteenDigitsMatchPrintf();
    void randomExpressionsTreatNumericTextAsNumber();
};

// Digit placeholders, decimal point, grouping, scaling commas, percent and rounding.
void tst_Format::numbers_data()
{
    addColumns();
    row("grouped two decimals", "en", 5459.4, "##,##0.00", "5,459.40");
    row("plain two decimals", "en", 334.9, "###0.00", "334.90");
    row("percent", "en", 5, "0.00%", "500.00%");
    row("binary 0.125", "en", 0.125, "0.00", "0.13");
    row("binary 2.675", "en", 2.675, "0.00", "2.68");
    row("sum noise hidden", "en", 0.1 + 0.2, "0.0000000000", "0.3000000000");
    row("half is not rounded to even", "en", 2.5, "0", "3");
    row("negative half away from zero", "en", -2.5, "0", "-3");
    row("exact tie in the 15th digit", "en", 755091534823234.5, "0", "755091534823235");
    row("carry into new digit", "en", 999.995, "#,##0.00", "1,000.00");
    row("carry from 9.5", "en", 9.5, "0", "10");
    row("below half stays", "en", 0.4999, "0", "0");
    row("integers exact", "en", qlonglong(9007199254740993LL), "0", "9007199254740993");
    row("hash hides leading zero", "en", 0.5, "#.##", ".5");
    row("hash keeps point", "en", 5, "#.##", "5.");
    row("hash drops trailing zeros", "en", 1.5, "0.0#", "1.5");
    row("hash keeps inner zero", "en", 1.05, "0.##", "1.05");
    row("zero with hashes only", "en", 0, "#", "");
    row("zero placeholders pad", "en", 5, "000", "005");
    row("zero pads with grouping", "en", 5, "0,000", "0,005");
    row("hash inside zeros", "en", 5, "0#0", "005");
    row("more digits than placeholders", "en", 123456, "0", "123456");
    row("excess digits grouped", "en", 123456789, "#,#", "123,456,789");
    row("no integer placeholder", "en", 12.5, ".00", "12.50");
    row("scale by thousand", "en", 1234567, "#,", "1235");
    row("scale by million", "en", 1234567890, "#,##0,,", "1,235");
    row("scale before point", "en", 1234567, "0,.00", "1234.57");
    row("scaling rounds half up", "en", 1500, "0,", "2");
    row("percent rounding", "en", 0.12345, "0.0%", "12.3%");
    row("percent exact scaling", "en", 0.0115, "0.0%", "1.2%");
    row("percent mid text", "en", 0.5, "0 % done", "50 % done");
    row("comma after point ignored", "en", 1.5, "0.0,0", "1.50");
    row("huge value grouped", "en", 1e20, "#,##0", "100,000,000,000,000,000,000");
    row("tiny value rounds away", "en", 1e-20, "0.00", "0.00");
    row("tiny negative drops sign", "en", -1e-20, "0.00", "0.00");
    row("it two decimals", "it", 3, "0.00", "3,00");
    row("it grouping", "it", 5459.4, "##,##0.00", "5.459,40");
    row("it percent", "it", 0.256, "0.0%", "25,6%");
    row("it scale", "it", 1234567, "#,##0,", "1.235");
}

void tst_Format::numbers()
{
    compareFormat();
}

// Which section a value takes, and its sign.
void tst_Format::sections_data()
{
    addColumns();
    row("one section negative", "en", -5, "0.00", "-5.00");
    row("one section sign before literals", "en", -5, "$#,##0", "-$5");
    row("two sections negative", "en", -5, "$#,##0;($#,##0)", "($5)");
    row("two sections positive", "en", 5, "$#,##0;($#,##0)", "$5");
    row("two sections zero uses first", "en", 0, "0.0;(0.0)", "0.0");
    row("second section has no sign", "en", -1234.5, "#,##0.00;#,##0.00 CR", "1,234.50 CR");
    row("three sections zero", "en", 0, "0;(0);\\z\\e\\r\\o", "zero");
    row("three sections negative", "en", -7, "0;(0);\\z\\e\\r\\o", "(7)");
    row("empty negative section", "en", -5, "0.0;;\\z", "-5.0");
    row("empty zero section", "en", 0, "0.0;(0.0);", "0.0");
    row("four sections null", "en", tessera::Null(), "0;(0);\\z;\"none\"", "none");
    row("four sections empty value", "en", QVariant(), "0;(0);\\z;\"none\"", "none");
    row("null without fourth", "en", tessera::Null(), "0.00", "");
    row("negative rounding to zero, one section", "en", -0.004, "0.00", "0.00");
    row("negative rounding to zero, two sections", "en", -0.004, "0.00;(0.00)", "(0.00)");
    row("literal-only negative section", "en", -3, "0;\"negative\"", "negative");
    row("literal-only single section", "en", -3, "\"n/a\"", "-n/a");
    row("word in a number's negative section", "en", -3, "0;minus", "minus");
    row("date tokens in a later section stay text", "en", 0, "0;(0);none", "none");
    row("fifth section ignored", "en", -1, "0;(0);z;n;extra", "(1)");
    row("empty positive section", "en", 12.5, ";(0)", "12.5");
}

void tst_Format::sections()
{
    compareFormat();
}

// Exponent formats: mantissa width, exponent digits and sign, markers without digits, carries.
void tst_Format::exponents_data()
{
    addColumns();
    row("one integer digit", "en", 334.9, "0.00E+00", "3.35E+02");
    row("two integer digits", "en", 334.9, "#0.00E+00", "33.49E+01");
    row("two integer digits it", "it", 334.9, "#0.00E+00", "33,49E+01");
    row("three integer digits", "en", 12345, "##0.0E+0", "123.5E+2");
    row("mantissa padded from the right", "en", 5, "00.0E+00", "50.0E-01");
    row("integer digits of a zero", "en", 0, "#0.00E+00", "0.00E+00");
    row("negative", "en", -334.9, "#0.00E+00", "-33.49E+01");
    row("small", "en", 0.000123, "0.00E+00", "1.23E-04");
    row("huge", "en", 1e300, "#0.00E+00", "10.00E+299");
    row("tiny", "en", 1.5e-300, "0.0E+00", "1.5E-300");
    row("carry into the exponent", "en", 9.996, "0.00E+00", "1.00E+01");
    row("carry with two integer digits", "en", 99.996, "#0.00E+00", "10.00E+01");
    row("no integer placeholder", "en", 12345, ".00E+00", ".12E+05");
    row("one exponent digit", "en", 1234, "0.0E+0", "1.2E+3");
    row("three exponent digits", "en", 1234, "0.0E+000", "1.2E+003");
    row("hash before zero in exponent", "en", 1234, "0.0E+#0", "1.2E+3");
    row("zero before hash in exponent", "en", 1234, "0.0E+0#", "1.2E+03");
    row("hash exponent digits", "en", 5, "0E+#", "5E+0");
    row("E- hides plus", "en", 1234, "0.0E-00", "1.2E03");
    row("E- shows minus", "en", 0.00123, "0.0E-00", "1.2E-03");
    row("E- shows minus it", "it", 0.00123, "0.0E-00", "1,2E-03");
    row("lower case e+", "en", 1234.5, "0.0e+0", "1.2e+3");
    row("lower case e-", "en", 1234.5, "0.0e-0", "1.2e3");
    row("marker without digits", "en", 1234, "0.0E+", "1.2E+3");
    row("marker without digits, zero exponent", "en", 5, "0E+", "5E+0");
    row("marker without digits, E-", "en", 1234, "0.0E-", "1.2E3");
    row("rest after the marker is text", "it", 0.00123, "0.0e- 0.0", "1,2e-3 0.0");
    row("marker before any placeholder is text", "en", 5, "E+0", "E+5");
    row("E without sign is text", "en", 5, "0E", "5E");
    row("named scientific", "en", 1234.5, "Scientific", "1.23E+03");
}

void tst_Format::exponents()
{
    compareFormat();
}

// Literal characters, quotes and backslash escapes.
void tst_Format::literals_data()
{
    addColumns();
    row("common literals", "en", 5, "+ $ (0) -", "+ $ (5) -");
    row("phone number", "en", 5551234567.0, "(###) ###-####", "(555) 123-4567");
    row("short phone keeps literals", "en", 1234567, "(###) ###-####", "() 123-4567");
    row("quoted text", "en", 5, "0 \"kg\"", "5 kg");
    row("quoted placeholders stay text", "en", 5, "\"#0.\" 0", "#0. 5");
    row("escaped placeholder", "en", 5, "\\#0\\%", "#5%");
    row("escaped semicolon", "en", -5, "0\\;x", "-5;x");
    row("escaped semicolon between digits", "en", -5, "0\\;0", "-0;5");
    row("quoted semicolon", "en", -5, "0\";\"", "-5;");
    row("other characters", "en", 5, "0 €/h", "5 €/h");
    row("only literals", "en", 42, "\"fixed\"", "fixed");
    row("unbalanced quote", "en", 5, "0 \"open", "5 open");
    row("leading comma is text", "en", 5, ",0", ",5");
    row("second point is text", "en", 1.5, "0.0.0", "1.5.0");
}

void tst_Format::literals()
{
    compareFormat();
}

// Text formats: @ and & placeholders, fill direction, case, the section for empty texts and
// Null, and values of other kinds by their text.
void tst_Format::texts_data()
{
    addColumns();
    auto text = [](const char *t) { return QVariant(QString::fromUtf8(t)); };
    row("at pads on the left", "en", text("abc"), "@@@@@", "  abc");
    row("ampersand adds nothing", "en", text("abc"), "&&&&&", "abc");
    row("bang pads on the right", "en", text("abc"), "!@@@@@", "abc  ");
    row("at and ampersand mixed", "en", text("ab"), "&@@@", " ab");
    row("phone number", "en", text("5551234567"), "(@@@) @@@-@@@@", "(555) 123-4567");
    row("short text keeps literals", "en", text("1234567"), "(&&&) &&&-&&&&", "() 123-4567");
    row("beyond the placeholders on the left", "en", text("123"), "ab@c", "12ab3c");
    row("beyond the placeholders on the right", "en", text("123"), "!ab@c", "ab1c23");
    row("no placeholder", "en", text("abc"), ">\\-", "ABC-");
    row("no placeholder, bang", "en", text("abc"), "!\\-", "-abc");
    row("lower case", "en", text("Hello World"), "<", "hello world");
    row("upper case spares literals", "en", text("kg"), ">@@@ \"x\"", " KG x");
    row("last case mark counts", "en", text("aBc"), "<>", "ABC");
    row("quoted and escaped placeholders", "en", text("ab"), "\"@\"\\&@@", "@&ab");
    row("digit placeholders are text", "en", text("ab"), "@@ 0.0%", "ab 0.0%");
    row("surrogate pair is one character", "en", text("a\U0001F600"), "@@@", " a\U0001F600");
    row("numeric text stays as written", "en", text("007"), "@@@@", " 007");
    row("grouped numeric text", "it", text("1.234,5"), "@@@@@@@@", " 1.234,5");
    row("number by its text", "en", 123, "@@@@@", "  123");
    row("decimal number", "en", 1234.5, "@@@@@@@", " 1234.5");
    row("decimal number it", "it", 1234.5, "@@@@@@@", " 1234,5");
    row("negative number", "en", -5, "@@@@", "  -5");
    row("zero is not empty", "en", 0, "@@;\"none\"", " 0");
    row("boolean by its text", "en", true, "@@@@@@", "  True");
    row("date by its text", "it", QDate(2024, 3, 5), "!@@@@@@@@@@@", "05/03/2024 ");
    row("empty text, one section", "en", text(""), "@@@", "   ");
    row("empty text, second section", "en", text(""), "@@@;\"none\"", "none");
    row("null, second section", "en", tessera::Null(), ">@;\"none\"", "none");
    row("empty value, second section", "en", QVariant(), "@;@@", "  ");
    row("null, one section", "en", tessera::Null(), "@@@", "");
    row("text, two sections", "en", text("abc"), "@@@@;\"none\"", " abc");
    row("third section ignored", "en", text(""), "&;x;y", "x");
}

void tst_Format::texts()
{
    compareFormat();
}

// Named formats, in both locales.
void tst_Format::named_data()
{
    addColumns();
    row("general number", "en", 1234567.5, "General Number", "1234567.5");
    row("general number big", "en", 1e20, "General Number", "1E+20");
    row("general number it", "it", 1234.5, "General Number", "1234,5");
    row("currency", "en", 1234.565, "Currency", "$1,234.57");
    row("currency negative", "en", -5, "Currency", "($5.00)");
    row("currency it", "it", 1234.5, "Currency", "1.234,50\u00a0€");
    row("fixed", "en", 1234.567, "Fixed", "1234.57");
    row("fixed small", "en", 0.5, "Fixed", "0.50");
    row("standard", "en", 1234.567, "Standard", "1,234.57");
    row("standard it", "it", 1234.567, "Standard", "1.234,57");
    row("percent", "en", 0.4567, "Percent", "45.67%");
    row("case does not matter", "en", 0.4567, "percent", "45.67%");
    row("yes", "en", 3, "Yes/No", "Yes");
    row("no", "en", 0, "Yes/No", "No");
    row("true", "en", -1, "True/False", "True");
    row("false", "en", 0.0, "True/False", "False");
    row("on", "en", true, "On/Off", "On");
    row("off", "en", false, "On/Off", "Off");
}

void tst_Format::named()
{
    compareFormat();
}

// Texts, Booleans and the empty expression.
void tst_Format::valueKinds_data()
{
    addColumns();
    row("numeric text", "en", QStringLiteral("1234.5"), "#,##0.00", "1,234.50");
    row("numeric text with grouping", "en", QStringLiteral("1,234.5"), "0.0", "1234.5");
    row("numeric text it", "it", QStringLiteral("1.234,5"), "0.00", "1234,50");
    row("it reads dot as grouping", "it", QStringLiteral("3.5"), "0.00", "35,00");
    row("text that is not a number", "en", QStringLiteral("abc"), "0.00", "abc");
    row("empty text", "en", QString(), "0.00", "");
    row("boolean with digits", "en", true, "0", "-1");
    row("false with digits", "en", false, "0.0", "0.0");
    row("boolean plain", "en", true, "", "True");
    row("empty expression double", "en", 1234.5, "", "1234.5");
    row("empty expression it", "it", 1234.5, "", "1234,5");
    row("empty expression integer", "en", 42, "", "42");
    row("empty expression text", "en", QStringLiteral(" x "), "", " x ");
    row("empty expression null", "en", tessera::Null(), "", "");
    row("single shows 7 digits", "en", 0.1f, "0.0000000000", "0.1000000000");
    row("single plain", "en", 0.1f, "", "0.1");
    row("unsigned value", "en", 4000000000u, "#,##0", "4,000,000,000");
}

void tst_Format::valueKinds()
{
    compareFormat();
}

// Date tokens and named date formats; numbers read as date serials.
void tst_Format::dates_data()
{
    addColumns();
    const QDateTime dt(QDate(2024, 3, 5), QTime(14, 7, 9));
    row("day month year", "en", dt, "dd/mm/yyyy", "05/03/2024");
    row("short tokens", "en", dt, "d-m-yy", "5-3-24");
    row("month names", "en", dt, "ddd d mmm yyyy", "Tue 5 Mar 2024");
    row("full names", "en", dt, "dddd, mmmm d", "Tuesday, March 5");
    row("upper-case tokens", "en", dt, "DD/MM/YYYY", "05/03/2024");
    row("minutes after hours", "en", dt, "hh:mm:ss", "14:07:09");
    row("minutes with n", "en", dt, "h:nn", "14:07");
    row("twelve-hour clock", "en", dt, "h:mm AM/PM", "2:07 PM");
    row("lower am/pm", "en", QDateTime(QDate(2024, 3, 5), QTime(9, 5)), "hh:nn a/p", "09:05 a");
    row("quarter, weekday, week", "en", dt, "q w ww", "1 3 10");
    row("day of year", "en", dt, "y", "65");
    row("quoted text in dates", "en", dt, "\"Day\" d", "Day 5");
    row("italian names", "it", dt, "dddd d mmmm", "martedì 5 marzo");
    row("short date", "en", QDate(2024, 3, 5), "Short Date", "3/5/2024");
    row("short date it", "it", QDate(2024, 3, 5), "Short Date", "05/03/2024");
    row("general date with time", "en", dt, "General Date", "3/5/2024 2:07:09 PM");
    row("general date midnight", "en", QDate(2024, 3, 5), "c", "3/5/2024");
    row("short time", "en", dt, "Short Time", "14:07");
    row("serial number as date", "en", 45356.5, "yyyy-mm-dd hh:nn", "2024-03-05 12:00");
    row("date as number", "en", QDate(2024, 3, 5), "0.0", "45356.0");
    row("day fraction as time", "en", 0.75, "hh:nn", "18:00");
    row("negative serial before 1899", "en", -1.0, "yyyy-mm-dd", "1899-12-29");
    row("numeric text as date", "en", QStringLiteral("2"), "yyyy-mm-dd", "1900-01-01");
}

void tst_Format::dates()
{
    compareFormat();
}

// Values and expressions that must neither crash nor lose the value.
void tst_Format::hostileInput_data()
{
    addColumns();
    row("infinity", "en", std::numeric_limits<double>::infinity(), "#,##0", "Infinity");
    row("lone quote", "en", 5, "\"", "");
    row("lone backslash", "en", 5, "\\", "");
    row("lone point", "en", 5.0, ".", "5.");
}

void tst_Format::hostileInput()
{
    compareFormat();
}

// The parsed expression is cached; the separators must still follow a locale change.
void tst_Format::cachedExpressionFollowsLocale()
{
    const QString expression = QStringLiteral("#,##0.00");
    tessera::setUserLocale(localeNamed(QStringLiteral("en")));
    QCOMPARE(Format(1234.5, expression), QStringLiteral("1,234.50"));
    tessera::setUserLocale(localeNamed(QStringLiteral("it")));
    QCOMPARE(Format(1234.5, expression), QStringLiteral("1.234,50"));
    QCOMPARE(tessera::userLocale().language(), QLocale::Italian);
    // Many distinct expressions push the cache past its cap; results stay correct.
    for (int i = 0; i < 600; ++i)
        QCOMPARE(Format(i, QStringLiteral("0\"#%1\"").arg(i)), QStringLiteral("%1#%1").arg(i));
    QCOMPARE(Format(1234.5, expression), QStringLiteral("1.234,50"));
}

// Numbers show 15 significant digits rounded from the exact binary value; the quick path for
// ordinary magnitudes must agree with the C library on random values of every size.
void tst_Format::fifteenDigitsMatchPrintf()
{
    QRandomGenerator rng(7);
    const QString expression = QStringLiteral("0.00000000000000E+00");
    for (int i = 0; i < 20000; ++i) {
        const double magnitude = std::pow(10.0, rng.bounded(-7, 17));
        double v = rng.generateDouble() * magnitude;
        if (i % 3 == 0)
            v = std::round(v * 100) / 100; // cent amounts, the common case
        if (i % 2)
            v = -v;
        const QString expected = QString::asprintf("%.14E", v);
        const QString actual = Format(v, expression);
        QVERIFY2(actual == expected,
            qPrintable(
                QString::asprintf("%.17g: ", v) + actual + QLatin1String(" != ") + expected));
    }
}

// Random expressions built from every special character: a number and its own text in the user
// locale must format alike (and nothing may crash on the way).
void tst_Format::randomExpressionsTreatNumericTextAsNumber()
{
    const QString alphabet = QStringLiteral("0#.,%E+-e;\\\"$() xdmyhns/:@AP");
    const double specials[] = { 0.0, -0.0, 0.5, -0.5, 1e300, -1e-300, 123456.785, 9.995, 1e15 };
    QRandomGenerator rng(11);
    for (const char *name : { "en", "it" }) {
        tessera::setUserLocale(localeNamed(QString::fromLatin1(name)));
        for (int i = 0; i < 3000; ++i) {
            QString expression;
            const int length = rng.bounded(1, 16);
            for (int k = 0; k < length; ++k)
                expression += alphabet[rng.bounded(int(alphabet.size()))];
            double v = i % 4 == 0
                ? specials[(i / 4) % std::size(specials)]
                : (rng.generateDouble() - 0.5) * std::pow(10.0, rng.bounded(-6, 12));
            const QString asNumber = Format(v, expression);
            const QString asText = Format(tessera::CStr(QVariant(v)), expression);
            QVERIFY2(asNumber == asText,
                qPrintable(QString::asprintf("%.17g with ", v) + expression + QLatin1String(": ")
                    + asNumber + QLatin1String(" != ") + asText));
        }
    }
}

QTEST_GUILESS_MAIN(tst_Format)
#include "tst_runtime_format.moc"
