// Draws a FlexGrid with two fixed rows, a merged header row, a check-mark column, sign arrows,
// coloured cells, a picture and a selection; writes flexgrid_screenshot.png into the build folder
// and checks the pixels that show each feature was drawn.
#include <FlexGridTestHelpers.h>

#include <tessera/FlexGrid.h>
#include <tessera/Runtime.h>

#include <QImage>
#include <QPainter>
#include <QTest>

using namespace tessera;
using namespace tessera::test;

class tst_FlexGridScreenshot : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void screenshot();
    void generalAlignmentFollowsUserLocale();
};

void tst_FlexGridScreenshot::screenshot()
{
    FlexGrid grid;
    grid.resize(520, 260);
    grid.setRows(9);
    grid.setCols(6);
    grid.setFixedRows(2);
    grid.setFixedCols(1);
    grid.setGridLinesFixed(1);
    grid.setGridColorFixed(0x000000);
    grid.setColWidth(0, 450);
    grid.setColWidth(2, 1650);

    // Header rows: row 0 merges equal neighbours, row 1 names the columns.
    const QStringList group = { "", "Article", "Article", "Stock", "Stock", "Stock" };
    const QStringList names = { "", "Code", "Name", "Qty", "Trend", "OK" };
    for (int c = 0; c < 6; ++c) {
        grid.setTextMatrix(0, c, group[c]);
        grid.setTextMatrix(1, c, names[c]);
        grid.setFixedAlignment(c, FlexGrid::flexAlignCenterCenter);
    }
    grid.setMergeCells(1);
    grid.setMergeRow(0, true);

    const QStringList codes = { "A-100", "B-220", "C-310", "D-400", "E-512", "F-600", "G-710" };
    const QStringList items = { "Bolt", "Nut", "", "Washer", "", "Spring", "Pin" };
    const QList<int> qty = { 120, -4, 0, 37, 5, -12, 80 };
    for (int i = 0; i < 7; ++i) {
        const int r = i + 2;
        grid.setTextMatrix(r, 0, QString::number(i + 1));
        grid.setTextMatrix(r, 1, codes[i]);
        grid.setTextMatrix(r, 2, items[i]);
        grid.setTextMatrix(r, 3, QString::number(qty[i]));
        // Sign arrows in the symbol font: up green, flat black, down red.
        grid.setRow(r);
        grid.setCol(4);
        grid.setCellFontName(QStringLiteral("Symbol"));
        grid.setCellAlignment(FlexGrid::flexAlignCenterCenter);
        if (qty[i] > 0) {
            grid.setText(QString(QChar(173)));
            grid.setCellForeColor(0x009900);
        } else if (qty[i] < 0) {
            grid.setText(QString(QChar(175)));
            grid.setCellForeColor(0x0000FF);
        } else {
            grid.setText(QString(QChar(171)));
        }
        // Check marks in the check-box font.
        grid.setCol(5);
        grid.setCellFontName(QStringLiteral("Wingdings"));
        grid.setCellAlignment(FlexGrid::flexAlignCenterCenter);
        grid.setText(i % 2 == 0 ? QStringLiteral("\u00fe") : QStringLiteral("q"));
    }
    // The whole check-mark column in a larger font with one range format.
    grid.setRow(2);
    grid.setCol(5);
    grid.setRowSel(8);
    grid.setFillStyle(1);
    grid.setCellFontSize(13);
    grid.setFillStyle(0);

    // A red cell, a yellow bold cell and a picture.
    grid.setRow(4);
    grid.setCol(2);
    grid.setCellBackColor(0x0000FF);
    grid.setCellForeColor(0xFFFFFF);
    grid.setRow(3);
    grid.setCol(1);
    grid.setCellBackColor(0x00FFFF);
    grid.setCellFontBold(true);
    QPixmap picture(14, 14);
    picture.fill(Qt::transparent);
    {
        QPainter p(&picture);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0, 0, 255));
        p.setPen(Qt::NoPen);
        p.drawEllipse(0, 0, 14, 14);
    }
    grid.setRow(6);
    grid.setCol(2);
    grid.setCellPicture(picture);
    grid.setCellPictureAlignment(FlexGrid::flexAlignCenterCenter);

    // Selection: rows 7..8, columns 1..3, cursor on (7, 1).
    grid.setRow(7);
    grid.setCol(1);
    grid.setRowSel(8);
    grid.setColSel(3);

    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QImage img = grid.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QString path = QStringLiteral(FLEXGRID_SCREENSHOT_DIR "/flexgrid_screenshot.png");
    QVERIFY2(img.save(path), qPrintable(path));

    auto box = [&](int r, int c) {
        // Inside the cell, clear of its grid lines.
        const QPoint tl = cellTopLeft(grid, r, c);
        return QRect(
            tl.x() + 2, tl.y() + 2, colPixels(grid, c) - 5, toPixels(grid.RowHeight(r)) - 5);
    };
    const QPalette pal = grid.palette();

    // The red cell is red around its text.
    const QRect red = box(4, 2);
    QCOMPARE(img.pixelColor(red.topLeft()), QColor(255, 0, 0));
    QVERIFY(countPixels(img, red, [](QColor c) { return c == QColor(255, 0, 0); })
        > red.width() * red.height() / 2);
    QCOMPARE(img.pixelColor(box(3, 1).topLeft()), QColor(255, 255, 0));

    // The picture is drawn in the middle of its cell.
    QCOMPARE(img.pixelColor(box(6, 2).center()), QColor(0, 0, 255));

    // Selected cells use the selection colour, the current cell does not.
    QCOMPARE(img.pixelColor(box(8, 3).topLeft()), pal.color(QPalette::Highlight));
    QCOMPARE(img.pixelColor(box(7, 2).topLeft()), pal.color(QPalette::Highlight));
    QVERIFY(img.pixelColor(box(7, 1).center()) != pal.color(QPalette::Highlight));

    // Merged header: no grid line between "Article" columns in row 0, one in row 1.
    const int border = cellTopLeft(grid, 1, 2).x() - 1;
    const int row0y = cellTopLeft(grid, 0, 1).y() + 2, row1y = cellTopLeft(grid, 1, 1).y() + 2;
    QCOMPARE(img.pixelColor(border, row1y), QColor(0, 0, 0));
    QCOMPARE(img.pixelColor(border, row0y), pal.color(QPalette::Button));
    // ... and "Article" is drawn once, centred over both columns: not inside column 1 alone
    // (where an unmerged cell would centre it), but in the middle of the pair.
    auto ink = [](QColor c) { return c.lightness() < 100; };
    QCOMPARE(countPixels(img, box(0, 1), ink), 0);
    const int mid = (cellTopLeft(grid, 0, 1).x() + cellTopLeft(grid, 0, 3).x()) / 2;
    QVERIFY(countPixels(img, QRect(mid - 4, row0y, 9, toPixels(grid.RowHeight(0)) - 5), ink) > 0);

    // Arrows: green up, red down; check boxes drawn as glyphs, not left blank.
    auto greenish = [](QColor c) { return c.green() > 100 && c.red() < 80 && c.blue() < 80; };
    auto reddish = [](QColor c) { return c.red() > 180 && c.green() < 80 && c.blue() < 80; };
    auto dark = [](QColor c) { return c.lightness() < 110; };
    QVERIFY(countPixels(img, box(2, 4), greenish) > 5);
    QVERIFY(countPixels(img, box(3, 4), reddish) > 5);
    QVERIFY(countPixels(img, box(4, 4), dark) > 5);
    QVERIFY(countPixels(img, box(2, 5), dark) > 10);
    QVERIFY(countPixels(img, box(3, 5), dark) > 10);
    // A checked box has more ink than an empty one.
    QVERIFY(countPixels(img, box(2, 5), dark) > countPixels(img, box(3, 5), dark));
}

void tst_FlexGridScreenshot::generalAlignmentFollowsUserLocale()
{
    // Under it_IT "9,5" and "1.234,5" are numbers and go right; "9,5 kg" is text and goes left.
    const QLocale saved = userLocale();
    setUserLocale(QLocale(QLocale::Italian, QLocale::Italy));
    const QStringList texts { "9,5", "10", "1.234,5", "9,5 kg", "abc" };
    const QList<bool> right { true, true, true, false, false };
    FlexGrid grid;
    grid.resize(300, 200);
    grid.setRows(int(texts.size()) + 1);
    grid.setCols(2);
    grid.setColWidth(1, 3000);
    for (int i = 0; i < texts.size(); ++i)
        grid.setTextMatrix(i + 1, 1, texts[i]);
    grid.setRow(0); // keep the focus rectangle off the cells
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    const QImage img = grid.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    setUserLocale(saved);
    for (int i = 0; i < texts.size(); ++i) {
        const QPoint tl = cellTopLeft(grid, i + 1, 1);
        const int w = toPixels(grid.ColWidth(1)), h = toPixels(grid.RowHeight(i + 1));
        const int left = countPixels(img, QRect(tl.x() + 2, tl.y() + 2, w / 2 - 2, h - 4),
            [](QColor c) { return c.lightness() < 128; });
        const int rightInk = countPixels(img, QRect(tl.x() + w / 2, tl.y() + 2, w / 2 - 3, h - 4),
            [](QColor c) { return c.lightness() < 128; });
        QVERIFY2(right[i] ? (rightInk > 0 && left == 0) : (left > 0 && rightInk == 0),
            qPrintable(
                QStringLiteral("%1: ink left %2, right %3").arg(texts[i]).arg(left).arg(rightInk)));
    }
}

QTEST_MAIN(tst_FlexGridScreenshot)
#include "tst_flexgrid_screenshot.moc"
