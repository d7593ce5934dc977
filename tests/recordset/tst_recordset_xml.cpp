// Rowset XML: every fixture file, the writer's exact layout, round trips over every type, saving
// the current view or refusing text XML cannot hold, and the forms of XML the reader takes (bad
// files and the other refused saves are in the bad input test).
#include "sample_recordset.h"

#include <TestHelpers.h>
#include <tessera/Recordset.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace tessera;
using tessera::test::document;
using tessera::test::field;
using tessera::test::fixturePath;
using tessera::test::ids;
using tessera::test::sampleRecordset;

namespace {

QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &data)
{
    const QString path = dir.filePath(name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(data);
    return path;
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

RecordsetPtr openFile(const QString &path)
{
    auto rs = std::make_shared<Recordset>();
    rs->Open(path);
    return rs;
}

QDateTime dt(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms));
}

} // namespace

class TestRecordsetXml : public QObject {
    Q_OBJECT

private slots:
    void fixtureStructure_data();
    void fixtureStructure();
    void fixtureValues();
    void writerLayout();
    void roundTripEveryType();
    void saveWritesTheCurrentView();
    void saveRefusesTextXmlCannotHold();
    void readerVariants_data();
    void readerVariants();
};

void TestRecordsetXml::fixtureStructure_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<int>>("types");
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<QVariantList>("firstField");

    QTest::newRow("jet") << "jet-debtors-currency-dates.xml"
                         << QStringList { "DebtorKey", "DebtorCode", "DebtorDesc", "DebtorDate",
                                "DebtorAmount", "StatusCode" }
                         << QList<int> { adInteger, adVarChar, adVarChar, adDate, adCurrency,
                                adVarChar }
                         << QList<int> { 4, 50, 100, 16, 8, 50 }
                         << QVariantList { 1, 2, 3, 4, 5, 6, 7, 8, 10 };
    QTest::newRow("prstfr") << "ms-prstfr-nulls-guid-binhex.xml"
                            << QStringList { "name", "bin", "GUID", "date", "float", "flag" }
                            << QList<int> { adVarWChar, adVarBinary, adGUID, adDate, adDouble,
                                   adBoolean }
                            << QList<int> { 10, 8, 16, 16, 8, 2 }
                            << QVariantList { "sample1", "sample2" };
    QTest::newRow("pending") << "shippers-pending-changes.xml"
                             << QStringList { "ShipperID", "CompanyName", "Phone" }
                             << QList<int> { adInteger, adVarWChar, adVarWChar }
                             << QList<int> { 4, 40, 24 } << QVariantList { 2, 3, 12, 13, 14 };
    QTest::newRow("sqloledb") << "sqloledb-shippers-keycolumn.xml"
                              << QStringList { "ShipperID", "CompanyName", "Phone" }
                              << QList<int> { adInteger, adVarWChar, adVarWChar }
                              << QList<int> { 4, 40, 24 } << QVariantList { 1, 2, 3 };
    QTest::newRow("alias") << "visio-alias-c1-rsname.xml" << QStringList { "Cities" }
                           << QList<int> { adVarWChar } << QList<int> { 255 }
                           << QVariantList { "Seattle", "Redmond" };
}

void TestRecordsetXml::fixtureStructure()
{
    QFETCH(QString, file);
    QFETCH(QStringList, names);
    QFETCH(QList<int>, types);
    QFETCH(QList<int>, sizes);
    QFETCH(QVariantList, firstField);
    RecordsetPtr rs = openFile(fixturePath(QStringLiteral("ado-xml/") + file));
    QCOMPARE(rs->Fields().Count(), names.size());
    for (int i = 0; i < names.size(); ++i) {
        const Field f = rs->Fields().Item(i);
        QCOMPARE(f.Name(), names[i]);
        QCOMPARE(int(f.Type()), types[i]);
        QCOMPARE(f.DefinedSize(), sizes[i]);
    }
    QCOMPARE(rs->RecordCount(), firstField.size());
    QCOMPARE(rs->AbsolutePosition(), 1);
    for (int r = 0; r < firstField.size(); ++r)
        QCOMPARE(rs->ViewText(r, 0), firstField[r].toString());

    // Saved by us and read back, every fixture keeps its fields and values.
    QTemporaryDir dir;
    const QString copy = dir.filePath(QStringLiteral("copy.xml"));
    rs->Save(copy, adPersistXML);
    RecordsetPtr again = openFile(copy);
    QCOMPARE(again->Fields().Count(), names.size());
    QCOMPARE(again->RecordCount(), rs->RecordCount());
    for (int i = 0; i < names.size(); ++i) {
        QCOMPARE(again->Fields().Item(i).Name(), rs->Fields().Item(i).Name());
        QCOMPARE(again->Fields().Item(i).Type(), rs->Fields().Item(i).Type());
        QCOMPARE(again->Fields().Item(i).Attributes(), rs->Fields().Item(i).Attributes());
        for (int r = 0; r < rs->RecordCount(); ++r)
            QCOMPARE(again->ViewValue(r, i), rs->ViewValue(r, i));
    }
}

void TestRecordsetXml::fixtureValues()
{
    RecordsetPtr jet
        = openFile(fixturePath(QStringLiteral("ado-xml/jet-debtors-currency-dates.xml")));
    QCOMPARE(jet->ViewValue(3, 4).toDouble(), 2635.23);
    QCOMPARE(jet->ViewValue(4, 4).toDouble(), 895.556);
    QCOMPARE(jet->ViewValue(8, 4).toDouble(), 12.12);
    QCOMPARE(jet->ViewValue(8, 3).toDateTime(), dt(2002, 2, 2, 2, 2, 2));
    QCOMPARE(jet->ViewValue(6, 1).toString(), QStringLiteral("Azhan ?"));
    const qint32 key = jet->Fields().Item(0).Attributes();
    QVERIFY(!(key & adFldIsNullable));
    QVERIFY(key & adFldMayDefer);
    QVERIFY(key & adFldFixed);
    QVERIFY(jet->Fields().Item(1).Attributes() & adFldUnknownUpdatable);
    jet->setFilter(QStringLiteral("DebtorAmount > 500 AND StatusCode = 'unpaid'"));
    QCOMPARE(jet->RecordCount(), 2);

    RecordsetPtr ms
        = openFile(fixturePath(QStringLiteral("ado-xml/ms-prstfr-nulls-guid-binhex.xml")));
    QCOMPARE(ms->ViewValue(0, 1).toByteArray(), QByteArray::fromHex("00000000499602d2"));
    QCOMPARE(
        ms->ViewValue(0, 2).toString(), QStringLiteral("{8AC68D3D-8A09-4403-8860-D0E494BBE894}"));
    QCOMPARE(ms->ViewValue(0, 3).toDateTime(), dt(2008, 1, 25, 13, 4));
    QCOMPARE(ms->ViewValue(0, 4).toDouble(), 3.1415926535897932);
    QCOMPARE(ms->ViewValue(0, 5), QVariant(false));
    for (int f : { 1, 2, 4 })
        QVERIFY(ms->ViewValue(1, f).isNull());
    QCOMPARE(ms->ViewValue(1, 3).toDateTime(), dt(2008, 2, 13, 18, 49));
    QCOMPARE(ms->ViewValue(1, 5), QVariant(true));

    RecordsetPtr pending
        = openFile(fixturePath(QStringLiteral("ado-xml/shippers-pending-changes.xml")));
    pending->setFilter(QStringLiteral("ShipperID = 3"));
    QCOMPARE(
        pending->Collect(QStringLiteral("Phone")).toString(), QStringLiteral("(503) 552-7134"));
    QCOMPARE(pending->Collect(QStringLiteral("CompanyName")).toString(),
        QStringLiteral("Federal Shipping"));
    pending->setFilter(QStringLiteral("ShipperID = 1"));
    QCOMPARE(pending->RecordCount(), 0);
    const qint32 shipper = pending->Fields().Item(0).Attributes();
    QVERIFY(shipper & adFldKeyColumn);
    QVERIFY(!(shipper & adFldMayBeNull));
    QVERIFY(pending->Fields().Item(1).Attributes() & adFldUpdatable);
}

void TestRecordsetXml::writerLayout()
{
    auto rs = std::make_shared<Recordset>();
    rs->Fields().Append(QStringLiteral("ID"), adInteger, 0, adFldKeyColumn);
    rs->Fields().Append(QStringLiteral("Part Name"), adVarWChar, 50);
    rs->Fields().Append(QStringLiteral("Price"), adCurrency);
    rs->Open();
    rs->AddNew();
    rs->setCollect(QStringLiteral("ID"), 1);
    rs->setCollect(QStringLiteral("Part Name"), QStringLiteral("Bolt & Nut"));
    rs->setCollect(QStringLiteral("Price"), 0.25);
    rs->AddNew();
    rs->setCollect(QStringLiteral("ID"), 2);
    rs->setCollect(QStringLiteral("Part Name"), QStringLiteral("O'Brien clip"));
    rs->Update();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("parts.xml"));
    rs->Save(path);
    const QByteArray expected
        = "<xml xmlns:s='uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882'\n"
          "\txmlns:dt='uuid:C2F41010-65B3-11d1-A29F-00AA00C14882'\n"
          "\txmlns:rs='urn:schemas-microsoft-com:rowset'\n"
          "\txmlns:z='#RowsetSchema'>\n"
          "<s:Schema id='RowsetSchema'>\n"
          "\t<s:ElementType name='row' content='eltOnly' rs:updatable='true'>\n"
          "\t\t<s:AttributeType name='ID' rs:number='1' rs:keycolumn='true'>\n"
          "\t\t\t<s:datatype dt:type='int' dt:maxLength='4' rs:precision='10' "
          "rs:fixedlength='true' rs:maybenull='false'/>\n"
          "\t\t</s:AttributeType>\n"
          "\t\t<s:AttributeType name='c1' rs:name='Part Name' rs:number='2' rs:nullable='true' "
          "rs:write='true'>\n"
          "\t\t\t<s:datatype dt:type='string' dt:maxLength='50'/>\n"
          "\t\t</s:AttributeType>\n"
          "\t\t<s:AttributeType name='Price' rs:number='3' rs:nullable='true' rs:write='true'>\n"
          "\t\t\t<s:datatype dt:type='number' rs:dbtype='currency' dt:maxLength='8' "
          "rs:precision='19' rs:fixedlength='true'/>\n"
          "\t\t</s:AttributeType>\n"
          "\t\t<s:extends type='rs:rowbase'/>\n"
          "\t</s:ElementType>\n"
          "</s:Schema>\n"
          "<rs:data>\n"
          "\t<z:row ID='1' c1='Bolt &amp; Nut' Price='0.25'/>\n"
          "\t<z:row ID='2' c1='O&apos;Brien clip'/>\n"
          "</rs:data>\n"
          "</xml>\n";
    QCOMPARE(readFile(path), expected);
    // An empty view writes an empty data element.
    rs->setFilter(QStringLiteral("ID > 5"));
    const QString empty = dir.filePath(QStringLiteral("empty.xml"));
    rs->Save(empty);
    QVERIFY(readFile(empty).endsWith("</s:Schema>\n<rs:data/>\n</xml>\n"));
    QCOMPARE(openFile(empty)->RecordCount(), 0);
    QCOMPARE(openFile(empty)->Fields().Count(), 3);
}

void TestRecordsetXml::roundTripEveryType()
{
    struct FieldCase {
        const char *name;
        DataTypeEnum type;
        int size;
        QVariant a, b;
    };
    const QList<FieldCase> fieldCases = {
        { "Small", adSmallInt, 0, QVariant::fromValue(qint16(-32768)),
            QVariant::fromValue(qint16(7)) },
        { "Int", adInteger, 0, 2147483647, -1 },
        { "Single", adSingle, 0, 3.14159f, -0.1f },
        { "Double", adDouble, 0, 0.1 + 0.2, 1e-300 },
        { "Money", adCurrency, 0, -1234567.8901, 0.0001 },
        { "When", adDate, 0, dt(2024, 2, 29, 23, 59, 59, 123), dt(1899, 12, 30) },
        { "Flag", adBoolean, 0, true, false },
        { "Dec", adDecimal, 0, 12.75, -0.5 },
        { "Tiny", adTinyInt, 0, -128, 127 },
        { "UTiny", adUnsignedTinyInt, 0, 255, 0 },
        { "Big", adBigInt, 0, qint64(-9223372036854775807LL), qint64(9007199254740993LL) },
        { "Guid", adGUID, 0, "{8AC68D3D-8A09-4403-8860-D0E494BBE894}",
            "{00000000-0000-0000-0000-000000000000}" },
        { "Bin", adBinary, 4, QByteArray("\x00\xff\x10\x20", 4), QByteArray("", 0) },
        { "Char", adChar, 5, "ab", "12345" },
        { "WChar", adWChar, 5, QString::fromUtf8("é\"ü"), "x" },
        { "Num", adNumeric, 0, 1.5, 1e15 },
        { "Stamp", adDBTimeStamp, 0, dt(2000, 1, 1, 0, 0, 1), dt(1970, 6, 15, 12) },
        { "Part Name", adVarChar, 40, "a&b<c>'d\"e", "  lead and trail  " },
        { "c1", adLongVarChar, 0, "line1\nline2\r\n\ttabbed", QString(3000, u'z') },
        { "Città", adVarWChar, 20, QString::fromUtf8("Città €😀"), QString("") },
        { "_long", adLongVarWChar, 0, QString::fromUtf8("ünï ∑ ✓"), "]]>&amp;" },
        { "VarBin", adVarBinary, 0, QByteArray("\x01\x02\x03"), QByteArray(300, '\x7f') },
    };
    auto rs = std::make_shared<Recordset>();
    for (const FieldCase &s : fieldCases)
        rs->Fields().Append(QString::fromUtf8(s.name), s.type, s.size);
    rs->Open();
    for (int row = 0; row < 3; ++row) {
        rs->AddNew();
        for (int f = 0; f < fieldCases.size(); ++f)
            if (row < 2)
                rs->Fields().Item(f).setValue(row == 0 ? fieldCases[f].a : fieldCases[f].b);
        rs->Update(); // row 2: every field Null
    }
    QTemporaryDir dir;
    const QString first = dir.filePath(QStringLiteral("all.xml"));
    rs->Save(first);
    RecordsetPtr back = openFile(first);
    QCOMPARE(back->Fields().Count(), fieldCases.size());
    QCOMPARE(back->RecordCount(), 3);
    for (int f = 0; f < fieldCases.size(); ++f) {
        const Field a = rs->Fields().Item(f), b = back->Fields().Item(f);
        QCOMPARE(b.Name(), a.Name());
        QCOMPARE(b.Type(), a.Type());
        QCOMPARE(b.DefinedSize(), a.DefinedSize());
        QCOMPARE(b.Attributes(), a.Attributes());
        QCOMPARE(b.Precision(), a.Precision());
        QCOMPARE(b.NumericScale(), a.NumericScale());
        for (int r = 0; r < 3; ++r) {
            const QVariant va = rs->ViewValue(r, f), vb = back->ViewValue(r, f);
            QVERIFY2(va.typeId() == vb.typeId() && va == vb,
                qPrintable(QStringLiteral("%1 row %2: %3 vs %4")
                               .arg(a.Name())
                               .arg(r)
                               .arg(va.toString(), vb.toString())));
        }
    }
    QVERIFY(back->ViewValue(2, 0).isNull());
    QCOMPARE(back->ViewValue(1, 19).toString(), QString("")); // empty text is not Null
    // Saving what was read gives the same bytes.
    const QString second = dir.filePath(QStringLiteral("again.xml"));
    back->Save(second);
    QCOMPARE(readFile(second), readFile(first));
}

void TestRecordsetXml::saveWritesTheCurrentView()
{
    RecordsetPtr rs = sampleRecordset();
    rs->setFilter(QStringLiteral("Active = True"));
    rs->setSort(QStringLiteral("Name DESC"));
    rs->setAbsolutePosition(2);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("view.xml"));
    rs->Save(path);
    QCOMPARE(rs->AbsolutePosition(), 2);
    QCOMPARE(rs->Filter(), QStringLiteral("Active = True"));
    RecordsetPtr back = openFile(path);
    QCOMPARE(ids(back), (QList<int> { 3, 7, 1, 5 }));
    QCOMPARE(back->Fields().Item(7).Name(), QStringLiteral("Full Name"));
    QCOMPARE(back->Filter(), QStringLiteral("0"));
}

void TestRecordsetXml::saveRefusesTextXmlCannotHold()
{
    RecordsetPtr rs = sampleRecordset();
    QTemporaryDir dir;
    rs->MoveLast();
    rs->setCollect(QStringLiteral("Name"), QStringLiteral("bell\x07"));
    QVERIFY_TESSERA_ERROR(
        rs->Save(dir.filePath(QStringLiteral("control.xml"))), adErrDataConversion);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList());
}

void TestRecordsetXml::readerVariants_data()
{
    // Saved files take a quick path; anything unusual goes through the full reader. Both must
    // give what the XML means.
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<int>("type"); // of the first field
    QTest::addColumn<QVariantList>("values"); // record by record, field by field; invalid = Null

    QTest::newRow("declaration, double quotes")
        << QByteArray("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n")
            + document("<s:AttributeType name=\"A\" rs:number=\"1\"><s:datatype "
                       "dt:type=\"int\"/></s:AttributeType>",
                "<z:row A=\"5\"/>")
        << int(adInteger) << QVariantList { 5 };
    QTest::newRow("type on the attribute") << document(
        "<s:AttributeType name='A' dt:type='float'/>", "<z:row A='1.5'/><z:row A='-2E3'/>")
                                           << int(adDouble) << QVariantList { 1.5, -2000.0 };
    QTest::newRow("no type is text")
        << document("<s:AttributeType name='A'/>", "<z:row A='x'/><z:row/>") << int(adVarWChar)
        << QVariantList { "x", QVariant() };
    QTest::newRow("boolean forms") << document(
        field("A", "boolean"), "<z:row A='True'/><z:row A='false'/><z:row A='1'/><z:row A='0'/>")
                                   << int(adBoolean) << QVariantList { true, false, true, false };
    QTest::newRow("dates with fraction and zone")
        << document(
               field("A", "dateTime"), "<z:row A='2001-02-03T04:05:06.7Z'/><z:row A='2001-02-03'/>")
        << int(adDate) << QVariantList { dt(2001, 2, 3, 4, 5, 6, 700), dt(2001, 2, 3) };
    QTest::newRow("currency exact")
        << document(field("A", "number", " rs:dbtype='currency'"),
               "<z:row A='-0.0001'/><z:row A='92233720368.5477'/>")
        << int(adCurrency) << QVariantList { -0.0001, 92233720368.5477 };
    QTest::newRow("base64") << document(field("A", "bin.base64"), "<z:row A='AQID'/>")
                            << int(adVarBinary) << QVariantList { QByteArray("\x01\x02\x03") };
    QTest::newRow("utf-16") << QByteArray("\xff\xfe") + [] {
        const QString s
            = QString::fromUtf8(document("<s:AttributeType name='A'/>", "<z:row A='Città'/>"));
        return QByteArray(reinterpret_cast<const char *>(s.utf16()), s.size() * 2);
    }() << int(adVarWChar) << QVariantList { QString::fromUtf8("Città") };

    // A text field A and an integer field B.
    const auto ab = [](const char *name, const QByteArray &rows, const QVariantList &values) {
        QTest::newRow(name) << document(field("A", "string") + field("B", "int"), rows)
                            << int(adVarWChar) << values;
    };
    const QVariant null;
    ab("plain", "<z:row A='x' B='1'/>", { "x", 1 });
    ab("entities", "<z:row A='&lt;&amp;&gt;&apos;&quot;' B='2'/>", { "<&>'\"", 2 });
    ab("white space in values", "<z:row A='a\tb\nc\r\nd' B='3'/>", { "a b c d", 3 });
    ab("character references", "<z:row A='&#9;&#x41;&#128512;' B='4'/>",
        { QString::fromUtf8("\tA😀"), 4 });
    ab("utf-8", "<z:row A='Città ✓' B='5'/>", { QString::fromUtf8("Città ✓"), 5 });
    ab("double quotes, blanks", "<z:row  B = \"6\"\n A = \"q'uote\" />", { "q'uote", 6 });
    ab("start and end tags", "<z:row A='y' B='7'>\n</z:row >", { "y", 7 });
    ab("missing is Null", "<z:row B='8'/><z:row A=''/>", { null, 8, "", null });
    ab("comment", "<!-- note --><z:row A='z' B='9'/>", { "z", 9 });
    ab("undeclared attribute ignored", "<z:row A='u' C='0' B='10'/>", { "u", 10 });
    ab("pending insert", "<z:row A='i' B='11'/><rs:insert><z:row A='j' B='12'/></rs:insert>",
        { "i", 11, "j", 12 });
    QByteArray many;
    QVariantList manyValues;
    for (int i = 0; i < 3000; ++i) {
        many += "<z:row A='r" + QByteArray::number(i) + "' B='" + QByteArray::number(i) + "'/>\n";
        manyValues << QStringLiteral("r%1").arg(i) << i;
    }
    ab("many records", many, manyValues);
}

void TestRecordsetXml::readerVariants()
{
    QFETCH(QByteArray, xml);
    QFETCH(int, type);
    QFETCH(QVariantList, values);
    QTemporaryDir dir;
    RecordsetPtr rs = openFile(writeFile(dir, QStringLiteral("v.xml"), xml));
    QCOMPARE(int(rs->Fields().Item(0).Type()), type);
    const int fields = rs->FieldCount();
    QCOMPARE(rs->RecordCount() * fields, values.size());
    for (int k = 0; k < values.size(); ++k) {
        const QVariant got = rs->ViewValue(k / fields, k % fields);
        if (!values[k].isValid())
            QVERIFY(got.isNull());
        else
            QCOMPARE(got, values[k]);
    }
}

QTEST_GUILESS_MAIN(TestRecordsetXml)
#include "tst_recordset_xml.moc"
