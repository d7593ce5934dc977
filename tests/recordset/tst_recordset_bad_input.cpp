// Hostile and mistaken input to the record set (bad criteria and sort texts are in the filter
// test): values of the wrong type or size, Save targets that cannot be written, files that cannot
// be read or are no well-formed rowset. Each must raise its defined error with a description, keep
// the records as they were and leave no stray file behind.
#include "sample_recordset.h"

#include <TestHelpers.h>
#include <tessera/Recordset.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <functional>
#include <limits>
#include <sys/resource.h>
#include <unistd.h>

using namespace tessera;
using tessera::test::document;
using tessera::test::field;

namespace {

// What an action may touch: the open record set, a closed one with its fields appended, and a
// scratch folder (holding "input.xml" when the row brings a file).
struct Scene {
    RecordsetPtr rs;
    RecordsetPtr fresh;
    QString dir;
    QString path(const QString &name) const { return dir + QLatin1Char('/') + name; }
};

using Action = std::function<void(Scene &)>;

RecordsetPtr records()
{
    auto rs = std::make_shared<Recordset>();
    Fields f = rs->Fields();
    f.Append(QStringLiteral("ID"), adInteger);
    f.Append(QStringLiteral("Small"), adSmallInt);
    f.Append(QStringLiteral("Tiny"), adUnsignedTinyInt);
    f.Append(QStringLiteral("Name"), adVarWChar, 20);
    f.Append(QStringLiteral("Memo"), adLongVarWChar);
    f.Append(QStringLiteral("Amount"), adDouble);
    f.Append(QStringLiteral("Price"), adCurrency);
    f.Append(QStringLiteral("Born"), adDate);
    f.Append(QStringLiteral("Active"), adBoolean);
    f.Append(QStringLiteral("Key"), adGUID);
    f.Append(QStringLiteral("Data"), adVarBinary, 8);
    rs->Open();
    for (int i = 1; i <= 6; ++i) {
        rs->AddNew();
        rs->setCollect(QStringLiteral("ID"), i);
        rs->setCollect(QStringLiteral("Small"), -i * 1000);
        rs->setCollect(QStringLiteral("Tiny"), i * 40);
        rs->setCollect(QStringLiteral("Name"), QStringLiteral("name %1").arg(i));
        if (i % 2)
            rs->setCollect(QStringLiteral("Memo"), QString(i * 100, QLatin1Char('m')));
        rs->setCollect(QStringLiteral("Amount"), i / 3.0);
        rs->setCollect(QStringLiteral("Price"), i * 2.5);
        rs->setCollect(QStringLiteral("Born"), QDateTime(QDate(1990 + i, i, i * 3), QTime(i, 0)));
        rs->setCollect(QStringLiteral("Active"), i % 3 == 0);
        rs->setCollect(QStringLiteral("Key"),
            QStringLiteral("{6F9619FF-8B86-D011-B42D-00C04FC964F%1}").arg(i));
        rs->setCollect(QStringLiteral("Data"), QByteArray(i, char(i)));
        rs->Update();
    }
    rs->MoveFirst();
    return rs;
}

// Every value of every record, as stored.
QList<QVariantList> snapshot(const RecordsetPtr &rs)
{
    QList<QVariantList> out;
    RecordsetPtr all = rs->Clone();
    for (int v = 0; v < all->RecordCount(); ++v) {
        QVariantList row;
        for (int f = 0; f < all->FieldCount(); ++f)
            row << all->ViewValue(v, f);
        out << row;
    }
    return out;
}

// Names and contents of everything in a folder, hidden files and subfolders included.
QMap<QString, QByteArray> folder(const QString &dir)
{
    QMap<QString, QByteArray> out;
    QDir d(dir);
    const auto entries
        = d.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &fi : entries) {
        if (fi.isDir()) {
            const auto inner = folder(fi.filePath());
            for (auto it = inner.begin(); it != inner.end(); ++it)
                out.insert(fi.fileName() + QLatin1Char('/') + it.key(), it.value());
            out.insert(fi.fileName() + QLatin1Char('/'), QByteArray());
            continue;
        }
        QFile f(fi.filePath());
        out.insert(fi.fileName(), f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("?"));
    }
    return out;
}

// Keeps the process from being killed while a file size limit makes writes fail.
struct FileSizeLimit {
    rlimit old {};
    void (*oldHandler)(int) = nullptr;
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old);
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = old;
        lim.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
};

const QString giantText(20 * 1024 * 1024, QLatin1Char('g'));

} // namespace

Q_DECLARE_METATYPE(Action)

class TestRecordsetBadInput : public QObject {
    Q_OBJECT

private slots:
    void badInput_data();
    void badInput();
    void loadedValuesGoBackIn_data();
    void loadedValuesGoBackIn();
};

void TestRecordsetBadInput::badInput_data()
{
    QTest::addColumn<Action>("action");
    QTest::addColumn<QByteArray>("file"); // written to input.xml first unless null
    QTest::addColumn<int>("number");
    QTest::addColumn<QString>("mentions"); // a word the description must name

    const QByteArray none;
    const int conv = adErrDataConversion;
    // A value refused by a field, whose description must name the field.
    const auto refused = [](const char *name, const char *field, const QVariant &v) {
        QTest::newRow(name) << Action([field, v](Scene &s) {
            s.rs->setCollect(QString::fromLatin1(field), v);
        }) << QByteArray() << int(adErrDataConversion)
                            << QStringLiteral("'%1'").arg(field);
    };

    // ---- values put into fields ----------------------------------------------------------
    refused("text into integer", "ID", "twelve");
    refused("number text with junk into integer", "ID", "12abc");
    refused("huge number into small int", "Small", 70000);
    refused("huge double into integer", "ID", 1e300);
    refused("64-bit into integer", "ID", std::numeric_limits<qint64>::max());
    refused("negative into unsigned tiny", "Tiny", -1);
    refused("256 into unsigned tiny", "Tiny", 256);
    refused("infinity into integer", "ID", std::numeric_limits<double>::infinity());
    refused("1e999 text into double", "Amount", "1e999");
    refused("beyond the currency range", "Price", 1e15);
    refused("negative beyond the currency range", "Price", -1e300);
    refused("garbage date text", "Born", "garbage");
    refused("date text with a 13th month", "Born", "2001-13-01");
    refused("February 30th", "Born", "2001-02-30");
    refused("serial far beyond any date", "Born", 1e10);
    refused("invalid date-time", "Born", QDateTime(QDate(2001, 2, 30), QTime(1, 0)));
    refused("invalid date", "Born", QDate(2001, 2, 30));
    refused("a date past 64-bit microseconds", "Born", QDate(590000, 1, 1));
    refused("a date-time before them", "Born", QDateTime(QDate(-590000, 1, 1), QTime(1, 0)));
    refused("a six-digit year's text past them", "Born", "590000-01-01");
    refused("garbage into Boolean", "Active", "perhaps");
    refused("garbage into GUID", "Key", "{not-a-guid}");
    refused("text longer than the field", "Name", QString(21, QLatin1Char('n')));
    refused("20 MB text into a long field", "Memo", giantText);
    refused("20 MB text into a short field", "Name", giantText);
    refused("20 MB text into integer", "ID", giantText);
    refused("bytes longer than the field", "Data", QByteArray(9, 'b'));
    refused("list into text", "Name", QVariantList { 1, 2 });
    refused("list into integer", "ID", QVariantList { 1 });
    QTest::newRow("missing field by name")
        << Action([](Scene &s) { s.rs->setCollect(QStringLiteral("Nope"), 1); }) << none
        << int(adErrItemNotFound) << "'Nope'";
    QTest::newRow("through Field::setValue")
        << Action([](Scene &s) { s.rs->Fields().Item(QStringLiteral("Small")).setValue(-40000); })
        << none << conv << "'Small'";
    QTest::newRow("through SetViewValue")
        << Action([](Scene &s) { s.rs->SetViewValue(2, 0, QStringLiteral("x")); }) << none << conv
        << "'ID'";
    QTest::newRow("SetViewValue past the last record")
        << Action([](Scene &s) { s.rs->SetViewValue(6, 0, 1); }) << none
        << int(adErrInvalidArgument) << "6";
    QTest::newRow("SetViewValue past the last field")
        << Action([](Scene &s) { s.rs->SetViewValue(0, 11, 1); }) << none << int(adErrItemNotFound)
        << "11";
    QTest::newRow("unknown type code") << Action(
        [](Scene &s) { s.fresh->Fields().Append(QStringLiteral("X"), DataTypeEnum(999)); })
                                       << none << int(adErrInvalidArgument) << "999";

    // ---- Save ------------------------------------------------------------------------------
    const auto save = [](const char *name) {
        return Action([name](Scene &s) { s.rs->Save(s.path(QString::fromLatin1(name))); });
    };
    QTest::newRow("save into a folder that vanished") << Action([](Scene &s) {
        QDir(s.dir).mkdir(QStringLiteral("gone"));
        QDir(s.path(QStringLiteral("gone"))).removeRecursively();
        s.rs->Save(s.path(QStringLiteral("gone/out.xml")));
    }) << none << int(adErrOpeningFile) << "gone";
    QTest::newRow("save onto an existing file")
        << save("input.xml") << QByteArray("keep me") << int(adErrFileExists) << "input.xml";
    QTest::newRow("save onto a folder")
        << Action([](Scene &s) { s.rs->Save(s.dir); }) << none << int(adErrFileExists) << "";
    QTest::newRow("save below a file")
        << save("input.xml/out.xml") << QByteArray("a file") << int(adErrOpeningFile) << "out.xml";
    QTest::newRow("save into a read-only folder") << Action([](Scene &s) {
        const QString ro = s.path(QStringLiteral("ro"));
        QDir(s.dir).mkdir(QStringLiteral("ro"));
        QFile::setPermissions(ro, QFile::ReadOwner | QFile::ExeOwner);
        const bool writable = ::access(QFile::encodeName(ro).constData(), W_OK) == 0;
        // Permission bits do not stop root: a folder no one can write stands in.
        s.rs->Save(
            writable ? QStringLiteral("/proc/self/out.xml") : ro + QStringLiteral("/out.xml"));
    }) << none << int(adErrOpeningFile) << "out.xml";
    QTest::newRow("save with no name") << Action([](Scene &s) { s.rs->Save(QString()); }) << none
                                       << int(adErrInvalidArgument) << "name";
    QTest::newRow("save in a format other than XML")
        << Action([](Scene &s) { s.rs->Save(s.path(QStringLiteral("out.adtg")), adPersistADTG); })
        << none << int(adErrInvalidArgument) << "XML";
    QTest::newRow("save a closed record set")
        << Action([](Scene &s) { s.fresh->Save(s.path(QStringLiteral("out.xml"))); }) << none
        << int(adErrObjectClosed) << "";
    QTest::newRow("save while the disk refuses more bytes") << Action([](Scene &s) {
        const FileSizeLimit limit(1024);
        s.rs->Save(s.path(QStringLiteral("full.xml")));
    }) << none << int(adErrOpeningFile) << "full.xml";

    // ---- Open ------------------------------------------------------------------------------
    QTest::newRow("open a file that vanished") << Action([](Scene &s) {
        const QString p = s.path(QStringLiteral("soon-gone.xml"));
        QFile f(p);
        f.open(QIODevice::WriteOnly);
        f.close();
        QFile::remove(p);
        s.fresh->Open(p);
    }) << none << int(adErrOpeningFile) << "soon-gone.xml";
    QTest::newRow("open a folder")
        << Action([](Scene &s) { s.fresh->Open(s.dir); }) << none << int(adErrOpeningFile) << "";
    // Files that are not rowsets, or not well-formed, or hostile, or whose values do not fit.
    const auto bad = [](const char *name, const QByteArray &xml, const char *mentions = "") {
        QTest::newRow(name) << Action(
            [](Scene &s) { s.fresh->Open(s.path(QStringLiteral("input.xml"))); })
                            << xml << int(adErrInvalidSource) << QString::fromUtf8(mentions);
    };
    const QByteArray idField = field("ID", "i4");
    const QByteArray textField = "<s:AttributeType name='A'/>";
    bad("empty file", QByteArray(""));
    bad("not xml", "hello, world");
    bad("truncated", document(idField, "<z:row ID='1'/>").left(200));
    bad("wrong root", "<root/>", "root");
    bad("no schema", "<xml xmlns:rs='urn:schemas-microsoft-com:rowset'><rs:data/></xml>", "schema");
    bad("rows before schema",
        "<xml xmlns:rs='urn:schemas-microsoft-com:rowset' xmlns:z='#RowsetSchema'>"
        "<rs:data><z:row A='1'/></rs:data></xml>");
    bad("entity expansion",
        "<?xml version='1.0'?><!DOCTYPE xml [<!ENTITY a 'aaaaaaaaaa'>"
        "<!ENTITY b '&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;'><!ENTITY c '&b;&b;&b;&b;&b;&b;&b;&b;'>]>"
            + document(idField, "<z:row ID='&c;'/>"));
    bad("external entity",
        "<!DOCTYPE xml [<!ENTITY x SYSTEM 'file:///etc/passwd'>]>"
            + document(textField, "<z:row A='&x;'/>"));
    bad("20 MB attribute value",
        document(field("T", "string"), "<z:row T='" + QByteArray(20 * 1024 * 1024, 'a') + "'/>"),
        "'T'");
    bad("100,000 nested elements in the data",
        document(idField,
            QByteArray("<z:row ID='1'/>") + QByteArray("<a>").repeated(100000)
                + QByteArray("</a>").repeated(100000)),
        "nested");
    bad("100,000 nested elements in the schema",
        document(QByteArray("<s:x>").repeated(100000) + QByteArray("</s:x>").repeated(100000), ""),
        "nested");
    bad("100,000 unclosed elements", QByteArray("<xml>") + QByteArray("<a>").repeated(100000),
        "nested");
    bad("text after the end", document(idField, "<z:row ID='1'/>") + "junk");
    bad("no end", document(idField, "<z:row ID='1'/>").chopped(6));
    bad("unclosed row", document(idField, "<z:row ID='1'>"));
    bad("update without original", document(idField, "<rs:update><z:row ID='1'/></rs:update>"),
        "original");
    bad("duplicate attribute", document(idField, "<z:row ID='1' ID='2'/>"), "'ID'");
    bad("invalid utf-8", document(textField, "<z:row A='\xff\xfe'/>"));
    bad("unknown entity", document(textField, "<z:row A='&foo;'/>"));
    bad("lt in value", document(textField, "<z:row A='a<b'/>"));
    bad("control character", document(textField, "<z:row A='a\x01b'/>"));
    // The schema.
    bad("unknown type", document(field("A", "matrix"), ""), "'matrix'");
    bad("field without name", document("<s:AttributeType rs:number='1'/>", ""), "no name");
    bad("duplicate field",
        document(
            "<s:AttributeType name='A' rs:name='X'/><s:AttributeType name='A' rs:name='Y'/>", ""),
        "declared twice");
    bad("duplicate real name",
        document(
            "<s:AttributeType name='c0' rs:name='X'/><s:AttributeType name='c1' rs:name='x'/>", ""),
        "used twice");
    bad("bad number attribute", document("<s:AttributeType name='A' rs:number='one'/>", ""),
        "rs:number");
    bad("negative size",
        document(
            "<s:AttributeType name='A'><s:datatype dt:maxLength='-4'/></s:AttributeType>", ""));
    bad("absurd maxLength",
        document(field("T", "string", " dt:maxLength='99999999999999999999'"), ""));
    // Values their fields cannot hold.
    bad("bad integer", document(idField, "<z:row ID='12x'/>"), "'ID'");
    bad("integer out of range", document(field("ID", "i2"), "<z:row ID='70000'/>"), "'ID'");
    bad("fraction in an integer row", document(idField, "<z:row ID='1.5'/>"), "'ID'");
    bad("1 MB of digits into an integer",
        document(idField, "<z:row ID='" + QByteArray(1024 * 1024, '7') + "'/>"), "'ID'");
    bad("64-bit overflow in an i8 row",
        document(field("B", "i8"), "<z:row B='9223372036854775808'/>"), "'B'");
    bad("negative in a ui1 row", document(field("U", "ui1"), "<z:row U='-1'/>"), "'U'");
    bad("1e999 in a float row", document(field("R", "float"), "<z:row R='1e999'/>"), "'R'");
    bad("negative NaN in a float row", document(field("R", "float"), "<z:row R='-NaN'/>"), "'R'");
    bad("1e300 in a single row", document(field("S", "r4"), "<z:row S='1'/><z:row S='1e300'/>"),
        "'S'");
    bad("garbage in a GUID row", document(field("G", "uuid"), "<z:row G='{zz}'/>"), "'G'");
    bad("garbage in a base64 row", document(field("D", "bin.base64"), "<z:row D='!!!'/>"), "'D'");
    bad("bad hex", document(field("A", "bin.hex"), "<z:row A='abc'/>"), "'A'");
    bad("bad date", document(field("A", "dateTime"), "<z:row A='2001-13-01T00:00:00'/>"), "'A'");
    bad("year 0 in a date row",
        document(field("D", "dateTime"), "<z:row D='0000-01-01T00:00:00'/>"), "'D'");
    // Dates the file could not be saved with again: years past four digits, before year 1.
    bad("five-digit year in a date row",
        document(field("D", "dateTime"), "<z:row D='10000-01-01T00:00:00'/>"), "'D'");
    bad("an offset past year 9999",
        document(field("D", "dateTime"), "<z:row D='9999-12-31T23:30:00-01:00'/>"), "'D'");
    bad("an offset before year 1",
        document(field("D", "dateTime"), "<z:row D='0001-01-01T00:30:00+01:00'/>"), "'D'");
    bad("a year BC", document(field("D", "date"), "<z:row D='0044-03-15 BC'/>"), "'D'");
    // Past what 64-bit microseconds hold: it would wrap to a date the file can be saved with.
    bad("a six-digit year past the units",
        document(field("D", "dateTime"), "<z:row D='590000-01-01T00:00:00'/>"), "'D'");
    bad("bad boolean", document(field("A", "boolean"), "<z:row A='yes'/>"), "'A'");
    const QByteArray currency = field("C", "number", " rs:dbtype='currency'");
    bad("currency beyond its range", document(currency, "<z:row C='1e20'/>"), "'C'");
    bad("currency of fifteen whole nines", document(currency, "<z:row C='999999999999999'/>"),
        "'C'");
    bad("currency just below its minimum", document(currency, "<z:row C='-922337203685477.5809'/>"),
        "'C'");
    bad("text longer than its declared length",
        document(field("T", "string", " dt:maxLength='8'"),
            "<z:row T='12345678'/><z:row T='00000000499602`2'/>"),
        "longer than the 8");
    bad("bytes longer than their declared length",
        document(
            field("B", "bin.hex", " dt:maxLength='2'"), "<z:row B='0102'/><z:row B='010203'/>"),
        "'B'");
}

void TestRecordsetBadInput::badInput()
{
    QFETCH(Action, action);
    QFETCH(QByteArray, file);
    QFETCH(int, number);
    QFETCH(QString, mentions);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    Scene scene { records(), std::make_shared<Recordset>(), tmp.path() };
    scene.fresh->Fields().Append(QStringLiteral("Kept"), adInteger);
    if (!file.isNull()) {
        QFile f(scene.path(QStringLiteral("input.xml")));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(file);
    }
    // Moves to the third record so the value rows act on a record in the middle.
    scene.rs->Move(2);
    const QList<QVariantList> before = snapshot(scene.rs);
    const QMap<QString, QByteArray> filesBefore = folder(scene.dir);
    const QString filterBefore = scene.rs->Filter();
    const QString sortBefore = scene.rs->Sort();

    bool thrown = false;
    try {
        action(scene);
    } catch (const Error &e) {
        thrown = true;
        QCOMPARE(e.number(), number);
        QVERIFY2(!e.description().isEmpty(), "no description");
        QVERIFY2(e.description().contains(mentions, Qt::CaseInsensitive),
            qPrintable(e.description().left(300)));
    }
    QVERIFY2(thrown, "no error raised");

    // Value writes that fail leave nothing to commit; the rest never touched the records.
    if (scene.rs->EditMode() != adEditNone)
        scene.rs->Update();
    QVERIFY(snapshot(scene.rs) == before);
    QCOMPARE(scene.rs->Filter(), filterBefore);
    QCOMPARE(scene.rs->Sort(), sortBefore);
    QCOMPARE(scene.rs->AbsolutePosition(), 3);

    // Nothing written, half-written or left behind.
    QMap<QString, QByteArray> filesAfter = folder(scene.dir);
    filesAfter.remove(QStringLiteral("ro/"));
    QCOMPARE(filesAfter.keys(), filesBefore.keys());
    QVERIFY(filesAfter == filesBefore);

    // A failed Open leaves the record set closed with its fields ready for another try.
    QCOMPARE(scene.fresh->State(), adStateClosed);
    QCOMPARE(scene.fresh->FieldCount(), 1);
    scene.fresh->Open();
    QCOMPARE(scene.fresh->FieldName(0), QStringLiteral("Kept"));
}

// Files whose values once loaded but were refused when a host wrote them back, or loaded in a
// form the field itself refuses. Each value read must go back into its field unchanged, and a
// save and reload must give the same values.
void TestRecordsetBadInput::loadedValuesGoBackIn_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QVariantList>("firstRecord");
    const QByteArray currency = field("C", "number", " rs:dbtype='currency'");
    QTest::newRow("currency maximum") << document(currency, "<z:row C='922337203685477.5807'/>")
                                      << QVariantList { 922337203685477.5807 };
    QTest::newRow("currency minimum") << document(currency, "<z:row C='-922337203685477.5808'/>")
                                      << QVariantList { -922337203685477.5808 };
    QTest::newRow("currency minimum beside 64-bit limits")
        << document(currency + field("B", "i8"),
               "<z:row C='-922337203685477.5808' B='-9223372036854775808'/>")
        << QVariantList { -922337203685477.5808, std::numeric_limits<qint64>::min() };
    QTest::newRow("GUID without braces, lower case")
        << document(field("G", "uuid"), "<z:row G='8ac68d3d-8a09-4403-8860-d0e494bbe894'/>")
        << QVariantList { QStringLiteral("{8AC68D3D-8A09-4403-8860-D0E494BBE894}") };
    QTest::newRow("nil GUID") << document(
        field("G", "uuid"), "<z:row G='{00000000-0000-0000-0000-000000000000}'/>")
                              << QVariantList { QStringLiteral(
                                     "{00000000-0000-0000-0000-000000000000}") };
}

void TestRecordsetBadInput::loadedValuesGoBackIn()
{
    QFETCH(QByteArray, file);
    QFETCH(QVariantList, firstRecord);
    QTemporaryDir tmp;
    const QString in = tmp.filePath(QStringLiteral("in.xml"));
    QFile f(in);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(file);
    f.close();
    auto rs = std::make_shared<Recordset>();
    rs->Open(in);
    QCOMPARE(rs->FieldCount(), firstRecord.size());
    for (int k = 0; k < firstRecord.size(); ++k)
        QCOMPARE(rs->ViewValue(0, k), firstRecord[k]);
    const QList<QVariantList> loaded = snapshot(rs);
    for (int v = 0; v < rs->RecordCount(); ++v)
        for (int k = 0; k < rs->FieldCount(); ++k)
            rs->SetViewValue(v, k, rs->ViewValue(v, k));
    QVERIFY(snapshot(rs) == loaded);
    const QString out = tmp.filePath(QStringLiteral("out.xml"));
    rs->Save(out);
    auto back = std::make_shared<Recordset>();
    back->Open(out);
    QVERIFY(snapshot(back) == loaded);
}

QTEST_GUILESS_MAIN(TestRecordsetBadInput)
#include "tst_recordset_bad_input.moc"
