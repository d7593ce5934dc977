// A Tessera with a check-mark column and a sign-arrow column written through TextMatrix, saved
// as control_screenshot.png in the build folder; the pixels show glyphs, colours and the grid.
#include "tessera_p.h"
#include <FlexGridTestHelpers.h>

#include <tessera/PropertyBag.h>
#include <tessera/Tessera.h>

#include <QImage>
#include <QTest>

using namespace tessera;
using tessera::test::countPixels;

class tst_ControlScreenshot : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void screenshot();
};

void tst_ControlScreenshot::screenshot()
{
    Tessera control;
    PropertyBag bag;
    control.ReadProperties(bag);
    TesseraPrivate *d = TesseraPrivate::get(&control);
    FlexGrid &grid = *d->fxgGrid;
    grid.setRows(8);
    grid.setCols(5);
    // Columns 1 to 4: an article, a check mark, a quantity and its trend.
    auto &defs = *d->colDefs;
    defs.resize(5);
    defs[2].CheckBox = true;
    defs[4].ColorBySigned = true;
    const QStringList captions { "", "Article", "Done", "Change", "Trend" };
    for (int c = 0; c < 5; ++c) {
        // The 1Plus writer keeps header texts; TextMatrix would put a box in the check column.
        control.setTextMatrix1Plus(0, c, captions[c]);
        grid.setColWidth(c, c == 1 ? 1800 : 1100);
    }
    // The fonts the column definitions give these columns.
    for (int r = 1; r < 8; ++r) {
        grid.setRow(r);
        grid.setCol(2);
        grid.setCellFontName(QStringLiteral("Wingdings"));
        grid.setCellFontSize(14);
        grid.setCellAlignment(FlexGrid::flexAlignCenterCenter);
        grid.setCol(4);
        grid.setCellFontName(QStringLiteral("Symbol"));
        grid.setCellFontSize(10);
        grid.setCellAlignment(FlexGrid::flexAlignCenterCenter);
    }
    grid.setRow(1);
    grid.setCol(1);
    const QStringList articles { "Oak table", "Walnut chair", "Beech shelf", "Desk lamp",
        "Floor lamp", "Rug", "Mirror" };
    const QStringList done { "True", "0", "-1", "False", "1", "abc", "True" };
    const QStringList change { "4.5", "-2.25", "0", "12%", "-0.8", "", "3" };
    for (int i = 0; i < 7; ++i) {
        control.setTextMatrix(i + 1, 0, QString::number(i + 1));
        control.setTextMatrix(i + 1, 1, articles[i]);
        control.setTextMatrix(i + 1, 2, done[i]);
        control.setTextMatrix(i + 1, 3, change[i]);
        control.setTextMatrix(i + 1, 4, change[i]);
    }
    // Sized to the cells, so no grey band is left around them.
    int width = 2 * grid.frameWidth(), height = 2 * grid.frameWidth();
    for (int c = 0; c < grid.Cols(); ++c)
        width += toPixels(grid.ColWidth(c));
    for (int r = 0; r < grid.Rows(); ++r)
        height += toPixels(grid.RowHeight(r));
    control.resize(width, height);
    control.show();
    QVERIFY(QTest::qWaitForWindowExposed(&control));
    QTRY_COMPARE(grid.size(), control.size());
    const QImage img = grid.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString path = QStringLiteral(CONTROL_SCREENSHOT_DIR "/control_screenshot.png");
    QVERIFY2(img.save(path), qPrintable(path));

    auto box = [&](int r, int c) {
        const QPoint tl
            = QPoint(toPixels(grid.ColPos(c)), toPixels(grid.RowPos(r))) - grid.viewport()->pos();
        return QRect(tl.x() + 2, tl.y() + 2, toPixels(grid.ColWidth(c)) - 5,
            toPixels(grid.RowHeight(r)) - 5);
    };
    auto dark = [](QColor c) { return c.lightness() < 110; };
    auto greenish = [](QColor c) { return c.green() > 100 && c.red() < 80 && c.blue() < 80; };
    auto reddish = [](QColor c) { return c.red() > 180 && c.green() < 80 && c.blue() < 80; };
    // Checked boxes carry more ink than empty ones.
    const int checked = countPixels(img, box(1, 2), dark),
              empty = countPixels(img, box(2, 2), dark);
    QVERIFY2(
        empty > 5 && checked > empty, qPrintable(QStringLiteral("%1 %2").arg(checked).arg(empty)));
    QCOMPARE(countPixels(img, box(5, 2), dark), checked); // "1" is true
    QCOMPARE(countPixels(img, box(6, 2), dark), empty); // "abc" is not
    QVERIFY(countPixels(img, box(1, 4), greenish) > 5); // up, green
    QVERIFY(countPixels(img, box(2, 4), reddish) > 5); // down, red
    QVERIFY(countPixels(img, box(3, 4), dark) > 3); // level, black
    QVERIFY(countPixels(img, box(4, 4), greenish) > 5); // "12%"
    QCOMPARE(countPixels(img, box(6, 4), [](QColor c) { return c.lightness() < 200; }), 0);
}

QTEST_MAIN(tst_ControlScreenshot)
#include "tst_control_screenshot.moc"
