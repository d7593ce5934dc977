// DemoForm: builds the sample grid and wires the toolbar.
#include "demo_form.h"

#include <tessera/FlexGrid.h>
#include <tessera/Runtime.h>

#include <QElapsedTimer>
#include <QEvent>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QProgressDialog>
#include <QStatusBar>
#include <QToolBar>

namespace {

// Column layout of the sample.
enum Column {
    ColNumber,
    ColDone,
    ColArticle,
    ColDescription,
    ColQuantity,
    ColPrice,
    ColTrend,
    ColCount
};

constexpr qint32 Green = 0x009900; // OLE colours: 0x00BBGGRR
constexpr qint32 Red = 0x0000FF;
constexpr qint32 Black = 0x000000;
constexpr qint32 PaleYellow = 0xCCFFFF;

QPixmap samplePicture()
{
    QPixmap picture(14, 14);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(QColor(30, 120, 220));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(1, 1, 12, 12);
    return picture;
}

} // namespace

DemoForm::DemoForm(QWidget *parent, int recordCount)
    : QMainWindow(parent)
    , m_recordCount(recordCount)
{
    m_chooseSaveFile = [this] {
        return QFileDialog::getSaveFileName(
            this, QStringLiteral("Save XML"), QString(), QStringLiteral("XML files (*.xml)"));
    };
    setWindowTitle(QStringLiteral("Tessera demo"));
    m_grid = new tessera::FlexGrid(this);
    setCentralWidget(m_grid);

    QToolBar *tools = addToolBar(QStringLiteral("Tools"));
    tools->addAction(QStringLiteral("Sample"), this, &DemoForm::fillSample)
        ->setObjectName(QStringLiteral("actionSample"));
    tools
        ->addAction(QStringLiteral("Bind %1 records").arg(QLocale().toString(recordCount)), this,
            &DemoForm::bindLargeRecordset)
        ->setObjectName(QStringLiteral("actionBind"));
    tools->addSeparator();
    tools->addWidget(new QLabel(QStringLiteral(" Filter: ")));
    m_filter = new QLineEdit;
    m_filter->setObjectName(QStringLiteral("filterEdit"));
    m_filter->setPlaceholderText(QStringLiteral("Qty > 500 AND Article LIKE 'A1*'"));
    m_filter->setMinimumWidth(260);
    tools->addWidget(m_filter);
    connect(m_filter, &QLineEdit::returnPressed, this, &DemoForm::applyFilter);
    tools->addSeparator();
    tools->addAction(QStringLiteral("Sort ↑"), this, [this] { sortCurrentColumn(true); })
        ->setObjectName(QStringLiteral("actionSortUp"));
    tools->addAction(QStringLiteral("Sort ↓"), this, [this] { sortCurrentColumn(false); })
        ->setObjectName(QStringLiteral("actionSortDown"));
    tools->addAction(QStringLiteral("Save XML…"), this, &DemoForm::saveXml)
        ->setObjectName(QStringLiteral("actionSaveXml"));

    m_grid->viewport()->installEventFilter(this);
    m_position = new QLabel;
    statusBar()->addWidget(m_position);
    connect(m_grid, &tessera::FlexGrid::RowColChange, this, &DemoForm::showPosition);
    connect(m_grid, &tessera::FlexGrid::Click, this, &DemoForm::toggleCheckMark);
    connect(m_grid, &tessera::FlexGrid::KeyPress, this, [this](qint16 &keyAscii) {
        if (keyAscii == 32) { // Space ticks a check mark like a click
            toggleCheckMark();
            keyAscii = 0;
        }
    });

    fillSample();
    resize(900, 520);
}

void DemoForm::fillSample()
{
    m_grid->setDataSource(nullptr);
    m_records.reset();
    m_grid->setRedraw(false);
    m_grid->Clear();
    m_grid->setRows(2 + 24);
    m_grid->setCols(ColCount);
    m_grid->setFixedRows(2);
    m_grid->setFixedCols(1);

    // Two header rows: group captions merged across their columns, then column captions.
    const QStringList groups
        = { QString(), QString(), QStringLiteral("Item"), QStringLiteral("Item"),
              QStringLiteral("Figures"), QStringLiteral("Figures"), QStringLiteral("Figures") };
    const QStringList captions = { QString(), QStringLiteral("Done"), QStringLiteral("Article"),
        QStringLiteral("Description"), QStringLiteral("Qty"), QStringLiteral("Price"),
        QStringLiteral("Trend") };
    for (int c = 0; c < ColCount; ++c) {
        m_grid->setTextMatrix(0, c, groups[c]);
        m_grid->setTextMatrix(1, c, captions[c]);
        m_grid->setFixedAlignment(c, tessera::FlexGrid::flexAlignCenterCenter);
    }
    m_grid->setMergeCells(1);
    m_grid->setMergeRow(0, true);
    m_grid->setMergeRow(1, false);

    fitColumns();
    m_grid->setColAlignment(ColDone, tessera::FlexGrid::flexAlignCenterCenter);
    m_grid->setColAlignment(ColTrend, tessera::FlexGrid::flexAlignCenterCenter);

    struct Sample {
        bool done;
        const char *article, *description;
        int quantity;
        double price, trend;
    };
    const Sample samples[] = {
        { true, "A1001", "Oak table, 180 cm", 12, 640.0, 4.5 },
        { false, "A1002", "Walnut chair", 48, 129.9, -2.25 },
        { true, "A1003", "Beech shelf", 7, 89.5, 0 },
        { false, "B2001", "Desk lamp", 220, 24.99, 1.2 },
        { false, "B2002", "Floor lamp", 35, 79.0, -0.8 },
        { true, "B2003", "Ceiling light", 16, 159.0, 3.1 },
        { false, "C3001", "Cotton rug 2x3 m", 9, 210.0, 0 },
        { true, "C3002", "Wool rug 2x3 m", 4, 420.0, -5.4 },
        { false, "C3003", "Door mat", 310, 12.5, 0.4 },
        { false, "D4001", "Mirror, round", 21, 55.0, 2.0 },
        { true, "D4002", "Mirror, tall", 11, 99.0, -1.0 },
        { false, "D4003", "Picture frame", 150, 8.75, 0.1 },
        { true, "E5001", "Linen curtain, pair", 26, 74.0, 1.6 },
        { false, "E5002", "Velvet curtain, pair", 13, 119.0, -2.1 },
        { false, "E5003", "Curtain rail 2 m", 60, 32.5, 0 },
        { true, "F6001", "Armchair, grey", 5, 549.0, 6.3 },
        { false, "F6002", "Sofa, three seats", 3, 1290.0, -3.7 },
        { false, "F6003", "Footstool", 18, 89.0, 0.9 },
        { true, "G7001", "Bookcase, five shelves", 8, 245.0, 2.4 },
        { false, "G7002", "Side table", 27, 69.9, -0.3 },
        { false, "G7003", "Coat stand", 14, 45.0, 0 },
        { true, "H8001", "Wall clock", 40, 39.9, 1.1 },
        { false, "H8002", "Vase, glass", 75, 19.5, -1.4 },
        { false, "H8003", "Candle holder", 120, 6.9, 0.2 },
    };
    int row = 2;
    for (const Sample &s : samples)
        writeSampleRow(row++, s.done, QString::fromLatin1(s.article),
            QString::fromUtf8(s.description), s.quantity, s.price, s.trend);

    // A picture beside the first article, and a highlighted quantity column.
    m_grid->setRow(2);
    m_grid->setCol(ColArticle);
    m_grid->setCellPicture(samplePicture());
    m_grid->setCellPictureAlignment(tessera::FlexGrid::flexAlignRightCenter);
    m_grid->setRow(2);
    m_grid->setCol(ColQuantity);
    m_grid->setRowSel(m_grid->Rows() - 1);
    m_grid->setColSel(ColQuantity);
    m_grid->setFillStyle(1);
    m_grid->setCellBackColor(PaleYellow);
    m_grid->setFillStyle(0);
    m_grid->setRow(2);
    m_grid->setCol(ColArticle);
    m_grid->setRedraw(true);
    showPosition();
}

void DemoForm::writeSampleRow(int row, bool done, const QString &article,
    const QString &description, int quantity, double price, double trend)
{
    m_grid->setTextMatrix(row, ColNumber, QString::number(row - 1));
    // Check marks and arrows keep the classic glyph texts; the grid draws them as symbols.
    m_grid->setTextMatrix(row, ColDone, done ? QStringLiteral("þ") : QStringLiteral("q"));
    m_grid->setTextMatrix(row, ColArticle, article);
    m_grid->setTextMatrix(row, ColDescription, description);
    m_grid->setTextMatrix(row, ColQuantity, tessera::Format(quantity, QStringLiteral("#,##0")));
    m_grid->setTextMatrix(row, ColPrice, tessera::Format(price, QStringLiteral("#,##0.00")));
    const QChar arrow = trend > 0 ? QChar(173) : trend < 0 ? QChar(175) : QChar(171);
    m_grid->setTextMatrix(row, ColTrend, QString(arrow));

    m_grid->setRow(row);
    m_grid->setCol(ColDone);
    m_grid->setCellFontName(QStringLiteral("Wingdings"));
    m_grid->setCol(ColTrend);
    m_grid->setCellFontName(QStringLiteral("Symbol"));
    m_grid->setCellForeColor(trend > 0 ? Green : trend < 0 ? Red : Black);
}

void DemoForm::bindLargeRecordset()
{
    const int count = m_recordCount;
    // Building the records, then formatting the prices the grid shows: one bar for both.
    QProgressDialog progress(QStringLiteral("Building %1 records…").arg(QLocale().toString(count)),
        QString(), 0, 2 * count, this);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(200);
    const int step = std::max(count / 20, 1);

    QElapsedTimer timer;
    timer.start();
    auto records = std::make_shared<tessera::Recordset>();
    tessera::Fields fields = records->Fields();
    fields.Append(QStringLiteral("Article"), tessera::adVarWChar, 20);
    fields.Append(QStringLiteral("Qty"), tessera::adInteger);
    fields.Append(QStringLiteral("Price"), tessera::adDouble);
    fields.Append(QStringLiteral("Shipped"), tessera::adDate);
    records->Open();
    const QDate start(2026, 1, 1);
    for (int i = 0; i < count; ++i) {
        records->AddNew();
        records->setCollect(QStringLiteral("Article"),
            QStringLiteral("A%1").arg(i % 100000, 5, 10, QLatin1Char('0')));
        // 64-bit: i * 7919 passes the int range at i = 271,183.
        records->setCollect(QStringLiteral("Qty"), int((qint64(i) * 7919) % 1000));
        records->setCollect(QStringLiteral("Price"), double((qint64(i) * 31) % 100000) / 100.0);
        records->setCollect(QStringLiteral("Shipped"), start.addDays(i % 365));
        records->Update();
        if (i % step == 0)
            progress.setValue(i);
    }
    const qint64 built = timer.restart();

    m_records = records;
    m_grid->setRedraw(false);
    m_grid->Clear();
    m_grid->setFixedRows(1);
    m_grid->setFixedCols(0);
    m_grid->setMergeCells(0);
    m_grid->setDataSource(m_records);
    for (int c = 0; c < m_grid->Cols(); ++c)
        m_grid->setColAlignment(c, tessera::FlexGrid::flexAlignGeneral);
    // Prices as money: the grid shows what is written over the records.
    const int priceCol = 2, first = m_grid->FixedRows();
    progress.setLabelText(QStringLiteral("Formatting prices…"));
    for (int i = 0; i < count; ++i) {
        m_grid->setTextMatrix(first + i, priceCol,
            tessera::Format(m_records->ViewValue(i, priceCol), QStringLiteral("#,##0.00")));
        if (i % step == 0)
            progress.setValue(count + i);
    }
    progress.setValue(2 * count);
    m_grid->setColAlignment(priceCol, tessera::FlexGrid::flexAlignRightCenter);
    fitColumns();
    m_grid->setRedraw(true);
    statusBar()->showMessage(QStringLiteral("Built in %1 ms, bound and formatted in %2 ms")
                                 .arg(built)
                                 .arg(timer.elapsed()),
        8000);
    showPosition();
}

void DemoForm::fitColumns()
{
    if (m_grid->Cols() == 0)
        return;
    const int width = std::max(m_grid->viewport()->width(), 200) - 2;
    if (!m_records) {
        // The sample: fixed widths, and the description takes what is left.
        const int widths[] = { 40, 50, 90, 0, 70, 90, 60 };
        int fixed = 0;
        for (int c = 0; c < ColCount; ++c)
            fixed += widths[c];
        for (int c = 0; c < ColCount && c < m_grid->Cols(); ++c)
            m_grid->setColWidth(c,
                tessera::toTwips(c == ColDescription ? std::max(width - fixed, 160) : widths[c]));
        return;
    }
    // Bound: shares of the width, by column: article, quantity, price, date.
    const int shares[] = { 3, 2, 3, 3 };
    int total = 0;
    for (int c = 0; c < m_grid->Cols(); ++c)
        total += c < 4 ? shares[c] : 2;
    for (int c = 0; c < m_grid->Cols(); ++c)
        m_grid->setColWidth(c, tessera::toTwips(width * (c < 4 ? shares[c] : 2) / total));
}

bool DemoForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_grid->viewport() && event->type() == QEvent::Resize)
        fitColumns();
    return QMainWindow::eventFilter(watched, event);
}

void DemoForm::applyFilter()
{
    if (!m_records) {
        QMessageBox::information(
            this, windowTitle(), QStringLiteral("Bind the record set first: filters apply to it."));
        return;
    }
    try {
        m_records->setFilter(m_filter->text());
        m_grid->Refresh();
        statusBar()->showMessage(QStringLiteral("%1 records").arg(m_records->RecordCount()), 5000);
    } catch (const tessera::Error &e) {
        QMessageBox::warning(this, windowTitle(), e.description());
    }
}

void DemoForm::sortCurrentColumn(bool ascending)
{
    const int col = m_grid->Col();
    if (m_records) {
        // A bound grid shows the record set's order: sort the records, then re-read them.
        try {
            m_records->setSort(m_records->FieldName(col - m_grid->FixedCols())
                + (ascending ? QStringLiteral(" ASC") : QStringLiteral(" DESC")));
            m_grid->Refresh();
        } catch (const tessera::Error &e) {
            QMessageBox::warning(this, windowTitle(), e.description());
        }
        return;
    }
    m_grid->setRow(m_grid->FixedRows());
    m_grid->setRowSel(m_grid->FixedRows());
    m_grid->setColSel(col);
    m_grid->setSort(ascending ? 1 : 2);
}

void DemoForm::saveXml()
{
    if (!m_records) {
        QMessageBox::information(
            this, windowTitle(), QStringLiteral("Bind the record set first: XML saves its view."));
        return;
    }
    const QString file = m_chooseSaveFile();
    if (file.isEmpty())
        return;
    try {
        if (QFile::exists(file))
            QFile::remove(file);
        m_records->Save(file, tessera::adPersistXML);
        statusBar()->showMessage(QStringLiteral("Saved %1").arg(file), 5000);
    } catch (const tessera::Error &e) {
        QMessageBox::warning(this, windowTitle(), e.description());
    }
}

void DemoForm::toggleCheckMark()
{
    if (m_records || m_grid->Col() != ColDone || m_grid->Row() < m_grid->FixedRows())
        return;
    const int row = m_grid->Row();
    const bool checked = m_grid->TextMatrix(row, ColDone) == QStringLiteral("þ");
    m_grid->setTextMatrix(row, ColDone, checked ? QStringLiteral("q") : QStringLiteral("þ"));
}

void DemoForm::showPosition()
{
    m_position->setText(QStringLiteral("Row %1, Col %2 of %3 × %4")
                            .arg(m_grid->Row())
                            .arg(m_grid->Col())
                            .arg(m_grid->Rows())
                            .arg(m_grid->Cols()));
}
