// Filter criteria (operators, text, dates, Null, AND/OR/parentheses, bad and hostile criteria) and
// Sort (stable, multi-key, descending, bad sort texts), with the position rules that go with them.
#include "sample_recordset.h"

#include <TestHelpers.h>
#include <tessera/Recordset.h>

#include <QtTest>

using namespace tessera;
using tessera::test::ids;
using tessera::test::sampleRecordset;

class TestRecordsetFilter : public QObject {
    Q_OBJECT

private slots:
    void criteria_data();
    void criteria();
    void badCriteriaKeepPreviousFilter_data();
    void badCriteriaKeepPreviousFilter();
    void deepButReasonableCriteria();
    void liftingTheFilter_data();
    void liftingTheFilter();
    void absolutePositionUnderFilter();
    void sort_data();
    void sort();
    void badSortKeepsPreviousSort();
    void sortIsStableOnLargeTies();
};

void TestRecordsetFilter::criteria_data()
{
    QTest::addColumn<QString>("criteria");
    QTest::addColumn<QList<int>>("expected");

    // numbers
    QTest::newRow("=") << "ID = 3" << QList<int> { 3 };
    QTest::newRow("<>") << "ID <> 3" << QList<int> { 1, 2, 4, 5, 6, 7, 8 };
    QTest::newRow("<") << "ID < 3" << QList<int> { 1, 2 };
    QTest::newRow(">") << "ID > 6" << QList<int> { 7, 8 };
    QTest::newRow("<=") << "ID <= 2" << QList<int> { 1, 2 };
    QTest::newRow(">=") << "ID >= 7" << QList<int> { 7, 8 };
    QTest::newRow("double =") << "Amount = 10.5" << QList<int> { 1, 3, 7 };
    QTest::newRow("negative") << "Amount < -1" << QList<int> { 4 };
    QTest::newRow("exponent") << "Amount >= 1E2" << QList<int> { 8 };
    QTest::newRow("fraction vs int") << "ID < 2.5" << QList<int> { 1, 2 };
    QTest::newRow("no blanks") << "ID>=7" << QList<int> { 7, 8 };
    QTest::newRow("number as text") << "ID = '4'" << QList<int> { 4 };
    QTest::newRow("currency") << "Price = 1.25" << QList<int> { 1, 5 };
    QTest::newRow("currency <") << "Price < 1" << QList<int> { 3, 8 };
    QTest::newRow("null never compares") << "Amount < 1000" << QList<int> { 1, 2, 3, 4, 5, 7, 8 };
    // text, without regard to case
    QTest::newRow("text =") << "Name = 'anna'" << QList<int> { 1, 5 };
    QTest::newRow("text <>") << "Name <> 'ANNA'" << QList<int> { 2, 3, 4, 6, 7, 8 };
    QTest::newRow("text <") << "Name < 'b'" << QList<int> { 1, 5 };
    QTest::newRow("text >=") << "Name >= 'U'" << QList<int> { 8 };
    QTest::newRow("doubled quote") << "Name = 'O''Brien'" << QList<int> { 4 };
    QTest::newRow("double quotes") << "Name = \"Ugo\"" << QList<int> { 8 };
    QTest::newRow("lower-case keyword") << "name like 'b*'" << QList<int> { 2, 7 };
    QTest::newRow("LIKE prefix *") << "Name LIKE 'B*'" << QList<int> { 2, 7 };
    QTest::newRow("LIKE prefix %") << "Name LIKE 'b%'" << QList<int> { 2, 7 };
    QTest::newRow("LIKE suffix") << "Name LIKE '*A'" << QList<int> { 1, 3, 5, 7 };
    QTest::newRow("LIKE contains") << "Name LIKE '%ar%'" << QList<int> { 3, 6, 7 };
    QTest::newRow("LIKE exact") << "Name LIKE 'ugo'" << QList<int> { 8 };
    QTest::newRow("LIKE anything") << "Note LIKE '*'" << QList<int> { 1, 3, 5, 6, 8 };
    QTest::newRow("bracketed name") << "[Full Name] LIKE '*o''brien'" << QList<int> { 4 };
    QTest::newRow("text vs number") << "Note = 1" << QList<int> {};
    // dates
    QTest::newRow("date ISO") << "Born = #2001-09-01#" << QList<int> { 3, 5 };
    QTest::newRow("date US") << "Born = #9/1/2001#" << QList<int> { 3, 5 };
    QTest::newRow("date <") << "Born < #1/1/1986#" << QList<int> { 2, 7 };
    QTest::newRow("date >= with time") << "Born >= #2001-09-01 00:00:01#" << QList<int> { 8 };
    QTest::newRow("date quoted") << "Born > '2002-01-01'" << QList<int> { 8 };
    QTest::newRow("leap day") << "Born = #2/29/2020#" << QList<int> { 8 };
    QTest::newRow("date serial") << "Born < 36526" << QList<int> { 1, 2, 4, 7 };
    // Booleans
    QTest::newRow("bool True") << "Active = True" << QList<int> { 1, 3, 5, 7 };
    QTest::newRow("bool -1") << "Active = -1" << QList<int> { 1, 3, 5, 7 };
    QTest::newRow("bool 0") << "Active = 0" << QList<int> { 2, 4, 6, 8 };
    QTest::newRow("bool <> False") << "Active <> False" << QList<int> { 1, 3, 5, 7 };
    // Null
    QTest::newRow("= Null") << "Note = Null" << QList<int> { 2, 4, 7 };
    QTest::newRow("<> Null") << "Note <> Null" << QList<int> { 1, 3, 5, 6, 8 };
    QTest::newRow("IS NULL") << "Amount IS NULL" << QList<int> { 6 };
    QTest::newRow("IS NOT NULL") << "Born is not null" << QList<int> { 1, 2, 3, 4, 5, 7, 8 };
    // joins
    QTest::newRow("AND") << "Amount = 10.5 AND Active = True AND ID > 1" << QList<int> { 3, 7 };
    QTest::newRow("OR") << "ID = 1 OR ID = 8 OR Name = 'carla'" << QList<int> { 1, 3, 8 };
    QTest::newRow("AND binds tighter")
        << "ID = 1 OR ID > 6 AND Active = False" << QList<int> { 1, 8 };
    QTest::newRow("parentheses") << "(ID = 1 OR ID > 6) AND Active = False" << QList<int> { 8 };
    QTest::newRow("nested") << "((Name LIKE 'a*') OR (Note = 'x' AND Price > 5)) AND ID <> 5"
                            << QList<int> { 1, 6 };
    QTest::newRow("nothing") << "ID > 100" << QList<int> {};
}

void TestRecordsetFilter::criteria()
{
    QFETCH(QString, criteria);
    QFETCH(QList<int>, expected);
    RecordsetPtr rs = sampleRecordset();
    rs->MoveLast();
    rs->setFilter(criteria);
    QCOMPARE(rs->Filter(), criteria);
    QCOMPARE(rs->RecordCount(), expected.size());
    if (!expected.isEmpty()) {
        // The first visible record is current after a put.
        QCOMPARE(rs->AbsolutePosition(), 1);
        QCOMPARE(rs->Collect(QStringLiteral("ID")).toInt(), expected.first());
    } else {
        QVERIFY(rs->EOF_() && rs->BOF());
    }
    QCOMPARE(ids(rs), expected);
    // The same criteria on a clone give the same view; the source is not disturbed by it.
    RecordsetPtr clone = rs->Clone();
    clone->setFilter(criteria);
    QCOMPARE(ids(clone), expected);
}

namespace {
QString nested(int depth, const QString &inner)
{
    return QString(depth, QLatin1Char('(')) + inner + QString(depth, QLatin1Char(')'));
}
} // namespace

void TestRecordsetFilter::badCriteriaKeepPreviousFilter_data()
{
    QTest::addColumn<QVariant>("criteria");
    QTest::addColumn<QString>("mentions"); // a word the description must name, if any
    const auto bad = [](const char *name, const QVariant &criteria, const char *mentions = "") {
        QTest::newRow(name) << criteria << QString::fromLatin1(mentions);
    };
    bad("unknown field", "Nope = 1", "Nope");
    bad("unknown field deep inside", "ID = 1 OR (Name = 'x' AND [No Such] > 2)", "No Such");
    bad("value missing", "ID = ");
    bad("operator missing", "ID 3");
    bad("double =", "ID == 3");
    bad("word value", "Name = Anna");
    bad("open quote", "Name = 'Anna");
    bad("open parenthesis", "(ID = 1 OR ID = 2");
    bad("stray parenthesis", "ID = 1)");
    bad("open bracket", "[Full Name = 'x'");
    bad("open date", "Born = #2001-01-01");
    bad("bad date", "Born = #2001-02-30#");
    bad("text for number", "ID = 'abc'");
    bad("serial out of range", "Born = 1E300");
    bad("date for number", "ID = #2001-01-01#");
    bad("wildcard inside", "Name LIKE 'a*a'");
    bad("LIKE on number", "ID LIKE '1*'");
    bad("Null with <", "Note < Null");
    bad("IS without NULL", "Note IS 3");
    bad("dangling AND", "ID = 1 AND");
    bad("trailing text", "ID = 1 Name = 'x'");
    // Nesting no person writes is refused before it can exhaust the stack.
    bad("10,000 nested parentheses", nested(10000, QStringLiteral("ID = 1")), "parenthes");
    bad("100,000 nested parentheses", nested(100000, QStringLiteral("ID = 1")), "parenthes");
    bad("10,000 opening parentheses", QString(10000, QLatin1Char('(')), "parenthes");
    bad("10,000 nested, one unclosed", nested(10000, QStringLiteral("ID = 1")).chopped(1),
        "parenthes");
    bad("20 MB criteria", QString(20 << 20, QLatin1Char('g')), "ggg");
    bad("a date as criteria", QDate(2001, 1, 1), "criteria");
}

void TestRecordsetFilter::badCriteriaKeepPreviousFilter()
{
    QFETCH(QVariant, criteria);
    QFETCH(QString, mentions);
    RecordsetPtr rs = sampleRecordset();
    rs->setFilter(QStringLiteral("Active = True"));
    rs->setAbsolutePosition(3);
    const quint64 stamp = rs->ChangeStamp();
    try {
        rs->setFilter(criteria);
        QFAIL("the criteria were accepted");
    } catch (const Error &e) {
        const QString standard = QStringLiteral(
            "Arguments are of the wrong type, are out of acceptable range, or are in conflict "
            "with one another.");
        QCOMPARE(e.number(), int(adErrInvalidArgument));
        QVERIFY(e.description().startsWith(standard));
        QVERIFY2(e.description().size() > standard.size() + 10, "the description names the fault");
        QVERIFY2(e.description().contains(mentions, Qt::CaseInsensitive),
            qPrintable(e.description().left(300)));
    }
    QCOMPARE(rs->Filter(), QStringLiteral("Active = True"));
    QCOMPARE(rs->RecordCount(), 4);
    QCOMPARE(rs->AbsolutePosition(), 3);
    QCOMPARE(rs->ChangeStamp(), stamp);
}

// Nesting a person would write stays well inside the limit and filters as it reads.
void TestRecordsetFilter::deepButReasonableCriteria()
{
    RecordsetPtr rs = sampleRecordset();
    rs->setFilter(nested(150, QStringLiteral("ID = 1 OR (ID > 4 AND Active = True)")));
    QCOMPARE(ids(rs), (QList<int> { 1, 5, 7 }));
    QString alternating = QStringLiteral("ID = 6");
    for (int k = 0; k < 150; ++k)
        alternating = QStringLiteral("(%1 %2 ID > 0)").arg(alternating, k % 2 ? "OR" : "AND");
    rs->setFilter(alternating);
    QCOMPARE(rs->RecordCount(), 8);
    rs->setFilter(QStringLiteral("((ID = 6 AND ID > 0) OR ID > 0) AND ID = 2"));
    QCOMPARE(ids(rs), QList<int> { 2 });
}

void TestRecordsetFilter::liftingTheFilter_data()
{
    QTest::addColumn<QVariant>("lift");
    QTest::newRow("empty text") << QVariant(QString());
    QTest::newRow("number 0") << QVariant(0);
    QTest::newRow("text 0") << QVariant(QStringLiteral("0"));
    QTest::newRow("double 0") << QVariant(0.0);
}

void TestRecordsetFilter::liftingTheFilter()
{
    QFETCH(QVariant, lift);
    RecordsetPtr rs = sampleRecordset();
    rs->setFilter(QStringLiteral("ID > 4"));
    rs->MoveLast();
    rs->setFilter(lift);
    QCOMPARE(rs->Filter(), QStringLiteral("0"));
    QCOMPARE(rs->RecordCount(), 8);
    QCOMPARE(rs->AbsolutePosition(), 1);
    QVERIFY_TESSERA_ERROR(rs->setFilter(QVariant(5)), adErrInvalidArgument);
}

void TestRecordsetFilter::absolutePositionUnderFilter()
{
    RecordsetPtr rs = sampleRecordset();
    rs->setFilter(QStringLiteral("Active = False"));
    QCOMPARE(rs->RecordCount(), 4);
    rs->setAbsolutePosition(3);
    QCOMPARE(rs->Collect(QStringLiteral("ID")).toInt(), 6);
    rs->MoveNext();
    QCOMPARE(rs->AbsolutePosition(), 4);
    QCOMPARE(rs->Collect(QStringLiteral("ID")).toInt(), 8);
    QVERIFY_TESSERA_ERROR(rs->setAbsolutePosition(5), adErrInvalidArgument);
    rs->setSort(QStringLiteral("ID DESC"));
    QCOMPARE(rs->AbsolutePosition(), 1);
    rs->setAbsolutePosition(2);
    QCOMPARE(rs->Collect(QStringLiteral("ID")).toInt(), 6);
    // A record added through this cursor stays visible here even if the filter would hide it.
    rs->AddNew();
    rs->setCollect(QStringLiteral("ID"), 20);
    rs->setCollect(QStringLiteral("Active"), true);
    rs->Update();
    QCOMPARE(rs->RecordCount(), 5);
    QCOMPARE(rs->AbsolutePosition(), 5);
    // Another cursor with the same filter does not see it.
    RecordsetPtr clone = rs->Clone();
    clone->setFilter(rs->Filter());
    QCOMPARE(clone->RecordCount(), 4);
}

void TestRecordsetFilter::sort_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("sort");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("number") << ""
                            << "Amount" << QList<int> { 6, 4, 2, 5, 1, 3, 7, 8 };
    QTest::newRow("number DESC, ties keep record order")
        << ""
        << "Amount DESC" << QList<int> { 8, 1, 3, 7, 5, 2, 4, 6 };
    QTest::newRow("text ignores case, stable")
        << ""
        << "Name ASC" << QList<int> { 1, 5, 7, 2, 3, 6, 4, 8 };
    QTest::newRow("text DESC") << ""
                               << "name desc" << QList<int> { 8, 4, 6, 3, 2, 7, 1, 5 };
    QTest::newRow("two keys") << ""
                              << "Amount DESC, Name" << QList<int> { 8, 1, 7, 3, 5, 2, 4, 6 };
    QTest::newRow("bool then date DESC")
        << ""
        << "Active, Born DESC" << QList<int> { 8, 4, 2, 6, 3, 5, 1, 7 };
    QTest::newRow("currency then id DESC")
        << ""
        << "Price, ID DESC" << QList<int> { 8, 3, 5, 1, 2, 4, 7, 6 };
    QTest::newRow("bracketed") << ""
                               << "[Full Name] DESC" << QList<int> { 8, 4, 6, 2, 7, 1, 5, 3 };
    QTest::newRow("under a filter") << "Active = True"
                                    << "Name DESC" << QList<int> { 3, 7, 1, 5 };
    QTest::newRow("empty restores order") << ""
                                          << "" << QList<int> { 1, 2, 3, 4, 5, 6, 7, 8 };
}

void TestRecordsetFilter::sort()
{
    QFETCH(QString, filter);
    QFETCH(QString, sort);
    QFETCH(QList<int>, expected);
    RecordsetPtr rs = sampleRecordset();
    if (!filter.isEmpty())
        rs->setFilter(filter);
    rs->setSort(QStringLiteral("ID DESC"));
    rs->setSort(sort);
    QCOMPARE(rs->Sort(), sort);
    QCOMPARE(ids(rs), expected);
    // Lifting the filter keeps the sort.
    rs->setFilter(0);
    QCOMPARE(rs->Sort(), sort);
    QCOMPARE(rs->RecordCount(), 8);
}

void TestRecordsetFilter::badSortKeepsPreviousSort()
{
    RecordsetPtr rs = sampleRecordset();
    rs->setSort(QStringLiteral("Name"));
    const QList<int> before = ids(rs);
    // Each bad sort text, and the word its description must name.
    const QList<std::pair<const char *, const char *>> bad { { "Nope", "Nope" },
        { "ID, Nope DESC", "Nope" }, { "Name UP", "UP" }, { "ID sideways", "sideways" },
        { "Name,", "" }, { "Name ASC ID", "" }, { "[Full Name", "" }, { ", Name", "" } };
    for (const auto &[sort, mentions] : bad) {
        try {
            rs->setSort(QString::fromLatin1(sort));
            QFAIL(sort);
        } catch (const Error &e) {
            QCOMPARE(e.number(), int(adErrInvalidArgument));
            QVERIFY2(e.description().contains(QLatin1String(mentions), Qt::CaseInsensitive),
                qPrintable(e.description()));
        }
        QCOMPARE(rs->Sort(), QStringLiteral("Name"));
        QCOMPARE(ids(rs), before);
    }
}

void TestRecordsetFilter::sortIsStableOnLargeTies()
{
    // Many equal keys across both sort paths (numeric first key, text first key).
    auto rs = std::make_shared<Recordset>();
    rs->Fields().Append(QStringLiteral("K"), adInteger);
    rs->Fields().Append(QStringLiteral("T"), adVarWChar, 5);
    rs->Fields().Append(QStringLiteral("N"), adInteger);
    rs->Open();
    for (int i = 0; i < 2000; ++i) {
        rs->AddNew();
        rs->setCollect(QStringLiteral("K"), (i * 7919) % 5);
        rs->setCollect(QStringLiteral("T"), QString(QChar(u'a' + (i * 31) % 3)));
        rs->setCollect(QStringLiteral("N"), i);
        rs->Update();
    }
    for (const char *order : { "K", "T DESC", "K DESC, T" }) {
        rs->setSort(QString::fromLatin1(order));
        const auto keys = QString::fromLatin1(order).split(u',');
        for (int r = 1; r < rs->RecordCount(); ++r) {
            int cmp = 0;
            for (const QString &k : keys) {
                const QStringList parts = k.trimmed().split(u' ');
                const int f = rs->Fields().Item(parts[0]).index();
                const QVariant a = rs->ViewValue(r - 1, f), b = rs->ViewValue(r, f);
                cmp = a.typeId() == QMetaType::QString ? a.toString().compare(b.toString())
                                                       : a.toInt() - b.toInt();
                if (parts.size() > 1)
                    cmp = -cmp;
                if (cmp != 0)
                    break;
            }
            QVERIFY2(cmp < 0
                    || (cmp == 0 && rs->ViewValue(r - 1, 2).toInt() < rs->ViewValue(r, 2).toInt()),
                qPrintable(
                    QStringLiteral("order %1 broken at %2").arg(QLatin1String(order)).arg(r)));
        }
    }
}

QTEST_GUILESS_MAIN(TestRecordsetFilter)
#include "tst_recordset_filter.moc"
