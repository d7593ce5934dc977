// ImageList: numbering and keys as images come and go, sizing, and the list's errors.
#include <tessera/HostSite.h>
#include <tessera/ImageList.h>

#include "TestHelpers.h"

#include <QImage>
#include <QPixmap>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using tessera::ImageList;

namespace {

QPixmap filled(int w, int h, QColor colour)
{
    QPixmap p(w, h);
    p.fill(colour);
    return p;
}

QRgb centre(const QPixmap &p)
{
    return p.toImage().pixel(p.width() / 2, p.height() / 2);
}

} // namespace

class tst_ImageList : public QObject {
    Q_OBJECT
private slots:
    void numbersAndKeysFollowInsertAndRemove();
    void firstImageSetsTheSizeOthersAreScaled();
    void presetSizeScalesTheFirstImage();
    void errorsLeaveTheListUnchanged_data();
    void errorsLeaveTheListUnchanged();
    void changedIsSignalledOncePerChange();
};

void tst_ImageList::numbersAndKeysFollowInsertAndRemove()
{
    ImageList list;
    QCOMPARE(tessera::TypeName(&list), QStringLiteral("ImageList"));
    list.ListImages().Add(QVariant(), QStringLiteral("red"), filled(16, 16, Qt::red));
    list.ListImages().Add(QVariant(), QStringLiteral("blue"), filled(16, 16, Qt::blue));
    const auto added = list.ListImages().Add(1, QStringLiteral("green"), filled(16, 16, Qt::green));
    QCOMPARE(added.Index, 1);
    QCOMPARE(list.ListImages().Count(), 3);

    // green, red, blue
    QCOMPARE(centre(list.Picture(1)), QColor(Qt::green).rgb());
    QCOMPARE(centre(list.Picture(2)), QColor(Qt::red).rgb());
    QCOMPARE(list.ListImages(QStringLiteral("BLUE")).Index, 3);
    QCOMPARE(list.ListImages(3).Key, QStringLiteral("blue"));
    QCOMPARE(list.ListImages(2.5).Key, QStringLiteral("red")); // rounds half to even

    list.ListImages().Remove(QStringLiteral("green"));
    QCOMPARE(list.ListImages(QStringLiteral("red")).Index, 1);
    list.ListImages().Remove(1);
    QCOMPARE(list.ListImages().Count(), 1);
    QCOMPARE(centre(list.Picture(1)), QColor(Qt::blue).rgb());

    // An unkeyed image and a key freed by removal can be used again.
    list.ListImages().Add(QVariant(), QString(), filled(16, 16, Qt::white));
    list.ListImages().Add(QVariant(), QStringLiteral("Red"), filled(16, 16, Qt::red));
    QCOMPARE(list.ListImages(QStringLiteral("red")).Index, 3);

    list.ListImages().Clear();
    QCOMPARE(list.ListImages().Count(), 0);
    QVERIFY_TESSERA_ERROR(list.Picture(1), tessera::ilErrIndexOutOfBounds);
}

void tst_ImageList::firstImageSetsTheSizeOthersAreScaled()
{
    ImageList list;
    QCOMPARE(list.ImageWidth(), 0);
    list.ListImages().Add(QVariant(), QString(), filled(16, 24, Qt::red));
    QCOMPARE(list.ImageWidth(), 16);
    QCOMPARE(list.ImageHeight(), 24);
    list.ListImages().Add(QVariant(), QString(), filled(48, 48, Qt::blue));
    QCOMPARE(list.Picture(2).size(), QSize(16, 24));
    QCOMPARE(centre(list.Picture(2)), QColor(Qt::blue).rgb());

    QVERIFY_TESSERA_ERROR(list.setImageWidth(32), tessera::ilErrReadOnlyWithImages);
    list.setImageWidth(16); // unchanged value is fine
    list.ListImages().Clear();
    list.setImageWidth(32);
    QCOMPARE(list.ImageWidth(), 32);
}

void tst_ImageList::presetSizeScalesTheFirstImage()
{
    ImageList list;
    list.setImageWidth(24);
    list.setImageHeight(24);
    list.ListImages().Add(QVariant(), QString(), filled(16, 16, Qt::green));
    QCOMPARE(list.Picture(1).size(), QSize(24, 24));
    QVERIFY_TESSERA_ERROR(list.setImageHeight(-1), 35611);
    ImageList empty;
    QVERIFY_TESSERA_ERROR(empty.setImageHeight(-1), 380);
}

void tst_ImageList::errorsLeaveTheListUnchanged_data()
{
    using Op = std::function<void(ImageList &)>;
    QTest::addColumn<Op>("op");
    QTest::addColumn<int>("number");

    const QPixmap pic = filled(16, 16, Qt::black);
    QTest::newRow("item 0") << Op([](ImageList &l) { l.ListImages(0); }) << 35600;
    QTest::newRow("item past end") << Op([](ImageList &l) { l.ListImages(3); }) << 35600;
    QTest::newRow("item negative") << Op([](ImageList &l) { l.ListImages(-1); }) << 35600;
    QTest::newRow("item huge") << Op([](ImageList &l) { l.ListImages(1e300); }) << 35600;
    QTest::newRow("unknown key") << Op([](ImageList &l) { l.ListImages(QStringLiteral("x")); })
                                 << 35601;
    QTest::newRow("empty key") << Op([](ImageList &l) { l.ListImages(QString()); }) << 35601;
    QTest::newRow("no index") << Op([](ImageList &l) { l.ListImages(QVariant()); }) << 13;
    QTest::newRow("remove past end") << Op([](ImageList &l) { l.ListImages().Remove(3); }) << 35600;
    QTest::newRow("remove unknown key")
        << Op([](ImageList &l) { l.ListImages().Remove(QStringLiteral("x")); }) << 35601;
    QTest::newRow("add past end + 1")
        << Op([pic](ImageList &l) { l.ListImages().Add(4, QString(), pic); }) << 35600;
    QTest::newRow("add index as text")
        << Op([pic](ImageList &l) { l.ListImages().Add(QStringLiteral("1"), QString(), pic); })
        << 13;
    QTest::newRow("add duplicate key")
        << Op([pic](ImageList &l) { l.ListImages().Add(QVariant(), QStringLiteral("ONE"), pic); })
        << 35602;
    QTest::newRow("add numeric key")
        << Op([pic](ImageList &l) { l.ListImages().Add(QVariant(), QStringLiteral("12"), pic); })
        << 35603;
    QTest::newRow("add no picture")
        << Op([](ImageList &l) { l.ListImages().Add(QVariant(), QStringLiteral("k"), QPixmap()); })
        << 481;
}

void tst_ImageList::errorsLeaveTheListUnchanged()
{
    using Op = std::function<void(ImageList &)>;
    QFETCH(Op, op);
    QFETCH(int, number);

    ImageList list;
    list.ListImages().Add(QVariant(), QStringLiteral("one"), filled(16, 16, Qt::red));
    list.ListImages().Add(QVariant(), QStringLiteral("two"), filled(16, 16, Qt::blue));
    QSignalSpy changed(&list, &ImageList::Changed);
    QVERIFY_TESSERA_ERROR(op(list), number);
    QCOMPARE(list.ListImages().Count(), 2);
    QCOMPARE(list.ListImages(QStringLiteral("one")).Index, 1);
    QCOMPARE(list.ListImages(QStringLiteral("two")).Index, 2);
    QCOMPARE(changed.count(), 0);
}

void tst_ImageList::changedIsSignalledOncePerChange()
{
    ImageList list;
    QSignalSpy changed(&list, &ImageList::Changed);
    list.ListImages().Clear(); // nothing to clear
    list.ListImages().Add(QVariant(), QString(), filled(8, 8, Qt::red));
    list.ListImages().Add(QVariant(), QString(), filled(8, 8, Qt::red));
    list.ListImages().Remove(1);
    list.ListImages().Clear();
    QCOMPARE(changed.count(), 4);
}

QTEST_MAIN(tst_ImageList)
#include "tst_imagelist.moc"
