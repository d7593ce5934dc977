// PropertyBag: the default test, names in any case, every type through a file, and the errors of
// malformed files and unwritable paths.
#include <tessera/HostSite.h>
#include <tessera/PropertyBag.h>

#include "TestHelpers.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <limits>

using tessera::PropertyBag;

namespace {

QPixmap samplePicture()
{
    QImage image(3, 2, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    image.setPixel(0, 0, qRgba(255, 0, 0, 255));
    image.setPixel(2, 1, qRgba(0, 0, 255, 128));
    return QPixmap::fromImage(image);
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class tst_PropertyBag : public QObject {
    Q_OBJECT
private slots:
    void defaultIsNotStored_data();
    void defaultIsNotStored();
    void writingTheDefaultRemovesTheStoredValue();
    void namesMatchInAnyCase();
    void refusedWritesLeaveTheBagAlone();
    void roundTripThroughFile_data();
    void roundTripThroughFile();
    void handWrittenFileLoads();
    void malformedFileRaisesAndKeepsTheBag_data();
    void malformedFileRaisesAndKeepsTheBag();
    void missingFileRaises();
    void unwritablePathRaises_data();
    void unwritablePathRaises();
    void saveReplacesTheWholeFileAndLeavesNoTemporaries();

private:
    QTemporaryDir m_dir;
};

void tst_PropertyBag::defaultIsNotStored_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QVariant>("defaultValue");
    QTest::addColumn<bool>("stored");

    QFont verdana(QStringLiteral("Verdana"), 9);
    QFont verdanaBold = verdana;
    verdanaBold.setBold(true);

    QTest::newRow("no default") << QVariant(true) << QVariant() << true;
    QTest::newRow("Boolean equal") << QVariant(true) << QVariant(true) << false;
    QTest::newRow("Boolean differs") << QVariant(false) << QVariant(true) << true;
    QTest::newRow("Integer against Long default")
        << QVariant::fromValue(qint16(1)) << QVariant(1) << false;
    QTest::newRow("Long against Integer default")
        << QVariant(3) << QVariant::fromValue(qint16(2)) << true;
    QTest::newRow("Single against Double default") << QVariant(0.0f) << QVariant(0.0) << false;
    QTest::newRow("colour as Long") << QVariant(0xFFFFFF) << QVariant(0xFFFFFF) << false;
    QTest::newRow("Boolean is not a number") << QVariant(true) << QVariant(-1) << true;
    QTest::newRow("text case counts")
        << QVariant(QStringLiteral("a")) << QVariant(QStringLiteral("A")) << true;
    QTest::newRow("empty text") << QVariant(QString()) << QVariant(QString()) << false;
    QTest::newRow("number against text") << QVariant(0) << QVariant(QStringLiteral("0")) << true;
    QTest::newRow("same font") << QVariant(verdana) << QVariant(QFont(QStringLiteral("Verdana"), 9))
                               << false;
    QTest::newRow("bold font") << QVariant(verdanaBold) << QVariant(verdana) << true;
    QTest::newRow("same colour") << QVariant(QColor(Qt::red)) << QVariant(QColor(255, 0, 0))
                                 << false;
    QTest::newRow("same picture content")
        << QVariant(samplePicture()) << QVariant(samplePicture()) << false;
}

void tst_PropertyBag::defaultIsNotStored()
{
    QFETCH(QVariant, value);
    QFETCH(QVariant, defaultValue);
    QFETCH(bool, stored);

    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Key"), value, defaultValue);
    QCOMPARE(bag.Contains(QStringLiteral("Key")), stored);
    const QVariant fallback = QStringLiteral("fallback");
    QCOMPARE(bag.ReadProperty(QStringLiteral("Key"), fallback) == fallback, !stored);
}

void tst_PropertyBag::writingTheDefaultRemovesTheStoredValue()
{
    PropertyBag bag;
    bag.WriteProperty(
        QStringLiteral("Rows"), QVariant::fromValue(qint16(10)), QVariant::fromValue(qint16(2)));
    bag.WriteProperty(
        QStringLiteral("Cols"), QVariant::fromValue(qint16(5)), QVariant::fromValue(qint16(2)));
    QCOMPARE(bag.Names(), QStringList({ QStringLiteral("Rows"), QStringLiteral("Cols") }));

    bag.WriteProperty(
        QStringLiteral("rows"), QVariant::fromValue(qint16(2)), QVariant::fromValue(qint16(2)));
    QCOMPARE(bag.Names(), QStringList({ QStringLiteral("Cols") }));
    QCOMPARE(bag.ReadProperty(QStringLiteral("Rows"), 2).toInt(), 2);
    QCOMPARE(bag.ReadProperty(QStringLiteral("COLS"), 2).toInt(), 5);
    bag.WriteProperty(QStringLiteral("Rows"), QVariant::fromValue(qint16(7)));
    QCOMPARE(bag.Names(), QStringList({ QStringLiteral("Cols"), QStringLiteral("Rows") }));
    QCOMPARE(bag.ReadProperty(QStringLiteral("rows")).toInt(), 7);
    bag.Clear();
    QVERIFY(!bag.Contains(QStringLiteral("Cols")));
}

void tst_PropertyBag::namesMatchInAnyCase()
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("BackColor"), 255);
    bag.WriteProperty(QStringLiteral("BACKCOLOR"), 65280);
    QCOMPARE(bag.Count(), 1);
    QCOMPARE(bag.Names(), QStringList({ QStringLiteral("BackColor") }));
    QCOMPARE(bag.ReadProperty(QStringLiteral("backcolor"), 0).toInt(), 65280);

    const QString path = m_dir.filePath(QStringLiteral("case.bag"));
    bag.Save(path);
    PropertyBag loaded;
    loaded.Load(path);
    QCOMPARE(loaded.ReadProperty(QStringLiteral("bAcKcOlOr"), 0).toInt(), 65280);
}

void tst_PropertyBag::refusedWritesLeaveTheBagAlone()
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Enabled"), false, true);
    const QString before = bag.toText();

    QVERIFY_TESSERA_ERROR(bag.WriteProperty(QString(), 1), 5);
    QVERIFY_TESSERA_ERROR(bag.WriteProperty(QStringLiteral("A=B"), 1), 5);
    QVERIFY_TESSERA_ERROR(bag.WriteProperty(QStringLiteral(" Padded"), 1), 5);
    QVERIFY_TESSERA_ERROR(bag.WriteProperty(QStringLiteral("#Comment"), 1), 5);
    QVERIFY_TESSERA_ERROR(bag.WriteProperty(QStringLiteral("Line\nBreak"), 1), 5);
    QVERIFY_TESSERA_ERROR(bag.WriteProperty(QStringLiteral("List"), QVariantList { 1, 2 }), 13);
    QVERIFY_TESSERA_ERROR(bag.WriteProperty(QStringLiteral("Enabled"), QVariant()), 13);
    QCOMPARE(bag.toText(), before);
}

void tst_PropertyBag::roundTripThroughFile_data()
{
    QTest::addColumn<QVariant>("value");

    QFont font(QStringLiteral("Verdana"));
    font.setPointSizeF(9.75);
    font.setBold(true);
    font.setItalic(true);
    font.setUnderline(true);

    QTest::newRow("Boolean True") << QVariant(true);
    QTest::newRow("Boolean False") << QVariant(false);
    QTest::newRow("Integer min") << QVariant::fromValue(qint16(-32768));
    QTest::newRow("Integer max") << QVariant::fromValue(qint16(32767));
    QTest::newRow("Long min") << QVariant::fromValue(std::numeric_limits<qint32>::min());
    QTest::newRow("Long system colour") << QVariant::fromValue(qint32(0x8000000F));
    QTest::newRow("LongLong beyond double") << QVariant::fromValue(qint64(9007199254740993LL));
    QTest::newRow("Single") << QVariant::fromValue(1.1f);
    QTest::newRow("Single tiny") << QVariant::fromValue(std::numeric_limits<float>::denorm_min());
    QTest::newRow("Double tenth") << QVariant(0.1);
    QTest::newRow("Double max") << QVariant(std::numeric_limits<double>::max());
    QTest::newRow("Double -inf") << QVariant(-std::numeric_limits<double>::infinity());
    QTest::newRow("String empty") << QVariant(QString());
    QTest::newRow("String escapes") << QVariant(QStringLiteral("a \"b\" \\c\td\r\ne = #f"));
    QTest::newRow("String unicode and control")
        << QVariant(QStringLiteral("Città \u00FE q \x01\x7F\u2028 end "));
    QTest::newRow("String surrogates")
        << QVariant(QStringLiteral("pair \U0001F600 lone ") + QChar(0xD800) + QChar(u'x'));
    QTest::newRow("String looks like a type") << QVariant(QStringLiteral("Long 5"));
    QTest::newRow("Color") << QVariant(QColor(12, 34, 56));
    QTest::newRow("Color with alpha") << QVariant(QColor(12, 34, 56, 78));
    QTest::newRow("Color invalid") << QVariant(QColor());
    QTest::newRow("Font") << QVariant(font);
    QTest::newRow("Picture") << QVariant(samplePicture());
    QTest::newRow("Picture empty") << QVariant(QPixmap());
}

void tst_PropertyBag::roundTripThroughFile()
{
    QFETCH(QVariant, value);

    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Before"), 1);
    bag.WriteProperty(QStringLiteral("Value"), value);
    bag.WriteProperty(QStringLiteral("After"), QStringLiteral("x"));
    const QString path = m_dir.filePath(QStringLiteral("roundtrip.bag"));
    bag.Save(path);

    PropertyBag loaded;
    loaded.Load(path);
    QCOMPARE(loaded.Names(), bag.Names());
    const QVariant back = loaded.ReadProperty(QStringLiteral("Value"));
    QCOMPARE(back.metaType(), value.metaType());
    if (value.metaType().id() == QMetaType::QPixmap)
        QCOMPARE(back.value<QPixmap>().toImage(), value.value<QPixmap>().toImage());
    else if (value.metaType().id() == QMetaType::QFont)
        QCOMPARE(back.value<QFont>().toString(), value.value<QFont>().toString());
    else
        QCOMPARE(back, value);
    QCOMPARE(loaded.ReadProperty(QStringLiteral("After")).toString(), QStringLiteral("x"));
    // Saving what was loaded gives the same file, so repeated saves do not drift.
    QCOMPARE(loaded.toText(), bag.toText());
}

void tst_PropertyBag::handWrittenFileLoads()
{
    const QString path = m_dir.filePath(QStringLiteral("hand.bag"));
    writeFile(path,
        "\xEF\xBB\xBF# saved settings, with a byte-order mark\r\n"
        "\r\n"
        "  BackColor=Long   16777215  \r\n"
        "; an old key\r\n"
        "Caption = String \"Riga = 1 \\u00FE\"\r\n"
        "FontWidth = Single 2.5\r\n"
        "Grid Lines = Integer -3\r\n"
        "NaN = Double nan");
    PropertyBag bag;
    bag.Load(path);
    QCOMPARE(bag.ReadProperty(QStringLiteral("BackColor")), QVariant::fromValue(qint32(16777215)));
    QCOMPARE(
        bag.ReadProperty(QStringLiteral("Caption")).toString(), QStringLiteral("Riga = 1 \u00FE"));
    QCOMPARE(bag.ReadProperty(QStringLiteral("FontWidth")), QVariant::fromValue(2.5f));
    QCOMPARE(bag.ReadProperty(QStringLiteral("grid lines")), QVariant::fromValue(qint16(-3)));
    QVERIFY(std::isnan(bag.ReadProperty(QStringLiteral("NaN")).toDouble()));
    QCOMPARE(bag.Count(), 5);
}

void tst_PropertyBag::malformedFileRaisesAndKeepsTheBag_data()
{
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("where");

    QTest::newRow("no equals sign") << QByteArray("A = Long 1\nJustText\n") << "line 2";
    QTest::newRow("no name") << QByteArray(" = Long 1") << "line 1";
    QTest::newRow("no value") << QByteArray("A = Long") << "line 1";
    QTest::newRow("unknown type") << QByteArray("A = Currency 1") << "Currency";
    QTest::newRow("Integer overflow") << QByteArray("A = Integer 32768") << "32768";
    QTest::newRow("Long with fraction") << QByteArray("A = Long 1.5") << "1.5";
    QTest::newRow("Boolean as number") << QByteArray("A = Boolean -1") << "line 1";
    QTest::newRow("Single overflow") << QByteArray("A = Single 1e39") << "too large";
    QTest::newRow("Double garbage") << QByteArray("A = Double 1,5") << "1,5";
    QTest::newRow("String unquoted") << QByteArray("A = String abc") << "quotes";
    QTest::newRow("String open quote") << QByteArray("A = String \"abc") << "quotes";
    QTest::newRow("String inner quote") << QByteArray("A = String \"a\"b\"") << "quote";
    QTest::newRow("String bad escape") << QByteArray("A = String \"a\\qb\"") << "escape";
    QTest::newRow("String short unicode escape") << QByteArray("A = String \"\\u12\"") << "escape";
    QTest::newRow("String unicode escape with sign")
        << QByteArray("A = String \"\\u+123\"") << "escape";
    QTest::newRow("String unicode escape with 0x")
        << QByteArray("A = String \"\\u0x12\"") << "escape";
    QTest::newRow("Color by name") << QByteArray("A = Color red") << "colour";
    QTest::newRow("Color bad digits") << QByteArray("A = Color #12345g") << "colour";
    QTest::newRow("Font unquoted") << QByteArray("A = Font Verdana") << "quotes";
    QTest::newRow("Picture not base64") << QByteArray("A = Picture ***") << "PNG";
    QTest::newRow("Picture not PNG") << QByteArray("A = Picture aGVsbG8=") << "PNG";
    QTest::newRow("same name twice") << QByteArray("Rows = Integer 1\nROWS = Integer 2") << "twice";
    QTest::newRow("not UTF-8") << QByteArray("A = String \"\xff\xfe\"") << "UTF-8";
}

void tst_PropertyBag::malformedFileRaisesAndKeepsTheBag()
{
    QFETCH(QByteArray, contents);
    QFETCH(QString, where);

    const QString path = m_dir.filePath(QStringLiteral("bad.bag"));
    writeFile(path, contents);
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Kept"), QStringLiteral("still here"));
    bool thrown = false;
    try {
        bag.Load(path);
    } catch (const tessera::Error &e) {
        thrown = true;
        QCOMPARE(e.number(), int(tessera::errInvalidFileFormat));
        QVERIFY2(e.description().contains(where), qPrintable(e.description()));
    }
    QVERIFY(thrown);
    QCOMPARE(bag.Names(), QStringList({ QStringLiteral("Kept") }));
    QCOMPARE(bag.ReadProperty(QStringLiteral("Kept")).toString(), QStringLiteral("still here"));
}

void tst_PropertyBag::missingFileRaises()
{
    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Kept"), 1);
    QVERIFY_TESSERA_ERROR(bag.Load(m_dir.filePath(QStringLiteral("absent.bag"))), 53);
    QVERIFY_TESSERA_ERROR(bag.Load(m_dir.path()), 53);
    QCOMPARE(bag.Count(), 1);
}

void tst_PropertyBag::unwritablePathRaises_data()
{
    QTest::addColumn<QString>("relative");
    QTest::newRow("missing folder") << QStringLiteral("no/such/folder/x.bag");
    QTest::newRow("path is a folder") << QStringLiteral("folder");
    QTest::newRow("empty name") << QString();
}

void tst_PropertyBag::unwritablePathRaises()
{
    QFETCH(QString, relative);
    QDir(m_dir.path()).mkpath(QStringLiteral("folder"));
    const QString path = relative.isEmpty() ? QString() : m_dir.filePath(relative);

    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("Rows"), 3);
    QVERIFY_TESSERA_ERROR(bag.Save(path), 75);
    QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("folder"))).isDir());
}

void tst_PropertyBag::saveReplacesTheWholeFileAndLeavesNoTemporaries()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("form.bag"));
    writeFile(path, QByteArray(4096, 'x'));

    PropertyBag bag;
    bag.WriteProperty(QStringLiteral("BackColor"), 255);
    bag.WriteProperty(QStringLiteral("Enabled"), false, true);
    bag.Save(path);

    QCOMPARE(readFile(path), QByteArray("BackColor = Long 255\nEnabled = Boolean False\n"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
        QStringList({ QStringLiteral("form.bag") }));
}

QTEST_MAIN(tst_PropertyBag)
#include "tst_propertybag.moc"
