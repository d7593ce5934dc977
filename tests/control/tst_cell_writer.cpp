// The cell writer: the four set members over every kind of column and representative texts, in
// en_US and it_IT; reading check marks back; numbering and column letters; hostile input.
#include "tessera_p.h"

#include <TestHelpers.h>
#include <tessera/PropertyBag.h>
#include <tessera/Runtime.h>
#include <tessera/Tessera.h>

#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace tessera;

namespace {

// Columns by slot position: 1 check marks, 2 sign arrows, 3 formatted, 4 plain; 5 has no slot.
enum Target { CheckMarks = 1, Arrows, Formatted, Plain, Beyond, CheckHeader, ArrowHeader };

// A restored control (so the definition table exists) with a 6 x 6 grid, one fixed row.
struct Scene {
    Tessera control;
    TesseraPrivate *d = TesseraPrivate::get(&control);
    FlexGrid &grid = *d->fxgGrid;

    Scene()
    {
        PropertyBag empty;
        control.ReadProperties(empty);
        grid.setRows(6);
        grid.setCols(6);
        auto &defs = *d->colDefs;
        defs.resize(5);
        defs[CheckMarks].CheckBox = true;
        defs[Arrows].ColorBySigned = true;
        defs[Formatted].TextFormat = QStringLiteral("#,##0.00");
        for (qint16 c = 1; c < 5; ++c)
            defs[c].Index = c;
        grid.setRow(4);
        grid.setCol(4);
    }
    qint32 foreColorAt(int row, int col)
    {
        const qint32 r = grid.Row(), c = grid.Col();
        grid.setRow(row);
        grid.setCol(col);
        const qint32 color = grid.CellForeColor();
        grid.setRow(r);
        grid.setCol(c);
        return color;
    }
};

using Writer = void (Tessera::*)(qint32, qint32, const QString &);
const Writer kWriters[] = { &Tessera::setTextMatrix, &Tessera::setTextMatrix1Plus,
    &Tessera::setTextMatrixWithFormat, &Tessera::setTextMatrixWithFormat1Plus };
const char *const writerNames[] = { "TextMatrix", "1Plus", "WithFormat", "WithFormat1Plus" };

const QString up = QString(QChar(173)), flat = QString(QChar(171)), down = QString(QChar(175));
constexpr qint32 Green = 0x009900, Red = 0x0000FF, Black = 0;
constexpr qint32 AnyColor = -1;

} // namespace

class tst_CellWriter : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writers_data();
    void writers();
    void readingCheckMarks();
    void enumHeader_data();
    void enumHeader();
    void numbering();
    void hostileInput_data();
    void hostileInput();
    void extremeTexts();
};

void tst_CellWriter::writers_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<int>("writer"); // index into writers[]
    QTest::addColumn<int>("target");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<qint32>("foreColor");

    // One row per writer the expectation holds for ("all", or a list of writer indices).
    auto rows = [](const char *locale, std::initializer_list<int> members, Target target,
                    const QString &text, const QString &shown, qint32 color = AnyColor) {
        for (int w : members)
            QTest::newRow(qPrintable(QStringLiteral("%1 %2 col%3 \"%4\"")
                                         .arg(QLatin1String(locale), QLatin1String(writerNames[w]))
                                         .arg(int(target))
                                         .arg(text)))
                << QString::fromLatin1(locale) << w << int(target) << text << shown << color;
    };
    const auto all = { 0, 1, 2, 3 };
    const auto narrow = { 1, 2, 3 }; // "True", "-1" and " -1" only
    const auto format = { 2, 3 };
    const auto plainWriters = { 0, 1 };
    const QString checked = QStringLiteral("þ"), unchecked = QStringLiteral("q");

    for (const char *loc : { "en_US", "it_IT" }) {
        // Check marks: any text that converts to True, or only the three narrow ones.
        for (const char *t : { "True", "-1", " -1" })
            rows(loc, all, CheckMarks, QString::fromLatin1(t), checked);
        for (const char *t : { "1", "2", "true" })
            rows(loc, { 0 }, CheckMarks, QString::fromLatin1(t), checked);
        for (const char *t : { "1", "2", "true" })
            rows(loc, narrow, CheckMarks, QString::fromLatin1(t), unchecked);
        for (const char *t : { "False", "0", "", "abc", "-0" })
            rows(loc, all, CheckMarks, QString::fromLatin1(t), unchecked);
        // Header rows: TextMatrix and WithFormat still write glyphs, 1Plus the text.
        rows(loc, { 0, 2, 3 }, CheckHeader, QStringLiteral("Done"), unchecked);
        rows(loc, { 1 }, CheckHeader, QStringLiteral("Done"), QStringLiteral("Done"));
        rows(loc, { 0, 2, 3 }, CheckHeader, QStringLiteral("True"), checked);
        rows(loc, plainWriters, ArrowHeader, QStringLiteral("Trend"), QStringLiteral("Trend"));
        rows(loc, format, ArrowHeader, QStringLiteral("Trend"), QString(), Black);
        rows(loc, format, ArrowHeader, QStringLiteral("7"), up, Green);
        // Sign arrows, per cent signs ignored, text without a number blank.
        rows(loc, all, Arrows, QStringLiteral("5"), up, Green);
        rows(loc, all, Arrows, QStringLiteral("0"), flat, Black);
        rows(loc, all, Arrows, QStringLiteral("-3"), down, Red);
        rows(loc, all, Arrows, QStringLiteral("abc"), QString(), Black);
        rows(loc, all, Arrows, QString(), QString(), Black);
        // Plain and undefined columns take the text as it is.
        for (Target t : { Plain, Beyond })
            for (const char *text : { "True", "3", "" })
                rows(loc, all, t, QString::fromLatin1(text), QString::fromLatin1(text));
        // Formatted columns: only the WithFormat pair formats; text that is no number stays.
        rows(loc, plainWriters, Formatted, QStringLiteral("3"), QStringLiteral("3"));
        rows(loc, format, Formatted, QStringLiteral("abc"), QStringLiteral("abc"));
    }
    rows("en_US", all, Arrows, QStringLiteral("-12.5%"), down, Red);
    rows("it_IT", all, Arrows, QStringLiteral("-12,5%"), down, Red);
    rows("en_US", all, Arrows, QStringLiteral("1,234"), up, Green);
    rows("en_US", format, Formatted, QStringLiteral("3"), QStringLiteral("3.00"));
    rows("it_IT", format, Formatted, QStringLiteral("3"), QStringLiteral("3,00"));
    rows("en_US", format, Formatted, QStringLiteral("1234.5"), QStringLiteral("1,234.50"));
    rows("it_IT", format, Formatted, QStringLiteral("1234,5"), QStringLiteral("1.234,50"));
    rows("it_IT", format, Formatted, QStringLiteral("-0,004"), QStringLiteral("0,00"));
}

void tst_CellWriter::writers()
{
    QFETCH(QString, locale);
    QFETCH(int, writer);
    QFETCH(int, target);
    QFETCH(QString, text);
    QFETCH(QString, shown);
    QFETCH(qint32, foreColor);
    const QLocale saved = userLocale();
    setUserLocale(QLocale(locale));
    Scene s;
    const int row = target >= CheckHeader ? 0 : 2;
    const int col = target == CheckHeader ? CheckMarks : target == ArrowHeader ? Arrows : target;
    QSignalSpy notices(&s.control, &Tessera::PropertyChanged);
    (s.control.*kWriters[writer])(row, col, text);
    setUserLocale(saved);
    QCOMPARE(s.grid.TextMatrix(row, col), shown);
    if (foreColor != AnyColor)
        QCOMPARE(s.foreColorAt(row, col), foreColor);
    // The grid's current cell stays where it was, and one notice names the member.
    QCOMPARE(s.grid.Row(), 4);
    QCOMPARE(s.grid.Col(), 4);
    QCOMPARE(notices.count(), 1);
    QCOMPARE(notices.at(0).at(0).toString(), QStringLiteral("TextMatrix"));
}

void tst_CellWriter::readingCheckMarks()
{
    Scene s;
    s.control.setTextMatrix(2, CheckMarks, QStringLiteral("1"));
    s.control.setTextMatrix(3, CheckMarks, QStringLiteral("abc"));
    QCOMPARE(s.control.TextMatrix(2, CheckMarks), QStringLiteral("True"));
    QCOMPARE(s.control.TextMatrix(3, CheckMarks), QStringLiteral("False"));
    QCOMPARE(s.control.TextMatrix(5, CheckMarks), QStringLiteral("False")); // never written
    s.grid.setTextMatrix(2, Plain, QStringLiteral("x"));
    QCOMPARE(s.control.TextMatrix(2, Plain), QStringLiteral("x"));
    // A column without a slot can be read only through the grid.
    QVERIFY_TESSERA_ERROR(s.control.TextMatrix(2, Beyond), errSubscriptOutOfRange);
    // Before any definition table exists, no column has a slot.
    Tessera fresh;
    QVERIFY_TESSERA_ERROR(fresh.TextMatrix(0, 0), errSubscriptOutOfRange);
}

void tst_CellWriter::enumHeader_data()
{
    QTest::addColumn<qint32>("column");
    QTest::addColumn<QString>("letters");
    const QList<std::pair<qint32, const char *>> table { { 0, "" }, { 1, "A" }, { 26, "Z" },
        { 27, "AA" }, { 52, "AZ" }, { 53, "BA" }, { 702, "ZZ" }, { 703, "AAA" }, { -5, "" },
        { INT32_MAX, "FXSHRXW" } };
    for (const auto &[n, text] : table)
        QTest::newRow(qPrintable(QString::number(n))) << n << QString::fromLatin1(text);
}

void tst_CellWriter::enumHeader()
{
    QFETCH(qint32, column);
    QFETCH(QString, letters);
    Tessera control;
    qint32 n = column;
    QCOMPARE(control.EnumHeader(n), letters);
    QCOMPARE(n, column); // taken by reference, left alone
}

void tst_CellWriter::numbering()
{
    Scene s;
    s.grid.setRows(4);
    s.grid.setCols(4);
    s.grid.setTextMatrix(0, 2, QStringLiteral("old"));
    QSignalSpy notices(&s.control, &Tessera::PropertyChanged);
    auto column0 = [&] {
        QStringList out;
        for (int r = 0; r < 4; ++r)
            out << s.grid.TextMatrix(r, 0);
        return out;
    };
    auto row0 = [&] {
        QStringList out;
        for (int c = 0; c < 4; ++c)
            out << s.grid.TextMatrix(0, c);
        return out;
    };
    s.control.setAutoNumberRows(true);
    QCOMPARE(column0(), (QStringList { "", "1", "2", "3" }));
    s.control.setAutoNumberCols(true);
    QCOMPARE(row0(), (QStringList { "", "A", "B", "C" }));
    QCOMPARE(notices.count(), 2);
    // Setting the current value again writes nothing and sends nothing.
    s.grid.setTextMatrix(2, 0, QStringLiteral("mine"));
    s.control.setAutoNumberRows(true);
    s.control.setAutoNumberCols(true);
    QCOMPARE(s.grid.TextMatrix(2, 0), QStringLiteral("mine"));
    QCOMPARE(notices.count(), 2);
    s.control.setAutoNumberRows(false);
    s.control.setAutoNumberCols(false);
    QCOMPARE(column0(), (QStringList { "", "", "", "" }));
    QCOMPARE(row0(), (QStringList { "", "", "", "" }));
    QVERIFY(!s.control.AutoNumberRows() && !s.control.AutoNumberCols());
    QCOMPARE(notices.count(), 4);
    QCOMPARE(notices.at(3).at(0).toString(), QStringLiteral("AutoNumberCols"));
    // With two fixed columns the letters start after them.
    s.grid.setFixedCols(2);
    s.control.setAutoNumberCols(true);
    QCOMPARE(row0(), (QStringList { "", "", "A", "B" }));
}

void tst_CellWriter::hostileInput_data()
{
    using Action = std::function<void(Tessera &)>;
    QTest::addColumn<Action>("action");
    QTest::addColumn<int>("error"); // 0: skipped, nothing raised
    const qint32 kMax = INT32_MAX, kMin = INT32_MIN;
    auto row = [](const char *name, Action a, int error) { QTest::newRow(name) << a << error; };
    row(
        "TextMatrix get, row outside", [](Tessera &t) { t.TextMatrix(6, Plain); },
        flexErrSubscript);
    row(
        "TextMatrix get, row max", [=](Tessera &t) { t.TextMatrix(kMax, Plain); },
        flexErrSubscript);
    row(
        "TextMatrix get, row min", [=](Tessera &t) { t.TextMatrix(kMin, 0); }, flexErrSubscript);
    row(
        "TextMatrix get, col max", [=](Tessera &t) { t.TextMatrix(1, kMax); },
        errSubscriptOutOfRange);
    row(
        "TextMatrix get, col min", [=](Tessera &t) { t.TextMatrix(1, kMin); },
        errSubscriptOutOfRange);
    for (int w = 0; w < 4; ++w) {
        const Writer writer = kWriters[w];
        using Cell = std::pair<qint32, qint32>;
        for (auto [r, c] : { Cell { kMax, Plain }, Cell { kMin, CheckMarks }, Cell { 2, kMax },
                 Cell { -1, Arrows }, Cell { 6, Formatted } })
            QTest::newRow(
                qPrintable(QStringLiteral("%1(%2, %3)").arg(writerNames[w]).arg(r).arg(c)))
                << Action([=](Tessera &t) { (t.*writer)(r, c, QStringLiteral("5")); }) << 0;
    }
    row(
        "TextArray set max", [=](Tessera &t) { t.setTextArray(kMax, QStringLiteral("x")); },
        flexErrSubscript);
    row(
        "TextArray set min", [=](Tessera &t) { t.setTextArray(kMin, QStringLiteral("x")); },
        flexErrSubscript);
}

void tst_CellWriter::hostileInput()
{
    using Action = std::function<void(Tessera &)>;
    QFETCH(Action, action);
    QFETCH(int, error);
    Scene s;
    s.control.setTextMatrix(5, Plain, QStringLiteral("kept"));
    s.grid.setRow(3);
    s.grid.setCol(2);
    if (error)
        QVERIFY_TESSERA_ERROR(action(s.control), error);
    else
        action(s.control);
    // Nothing else moved: the grid keeps its size, its cursor and its cells.
    QCOMPARE(s.grid.Rows(), 6);
    QCOMPARE(s.grid.Cols(), 6);
    QCOMPARE(s.grid.Row(), 3);
    QCOMPARE(s.grid.Col(), 2);
    QCOMPARE(s.grid.TextMatrix(5, Plain), QStringLiteral("kept"));
}

void tst_CellWriter::extremeTexts()
{
    Scene s;
    const QString huge(20 * 1024 * 1024, QLatin1Char('7'));
    const QString lone = QStringLiteral("a") + QChar(0xD800) + QStringLiteral("b") + QChar(0xDC01);
    for (const QString &text : { huge, lone }) {
        s.control.setTextMatrix(2, Plain, text);
        QCOMPARE(s.control.TextMatrix(2, Plain), text);
        s.control.setTextMatrixWithFormat(3, Plain, text);
        QCOMPARE(s.grid.TextMatrix(3, Plain), text);
        s.control.setTextMatrix(2, CheckMarks, text);
        QCOMPARE(s.grid.TextMatrix(2, CheckMarks), QStringLiteral("q")); // no Boolean in either
    }
    s.control.setTextMatrix(2, Arrows, lone);
    QCOMPARE(s.grid.TextMatrix(2, Arrows), QString());
    s.control.setTextMatrix(2, Arrows, huge); // too long to read as a number
    QCOMPARE(s.grid.TextMatrix(2, Arrows), QString());
    s.control.setTextMatrixWithFormat(2, Formatted, lone);
    QCOMPARE(s.grid.TextMatrix(2, Formatted), lone);
}

QTEST_MAIN(tst_CellWriter)
#include "tst_cell_writer.moc"
