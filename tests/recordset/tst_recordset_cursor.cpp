// Fields, cursor moves, clones over shared records, editing, value conversion, the grid's read
// access and ADO2ADO.
#include "sample_recordset.h"

#include <TestHelpers.h>
#include <tessera/Recordset.h>
#include <tessera/Runtime.h>

#include <QtTest>

using namespace tessera;
using tessera::test::ids;
using tessera::test::sampleRecordset;

class TestRecordsetCursor : public QObject {
    Q_OBJECT

private slots:
    void fieldsCollection();
    void fieldsAppendRules();
    void walkAndBounds();
    void emptySetReadsRaise();
    void clonesAreIndependentCursors();
    void recordsAddedOrDeletedAreSeenByEveryClone();
    void placeholderRecordOnEmptySet();
    void cancelUpdate();
    void deleteThenMove();
    void valueConversion_data();
    void valueConversion();
    void gridReadAccess();
    void changeStamp();
    void ado2ado_data();
    void ado2ado();
    void ado2adoLeavesSourceCursorAlone();
};

void TestRecordsetCursor::fieldsCollection()
{
    RecordsetPtr rs = sampleRecordset();
    Fields f = rs->Fields();
    QCOMPARE(f.Count(), 8);
    QCOMPARE(f.Item(2).Name(), QStringLiteral("Amount"));
    QCOMPARE(f.Item(QStringLiteral("amount")).index(), 2);
    QCOMPARE(f.Item(QStringLiteral("FULL NAME")).Type(), adVarWChar);
    QCOMPARE(f.Item(QStringLiteral("Name")).DefinedSize(), 50);
    QCOMPARE(f.Item(QStringLiteral("ID")).DefinedSize(), 4);
    QCOMPARE(f.Item(QStringLiteral("Born")).Type(), adDate);
    // Unspecified attributes resolve to updatable, may be null; fixed types are flagged fixed.
    const qint32 attrs = f.Item(QStringLiteral("ID")).Attributes();
    QVERIFY(attrs & adFldIsNullable);
    QVERIFY(attrs & adFldFixed);
    QVERIFY(!(f.Item(QStringLiteral("Name")).Attributes() & adFldFixed));
    QCOMPARE(f.Item(QStringLiteral("Name")).Value().toString(), QStringLiteral("Anna"));
    QVERIFY_TESSERA_ERROR(f.Item(QStringLiteral("Missing")), adErrItemNotFound);
    QVERIFY_TESSERA_ERROR(f.Item(8), adErrItemNotFound);
    QVERIFY_TESSERA_ERROR(f.Item(-1), adErrItemNotFound);
    QVERIFY_TESSERA_ERROR(rs->Collect(QStringLiteral("Missing")), adErrItemNotFound);
    try {
        f.Item(QStringLiteral("Missing"));
    } catch (const Error &e) {
        QVERIFY(e.description().startsWith(QStringLiteral(
            "Item cannot be found in the collection corresponding to the requested name or "
            "ordinal.")));
    }
}

void TestRecordsetCursor::fieldsAppendRules()
{
    Recordset rs;
    rs.Fields().Append(QStringLiteral("A"), adInteger);
    QVERIFY_TESSERA_ERROR(
        rs.Fields().Append(QStringLiteral("a"), adDouble), adErrObjectInCollection);
    QVERIFY_TESSERA_ERROR(rs.Fields().Append(QString(), adInteger), adErrInvalidArgument);
    QCOMPARE(rs.State(), adStateClosed);
    QVERIFY_TESSERA_ERROR(rs.MoveFirst(), adErrObjectClosed);
    QVERIFY_TESSERA_ERROR(rs.Clone(), adErrObjectClosed);
    QCOMPARE(rs.RecordCount(), 0);
    rs.Open();
    QCOMPARE(rs.State(), adStateOpen);
    QVERIFY_TESSERA_ERROR(rs.Open(), adErrObjectOpen);
    QVERIFY_TESSERA_ERROR(
        rs.Fields().Append(QStringLiteral("C"), adInteger), adErrIllegalOperation);
    QCOMPARE(rs.Fields().Count(), 1);
}

void TestRecordsetCursor::walkAndBounds()
{
    RecordsetPtr rs = sampleRecordset();
    QCOMPARE(ids(rs), (QList<int> { 1, 2, 3, 4, 5, 6, 7, 8 }));
    QVERIFY(rs->EOF_());
    QVERIFY_TESSERA_ERROR(rs->MoveNext(), adErrNoCurrentRecord);
    QVERIFY_TESSERA_ERROR(rs->Collect(QStringLiteral("ID")), adErrNoCurrentRecord);
    rs->MoveLast();
    QCOMPARE(rs->Collect(QStringLiteral("ID")).toInt(), 8);
    QCOMPARE(rs->AbsolutePosition(), 8);
    rs->MovePrevious();
    QCOMPARE(rs->Collect(QStringLiteral("ID")).toInt(), 7);
    rs->Move(-3);
    QCOMPARE(rs->AbsolutePosition(), 4);
    rs->Move(-10);
    QVERIFY(rs->BOF());
    QVERIFY(!rs->EOF_());
    QCOMPARE(rs->AbsolutePosition(), -2);
    QVERIFY_TESSERA_ERROR(rs->MovePrevious(), adErrNoCurrentRecord);
    QVERIFY_TESSERA_ERROR(rs->Fields().Item(0).Value(), adErrNoCurrentRecord);
    rs->MoveNext();
    QCOMPARE(rs->AbsolutePosition(), 1);
    rs->Move(100);
    QVERIFY(rs->EOF_());
    QCOMPARE(rs->AbsolutePosition(), -3);
    rs->setAbsolutePosition(5);
    QCOMPARE(rs->Collect(QStringLiteral("ID")).toInt(), 5);
    QVERIFY_TESSERA_ERROR(rs->setAbsolutePosition(0), adErrInvalidArgument);
    QVERIFY_TESSERA_ERROR(rs->setAbsolutePosition(9), adErrInvalidArgument);
    QCOMPARE(rs->AbsolutePosition(), 5);
}

void TestRecordsetCursor::emptySetReadsRaise()
{
    Recordset rs;
    rs.Fields().Append(QStringLiteral("Riga"), adInteger);
    rs.Open();
    QVERIFY(rs.BOF());
    QVERIFY(rs.EOF_());
    QCOMPARE(rs.RecordCount(), 0);
    rs.MoveFirst(); // allowed on an empty set
    QVERIFY_TESSERA_ERROR(rs.Collect(QStringLiteral("Riga")), adErrNoCurrentRecord);
    QVERIFY_TESSERA_ERROR(rs.setCollect(QStringLiteral("Riga"), 1), adErrNoCurrentRecord);
    QVERIFY_TESSERA_ERROR(rs.Delete(), adErrNoCurrentRecord);
    QVERIFY_TESSERA_ERROR(rs.MoveNext(), adErrNoCurrentRecord);
    try {
        rs.Collect(QStringLiteral("Riga"));
    } catch (const Error &e) {
        QCOMPARE(e.description(),
            QStringLiteral("Either BOF or EOF is True, or the current record has been "
                           "deleted. Requested operation requires a current record."));
    }
}

void TestRecordsetCursor::clonesAreIndependentCursors()
{
    RecordsetPtr rs = sampleRecordset();
    rs->setAbsolutePosition(3);
    RecordsetPtr a = rs->Clone();
    RecordsetPtr b = rs->Clone();
    // A clone starts unfiltered on the first record, whatever the source does.
    QCOMPARE(a->AbsolutePosition(), 1);
    a->setFilter(QStringLiteral("Active = True"));
    b->setSort(QStringLiteral("Name DESC"));
    b->MoveLast();
    QCOMPARE(a->RecordCount(), 4);
    QCOMPARE(b->RecordCount(), 8);
    QCOMPARE(rs->RecordCount(), 8);
    QCOMPARE(rs->Filter(), QStringLiteral("0"));
    QCOMPARE(rs->Sort(), QString());
    QCOMPARE(rs->AbsolutePosition(), 3);
    QCOMPARE(rs->Collect(QStringLiteral("ID")).toInt(), 3);
    QCOMPARE(ids(a), (QList<int> { 1, 3, 5, 7 }));
    QCOMPARE(b->Collect(QStringLiteral("Name")).toString(), QStringLiteral("anna"));
    // A value written through one cursor is read through the others.
    a->MoveFirst();
    a->setCollect(QStringLiteral("Note"), QStringLiteral("changed"));
    a->Update();
    rs->MoveFirst();
    QCOMPARE(rs->Collect(QStringLiteral("Note")).toString(), QStringLiteral("changed"));
}

void TestRecordsetCursor::recordsAddedOrDeletedAreSeenByEveryClone()
{
    RecordsetPtr rs = sampleRecordset();
    RecordsetPtr filtered = rs->Clone();
    filtered->setFilter(QStringLiteral("ID > 6"));
    RecordsetPtr clone = rs->Clone();
    clone->AddNew();
    clone->setCollect(QStringLiteral("ID"), 9);
    clone->setCollect(QStringLiteral("Name"), QStringLiteral("Zeno"));
    clone->Update();
    QCOMPARE(rs->RecordCount(), 9);
    QCOMPARE(filtered->RecordCount(), 3);
    QCOMPARE(ids(filtered), (QList<int> { 7, 8, 9 }));
    rs->MoveLast();
    QCOMPARE(rs->Collect(QStringLiteral("name")).toString(), QStringLiteral("Zeno"));
    // Deleting record 8 through the source: the filtered clone loses it, keeps its position.
    filtered->setAbsolutePosition(3); // ID 9
    rs->setAbsolutePosition(8);
    QCOMPARE(rs->Collect(QStringLiteral("ID")).toInt(), 8);
    rs->Delete();
    QCOMPARE(rs->RecordCount(), 8);
    QCOMPARE(clone->RecordCount(), 8);
    QCOMPARE(filtered->RecordCount(), 2);
    QCOMPARE(filtered->Collect(QStringLiteral("ID")).toInt(), 9);
    QCOMPARE(filtered->AbsolutePosition(), 2);
}

void TestRecordsetCursor::placeholderRecordOnEmptySet()
{
    auto rs = std::make_shared<Recordset>();
    rs->Fields().Append(QStringLiteral("Riga"), adInteger);
    rs->Fields().Append(QStringLiteral("Descr"), adVarWChar, 40);
    rs->Open();
    QCOMPARE(rs->RecordCount(), 0);
    rs->AddNew();
    QCOMPARE(rs->EditMode(), adEditAdd);
    rs->setCollect(QStringLiteral("Riga"), 0);
    rs->Update();
    QCOMPARE(rs->EditMode(), adEditNone);
    QCOMPARE(rs->RecordCount(), 1);
    RecordsetPtr clone = rs->Clone();
    QCOMPARE(clone->RecordCount(), 1);
    QVERIFY(!clone->EOF_());
    const QVariant riga = clone->Collect(QStringLiteral("RIGA"));
    QCOMPARE(riga.typeId(), QMetaType::Int);
    QCOMPARE(riga.toInt(), 0);
    QVERIFY(clone->Collect(QStringLiteral("Descr")).isNull());
    QCOMPARE(clone->ViewText(0, 0), QStringLiteral("0"));
    QCOMPARE(clone->ViewText(0, 1), QString());
}

void TestRecordsetCursor::cancelUpdate()
{
    RecordsetPtr rs = sampleRecordset();
    rs->setAbsolutePosition(2);
    rs->setCollect(QStringLiteral("Name"), QStringLiteral("Temp"));
    rs->setCollect(QStringLiteral("Amount"), 42);
    rs->setCollect(QStringLiteral("Name"), QStringLiteral("Temp2"));
    QCOMPARE(rs->EditMode(), adEditInProgress);
    rs->CancelUpdate();
    QCOMPARE(rs->Collect(QStringLiteral("Name")).toString(), QStringLiteral("bruno"));
    QCOMPARE(rs->Collect(QStringLiteral("Amount")).toDouble(), 3.0);

    rs->AddNew();
    rs->setCollect(QStringLiteral("ID"), 99);
    rs->CancelUpdate();
    QCOMPARE(rs->RecordCount(), 8);
    QCOMPARE(rs->Collect(QStringLiteral("ID")).toInt(), 2); // back on the record before AddNew

    // A move commits the edit.
    rs->setCollect(QStringLiteral("Name"), QStringLiteral("Kept"));
    rs->MoveNext();
    rs->CancelUpdate();
    rs->MovePrevious();
    QCOMPARE(rs->Collect(QStringLiteral("Name")).toString(), QStringLiteral("Kept"));
}

void TestRecordsetCursor::deleteThenMove()
{
    RecordsetPtr rs = sampleRecordset();
    rs->setAbsolutePosition(3);
    rs->Delete();
    QVERIFY_TESSERA_ERROR(rs->Collect(QStringLiteral("ID")), adErrNoCurrentRecord);
    rs->MoveNext();
    QCOMPARE(rs->Collect(QStringLiteral("ID")).toInt(), 4);
    rs->MoveLast();
    rs->Delete();
    rs->MoveNext();
    QVERIFY(rs->EOF_());
    QCOMPARE(ids(rs), (QList<int> { 1, 2, 4, 5, 6, 7 }));
}

void TestRecordsetCursor::valueConversion_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("size");
    QTest::addColumn<QVariant>("input");
    QTest::addColumn<QVariant>("expected"); // invalid: the write must fail (more in bad_input)

    const QVariant fails;
    QTest::newRow("int from text") << int(adInteger) << 0 << QVariant("42") << QVariant(42);
    QTest::newRow("int rounds half even") << int(adInteger) << 0 << QVariant(2.5) << QVariant(2);
    QTest::newRow("int from bool") << int(adInteger) << 0 << QVariant(true) << QVariant(-1);
    QTest::newRow("int overflow") << int(adInteger) << 0 << QVariant(3e9) << fails;
    QTest::newRow("smallint") << int(adSmallInt) << 0 << QVariant(-300)
                              << QVariant::fromValue(qint16(-300));
    QTest::newRow("tinyint low") << int(adTinyInt) << 0 << QVariant(-129) << fails;
    QTest::newRow("utinyint") << int(adUnsignedTinyInt) << 0 << QVariant(255) << QVariant(255);
    QTest::newRow("bigint exact") << int(adBigInt) << 0 << QVariant(qint64(9007199254740993))
                                  << QVariant(qint64(9007199254740993));
    QTest::newRow("bool from text") << int(adBoolean) << 0 << QVariant("true") << QVariant(true);
    QTest::newRow("bool from number") << int(adBoolean) << 0 << QVariant(5) << QVariant(true);
    QTest::newRow("double from text") << int(adDouble) << 0 << QVariant("1.5") << QVariant(1.5);
    QTest::newRow("double infinity")
        << int(adDouble) << 0 << QVariant("-Infinity") << QVariant(-qInf());
    QTest::newRow("single") << int(adSingle) << 0 << QVariant(0.1) << QVariant(0.1f);
    QTest::newRow("currency rounds to 4")
        << int(adCurrency) << 0 << QVariant(1.23456) << QVariant(1.2346);
    QTest::newRow("date from text") << int(adDate) << 0 << QVariant("2001-09-01 13:45")
                                    << QVariant(QDateTime(QDate(2001, 9, 1), QTime(13, 45)));
    QTest::newRow("date from serial") << int(adDate) << 0 << QVariant(36.5)
                                      << QVariant(QDateTime(QDate(1900, 2, 4), QTime(12, 0)));
    QTest::newRow("text from number") << int(adVarWChar) << 10 << QVariant(12) << QVariant("12");
    QTest::newRow("long text unlimited")
        << int(adLongVarWChar) << 0 << QVariant(QString(5000, u'x'))
        << QVariant(QString(5000, u'x'));
    QTest::newRow("empty text is not null")
        << int(adVarWChar) << 5 << QVariant(QString("")) << QVariant(QString(""));
    QTest::newRow("guid normalised")
        << int(adGUID) << 0 << QVariant("8ac68d3d-8a09-4403-8860-d0e494bbe894")
        << QVariant("{8AC68D3D-8A09-4403-8860-D0E494BBE894}");
    QTest::newRow("binary") << int(adVarBinary) << 4 << QVariant(QByteArray("\x01\x02", 2))
                            << QVariant(QByteArray("\x01\x02", 2));
    QTest::newRow("binary too long") << int(adBinary) << 2 << QVariant(QByteArray("abc")) << fails;
}

void TestRecordsetCursor::valueConversion()
{
    QFETCH(int, type);
    QFETCH(int, size);
    QFETCH(QVariant, input);
    QFETCH(QVariant, expected);
    Recordset rs;
    rs.Fields().Append(QStringLiteral("F"), DataTypeEnum(type), size);
    rs.Open();
    rs.AddNew();
    Field f = rs.Fields().Item(0);
    if (!expected.isValid()) {
        QVERIFY_TESSERA_ERROR(f.setValue(input), adErrDataConversion);
        QVERIFY(f.Value().isNull()); // left unchanged
        return;
    }
    f.setValue(input);
    const QVariant got = f.Value();
    QCOMPARE(got.typeId(), expected.typeId());
    QCOMPARE(got, expected);
    f.setValue(QVariant());
    QVERIFY(f.Value().isNull());
    QVERIFY(IsNull(f.Value()));
}

void TestRecordsetCursor::gridReadAccess()
{
    const QLocale saved = userLocale();
    setUserLocale(QLocale(QLocale::German, QLocale::Germany));
    RecordsetPtr rs = sampleRecordset();
    rs->setFilter(QStringLiteral("Amount >= 10"));
    rs->setSort(QStringLiteral("Amount DESC, Name"));
    QCOMPARE(rs->RecordCount(), 4);
    QCOMPARE(rs->FieldCount(), 8);
    QCOMPARE(rs->FieldName(7), QStringLiteral("Full Name"));
    QCOMPARE(rs->FieldName(8), QString());
    QCOMPARE(rs->FieldType(4), adDate);
    // view: 8 Ugo 100, 1 Anna 10.5, 7 Barbara 10.5, 3 Carla 10.5
    QCOMPARE(rs->ViewValue(0, 0).toInt(), 8);
    QCOMPARE(rs->ViewValue(2, 1).toString(), QStringLiteral("Barbara"));
    QCOMPARE(rs->ViewText(1, 2), QStringLiteral("10,5"));
    QCOMPARE(rs->ViewText(1, 3), QStringLiteral("1,25"));
    QCOMPARE(rs->ViewText(1, 5), QStringLiteral("True"));
    QCOMPARE(rs->ViewText(0, 5), QStringLiteral("False"));
    QCOMPARE(rs->ViewText(2, 6), QString()); // Null
    QCOMPARE(rs->ViewText(1, 4), QStringLiteral("01.05.1990")); // the runtime's short date
    QVERIFY(!rs->ViewValue(4, 0).isValid());
    QCOMPARE(rs->ViewText(-1, 0), QString());
    QVERIFY(!rs->ViewValue(0, 99).isValid());
    // Reading through the view does not move the cursor.
    rs->setAbsolutePosition(3);
    rs->ViewValue(0, 0);
    QCOMPARE(rs->AbsolutePosition(), 3);
    rs->SetViewValue(3, 1, QStringLiteral("Carlotta"));
    QCOMPARE(rs->ViewValue(3, 1).toString(), QStringLiteral("Carlotta"));
    QVERIFY_TESSERA_ERROR(rs->SetViewValue(4, 1, 1), adErrInvalidArgument);
    QVERIFY_TESSERA_ERROR(rs->SetViewValue(0, 0, QStringLiteral("x")), adErrDataConversion);
    setUserLocale(saved);
}

void TestRecordsetCursor::changeStamp()
{
    RecordsetPtr rs = sampleRecordset();
    RecordsetPtr other = rs->Clone();
    quint64 s = rs->ChangeStamp();
    rs->MoveNext();
    rs->ViewText(0, 0);
    QCOMPARE(rs->ChangeStamp(), s);
    const auto bumps = [&](auto &&change) {
        change();
        const quint64 now = rs->ChangeStamp();
        const bool bumped = now > s;
        s = now;
        return bumped;
    };
    QVERIFY(bumps([&] { rs->setFilter(QStringLiteral("ID > 2")); }));
    QVERIFY(bumps([&] { rs->setSort(QStringLiteral("Name")); }));
    QVERIFY(bumps([&] { rs->setCollect(QStringLiteral("Note"), QStringLiteral("n")); }));
    QVERIFY(bumps([&] {
        other->AddNew();
        other->setCollect(QStringLiteral("ID"), 50);
        other->Update();
    }));
    QVERIFY(bumps([&] {
        other->MoveFirst();
        other->Delete();
    }));
    QVERIFY(bumps([&] { other->SetViewValue(0, 1, QStringLiteral("zz")); }));
    QVERIFY(!bumps([&] { rs->MoveFirst(); }));
    // Closed and opened again on a new table: the stamp still grows, never repeats.
    QVERIFY(bumps([&] { rs->Close(); }));
    QVERIFY(bumps([&] {
        rs->Fields().Append(QStringLiteral("A"), adInteger);
        rs->Open();
    }));
}

void TestRecordsetCursor::ado2ado_data()
{
    QTest::addColumn<bool>("copyData");
    QTest::addColumn<bool>("rowIndex");
    QTest::addColumn<int>("fields");
    QTest::addColumn<int>("records");
    QTest::newRow("structure only") << false << false << 8 << 0;
    QTest::newRow("structure and row index") << false << true << 9 << 0;
    QTest::newRow("data") << true << false << 8 << 8;
    QTest::newRow("data and row index") << true << true << 9 << 8;
}

void TestRecordsetCursor::ado2ado()
{
    QFETCH(bool, copyData);
    QFETCH(bool, rowIndex);
    QFETCH(int, fields);
    QFETCH(int, records);
    RecordsetPtr source = sampleRecordset();
    RecordsetPtr dest = std::make_shared<Recordset>(); // replaced, not reused
    RecordsetPtr old = dest;
    ADO2ADO(source, dest, copyData, rowIndex);
    QVERIFY(dest != old);
    QCOMPARE(dest->State(), adStateOpen);
    QCOMPARE(dest->Fields().Count(), fields);
    QCOMPARE(dest->RecordCount(), records);
    for (int i = 0; i < 8; ++i) {
        const Field a = source->Fields().Item(i), b = dest->Fields().Item(i);
        QCOMPARE(b.Name(), a.Name());
        QCOMPARE(b.Type(), a.Type());
        QCOMPARE(b.DefinedSize(), a.DefinedSize());
        QVERIFY(b.Attributes() & adFldIsNullable);
    }
    if (rowIndex) {
        const Field ri = dest->Fields().Item(QStringLiteral("rowindex"));
        QCOMPARE(ri.Name(), QStringLiteral("RowIndex"));
        QCOMPARE(ri.Type(), adBigInt);
        QCOMPARE(ri.DefinedSize(), 8);
    }
    if (records) {
        QCOMPARE(dest->AbsolutePosition(), 1);
        QCOMPARE(ids(dest), ids(source));
        for (int r = 0; r < records; ++r) {
            for (int f = 0; f < 8; ++f)
                QCOMPARE(dest->ViewValue(r, f), source->ViewValue(r, f));
            if (rowIndex)
                QCOMPARE(dest->ViewValue(r, 8).toLongLong(), qint64(r + 1));
        }
        // The copy is its own data: writing to it leaves the source alone.
        dest->MoveFirst();
        dest->setCollect(QStringLiteral("Name"), QStringLiteral("Copy"));
        source->MoveFirst();
        QCOMPARE(source->Collect(QStringLiteral("Name")).toString(), QStringLiteral("Anna"));
    }
    // A missing source still gives an open, empty record set.
    RecordsetPtr none;
    ADO2ADO(none, dest, copyData, rowIndex);
    QCOMPARE(dest->State(), adStateOpen);
    QCOMPARE(dest->Fields().Count(), rowIndex ? 1 : 0);
}

void TestRecordsetCursor::ado2adoLeavesSourceCursorAlone()
{
    // The row-tag lookup: a filtered source, copied with data and index, then the filter on the
    // copy finds each visible record's number in the unfiltered order.
    RecordsetPtr source = sampleRecordset();
    source->setFilter(QStringLiteral("Active = False"));
    source->setSort(QStringLiteral("Name"));
    source->setAbsolutePosition(2);
    RecordsetPtr copy;
    ADO2ADO(source, copy, true, true);
    QCOMPARE(copy->RecordCount(), 8);
    QCOMPARE(source->RecordCount(), 4);
    QCOMPARE(source->Filter(), QStringLiteral("Active = False"));
    QCOMPARE(source->AbsolutePosition(), 2);
    copy->setFilter(QStringLiteral("Active = False"));
    QCOMPARE(tessera::test::column(copy, QStringLiteral("RowIndex")),
        (QList<QVariant> { qint64(2), qint64(4), qint64(6), qint64(8) }));
}

QTEST_GUILESS_MAIN(TestRecordsetCursor)
#include "tst_recordset_cursor.moc"
