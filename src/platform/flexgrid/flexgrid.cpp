// FlexGrid core: construction, checks, dimensions, cell text (TextMatrix, Text, TextArray, Clip,
// FormatString), rows as items, sorting, record-set binding and host-container placement.
#include "flexgrid_p.h"

#include <tessera/Recordset.h>

#include <QAtomicInt>
#include <QFontMetrics>
#include <QScrollBar>

namespace tessera {

namespace {
QAtomicInt nextHwnd(0x10000);
} // namespace

FlexGridPrivate::FlexGridPrivate(FlexGrid *grid)
    : q(grid)
{
}

// --- checks ------------------------------------------------------------------------------------

void FlexGridPrivate::checkCell(int r, int c) const
{
    checkRowIndex(r);
    checkColIndex(c);
}

void FlexGridPrivate::checkRowIndex(int r) const
{
    if (r < 0 || r >= model.rows())
        throw Error(flexErrSubscript, QStringLiteral("Subscript out of range"));
}

void FlexGridPrivate::checkColIndex(int c) const
{
    if (c < 0 || c >= model.cols())
        throw Error(flexErrSubscript, QStringLiteral("Subscript out of range"));
}

void FlexGridPrivate::checkRowValue(int r) const
{
    if (r < 0 || r >= model.rows())
        throw Error(flexErrInvalidRow, QStringLiteral("Invalid Row value"));
}

void FlexGridPrivate::checkColValue(int c) const
{
    if (c < 0 || c >= model.cols())
        throw Error(flexErrInvalidCol, QStringLiteral("Invalid Col value"));
}

void FlexGridPrivate::checkRange(qint64 value, qint64 min, qint64 max)
{
    if (value < min || value > max)
        invalidValue();
}

void FlexGridPrivate::invalidValue()
{
    throw Error(flexErrInvalidPropertyValue, QStringLiteral("Invalid property value"));
}

void FlexGridPrivate::checkCapacity(qint64 rows, qint64 cols)
{
    if (cols > MaxGridCols || std::max<qint64>(rows, 1) * std::max<qint64>(cols, 1) > MaxGridCells)
        throw Error(flexErrOutOfMemory, QStringLiteral("Out of memory"));
}

// --- construction ------------------------------------------------------------------------------

FlexGrid::FlexGrid(QWidget *parent)
    : QAbstractScrollArea(parent)
    , d(std::make_unique<FlexGridPrivate>(this))
{
    d->hwnd = nextHwnd.fetchAndAddRelaxed(1);
    d->model.setRows(2);
    d->model.setCols(2);
    d->setGridFont(QWidget::font());
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);

    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (!d->syncingScrollBars)
            d->setTopLeft(d->fixedRows + v, d->leftCol);
    });
    connect(horizontalScrollBar(), &QScrollBar::valueChanged, this, [this](int v) {
        if (!d->syncingScrollBars)
            d->setTopLeft(d->topRow, d->fixedCols + v);
    });
    d->applyFrame();
    d->applyScrollBarPolicy();
    d->updateScrollBars();
}

FlexGrid::~FlexGrid()
{
    d->alive = false;
}

// --- dimensions --------------------------------------------------------------------------------

qint32 FlexGrid::Rows() const
{
    return d->model.rows();
}

void FlexGrid::setRows(qint32 rows)
{
    if (rows < 0)
        FlexGridPrivate::invalidValue();
    if (rows < d->fixedRows)
        throw Error(flexErrFixedCount, QStringLiteral("Rows cannot be less than FixedRows"));
    if (rows == d->model.rows())
        return;
    if (rows > d->model.rows())
        FlexGridPrivate::checkCapacity(rows, d->model.cols());
    d->model.setRows(rows);
    d->clampCursor();
    d->layoutChanged();
}

qint32 FlexGrid::Cols() const
{
    return d->model.cols();
}

void FlexGrid::setCols(qint32 cols)
{
    if (cols < 0)
        FlexGridPrivate::invalidValue();
    if (cols < d->fixedCols)
        throw Error(flexErrFixedCount, QStringLiteral("Cols cannot be less than FixedCols"));
    if (cols == d->model.cols())
        return;
    if (cols > d->model.cols())
        FlexGridPrivate::checkCapacity(d->model.rows(), cols);
    d->model.setCols(cols);
    d->clampCursor();
    d->layoutChanged();
}

qint32 FlexGrid::FixedRows() const
{
    return d->fixedRows;
}

void FlexGrid::setFixedRows(qint32 fixedRows)
{
    if (fixedRows < 0)
        FlexGridPrivate::invalidValue();
    if (fixedRows >= d->model.rows())
        throw Error(flexErrFixedCount, QStringLiteral("FixedRows must be less than Rows"));
    if (fixedRows == d->fixedRows)
        return;
    d->fixedRows = fixedRows;
    if (d->row < fixedRows)
        d->row = d->rowSel = fixedRows;
    d->topRow = std::max(d->topRow, fixedRows);
    d->clampCursor();
    d->layoutChanged();
}

qint32 FlexGrid::FixedCols() const
{
    return d->fixedCols;
}

void FlexGrid::setFixedCols(qint32 fixedCols)
{
    if (fixedCols < 0)
        FlexGridPrivate::invalidValue();
    if (fixedCols >= d->model.cols())
        throw Error(flexErrFixedCount, QStringLiteral("FixedCols must be less than Cols"));
    if (fixedCols == d->fixedCols)
        return;
    d->fixedCols = fixedCols;
    if (d->col < fixedCols)
        d->col = d->colSel = fixedCols;
    d->leftCol = std::max(d->leftCol, fixedCols);
    d->clampCursor();
    d->layoutChanged();
}

// --- cell text ---------------------------------------------------------------------------------

QString FlexGrid::TextMatrix(qint32 row, qint32 col) const
{
    d->checkCell(row, col);
    return d->model.text(row, col);
}

void FlexGrid::readTextMatrix(qint32 row, qint32 col, QString &into) const
{
    d->checkCell(row, col);
    d->model.readText(row, col, into);
}

void FlexGrid::setTextMatrix(qint32 row, qint32 col, const QString &text)
{
    d->checkCell(row, col);
    d->model.setText(row, col, text);
    d->updateCells({ row, col, row, col });
}

QString FlexGrid::Text() const
{
    if (d->row >= d->model.rows() || d->col >= d->model.cols())
        return {};
    return d->model.text(d->row, d->col);
}

void FlexGrid::setText(const QString &text)
{
    if (d->row >= d->model.rows() || d->col >= d->model.cols())
        throw Error(flexErrSubscript, QStringLiteral("Subscript out of range"));
    const CellRange range = d->fillRange();
    for (int r = range.row1; r <= range.row2; ++r)
        for (int c = range.col1; c <= range.col2; ++c)
            d->model.setText(r, c, text);
    d->updateCells(range);
}

QString FlexGrid::TextArray(qint32 index) const
{
    const qint64 cols = d->model.cols();
    if (index < 0 || cols == 0 || index >= qint64(d->model.rows()) * cols)
        throw Error(flexErrSubscript, QStringLiteral("Subscript out of range"));
    return d->model.text(int(index / cols), int(index % cols));
}

void FlexGrid::setTextArray(qint32 index, const QString &text)
{
    const qint64 cols = d->model.cols();
    if (index < 0 || cols == 0 || index >= qint64(d->model.rows()) * cols)
        throw Error(flexErrSubscript, QStringLiteral("Subscript out of range"));
    const int row = int(index / cols), col = int(index % cols);
    d->model.setText(row, col, text);
    d->updateCells({ row, col, row, col });
}

QString FlexGrid::Clip() const
{
    if (d->model.rows() == 0 || d->model.cols() == 0)
        return {};
    const CellRange range = d->shownSelection();
    QString out;
    for (int r = range.row1; r <= range.row2; ++r) {
        if (r > range.row1)
            out += QLatin1Char('\r');
        for (int c = range.col1; c <= range.col2; ++c) {
            if (c > range.col1)
                out += QLatin1Char('\t');
            out += d->model.text(r, c);
        }
    }
    return out;
}

void FlexGrid::setClip(const QString &clip)
{
    if (d->model.rows() == 0 || d->model.cols() == 0)
        return;
    CellRange range = d->shownSelection();
    // A single selected cell takes the whole block as far as the grid reaches.
    if (range.row1 == range.row2 && range.col1 == range.col2) {
        range.row2 = d->model.rows() - 1;
        range.col2 = d->model.cols() - 1;
    }
    // Split by hand: a regular expression refuses texts with lone surrogates and would paste the
    // whole clip, line breaks included, into one cell.
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < clip.size(); ++i) {
        const QChar ch = clip.at(i);
        if (ch != QLatin1Char('\r') && ch != QLatin1Char('\n'))
            continue;
        lines << clip.mid(start, i - start);
        if (ch == QLatin1Char('\r') && i + 1 < clip.size() && clip.at(i + 1) == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    lines << clip.mid(start);
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    for (int i = 0; i < lines.size() && range.row1 + i <= range.row2; ++i) {
        const QStringList cells = lines.at(i).split(QLatin1Char('\t'));
        for (int j = 0; j < cells.size() && range.col1 + j <= range.col2; ++j)
            d->model.setText(range.row1 + i, range.col1 + j, cells.at(j));
    }
    d->update();
}

QString FlexGrid::FormatString() const
{
    return d->formatString;
}

void FlexGrid::setFormatString(const QString &format)
{
    const int semicolon = format.indexOf(QLatin1Char(';'));
    const QString colPart = semicolon < 0 ? format : format.left(semicolon);
    const QString rowPart = semicolon < 0 ? QString() : format.mid(semicolon + 1);
    const QFontMetrics fm(d->font);
    const int padding = 8;
    // Measuring a megabyte header takes seconds; past a few thousand pixels the width is moot.
    auto textWidth = [&fm](const QString &text) {
        return fm.horizontalAdvance(text.size() > 1024 ? text.left(1024) : text);
    };
    // Refused as a whole before anything changes when the fields would not fit.
    const qint64 fieldCols = colPart.isEmpty() ? 0 : colPart.count(QLatin1Char('|')) + 1;
    const qint64 fieldRows = rowPart.isEmpty() ? 0 : rowPart.count(QLatin1Char('|')) + 1;
    FlexGridPrivate::checkCapacity(
        std::max<qint64>(fieldRows, d->model.rows()), std::max<qint64>(fieldCols, d->model.cols()));

    auto parse = [](QString field, int &alignment) {
        alignment = -1;
        if (!field.isEmpty()) {
            switch (field.at(0).unicode()) {
            case '<':
                alignment = FlexGrid::flexAlignLeftCenter;
                break;
            case '^':
                alignment = FlexGrid::flexAlignCenterCenter;
                break;
            case '>':
                alignment = FlexGrid::flexAlignRightCenter;
                break;
            default:
                break;
            }
            if (alignment >= 0)
                field.remove(0, 1);
        }
        return field;
    };

    if (!colPart.isEmpty()) {
        const QStringList fields = colPart.split(QLatin1Char('|'));
        const int n = int(fields.size());
        if (n > d->fixedCols && n != d->model.cols())
            setCols(n);
        const int headerRow = d->fixedRows > 0 ? 0 : -1;
        for (int c = 0; c < std::min(n, d->model.cols()); ++c) {
            int alignment;
            const QString text = parse(fields.at(c), alignment);
            if (headerRow == 0)
                d->model.setText(0, c, text);
            if (alignment >= 0)
                d->model.setColAlignment(c, alignment);
            // Widths follow the header texts; a column without one keeps its width.
            if (!text.isEmpty())
                d->model.setColWidth(c, toTwips(textWidth(text) + padding));
        }
    }
    if (!rowPart.isEmpty()) {
        const QStringList fields = rowPart.split(QLatin1Char('|'));
        const int n = int(fields.size());
        if (n > d->fixedRows && n != d->model.rows())
            setRows(n);
        int widest = 0;
        for (int r = 0; r < std::min(n, d->model.rows()); ++r) {
            int alignment;
            const QString text = parse(fields.at(r), alignment);
            if (d->fixedCols > 0 && (r > 0 || !text.isEmpty()))
                d->model.setText(r, 0, text);
            if (!text.isEmpty())
                widest = std::max(widest, textWidth(text) + padding);
        }
        if (d->fixedCols > 0 && widest > d->colW(0))
            d->model.setColWidth(0, toTwips(widest));
    }
    d->formatString = format;
    d->layoutChanged();
}

// --- rows as items -----------------------------------------------------------------------------

void FlexGrid::AddItem(const QString &item, qint32 index)
{
    if (index == -1)
        index = d->model.rows();
    if (index < 0 || index > d->model.rows())
        throw Error(flexErrSubscript, QStringLiteral("Subscript out of range"));
    FlexGridPrivate::checkCapacity(qint64(d->model.rows()) + 1, d->model.cols());
    d->model.insertRow(index, item.split(QLatin1Char('\t')));
    d->layoutChanged();
}

void FlexGrid::RemoveItem(qint32 index)
{
    d->checkRowIndex(index);
    if (d->model.rows() - 1 < d->fixedRows)
        throw Error(flexErrFixedCount, QStringLiteral("Cannot remove a fixed row"));
    d->model.removeRow(index);
    d->clampCursor();
    d->layoutChanged();
}

void FlexGrid::Clear()
{
    d->model.clearTextAndFormats();
    d->update();
}

void FlexGrid::Refresh()
{
    // What the grid changed itself is already being repainted; rows follow the bound view only
    // when its records or their order changed, and a change of the records' values (made
    // through the record set) repaints everything.
    if (!d->dataSource)
        return;
    d->followView();
    const quint64 stamp = d->dataSource->ChangeStamp();
    if (stamp != d->paintedStamp) {
        d->paintedStamp = stamp;
        d->update();
    }
}

quint64 FlexGrid::TextStamp() const
{
    return d->model.textStamp();
}

void FlexGridPrivate::followView()
{
    const int before = model.rows();
    const bool endInView = before - 1 <= lastVisibleRow();
    switch (model.syncBinding()) {
    case detail::GridModel::BindingChange::None:
        return;
    case detail::GridModel::BindingChange::Appended:
        // Rows grown at the end: only what comes into view is drawn, the rest is scroll range.
        updateScrollBars();
        if (endInView && redraw)
            q->viewport()->update(
                QRect(0, rowY(before), q->viewport()->width(), q->viewport()->height()));
        paintedStamp = dataSource->ChangeStamp();
        return;
    case detail::GridModel::BindingChange::Rearranged:
        clampCursor();
        layoutChanged();
        return;
    }
}

void FlexGrid::setSort(qint16 sortCode)
{
    if (sortCode < 0 || sortCode > detail::SortCustom)
        FlexGridPrivate::invalidValue();
    if (sortCode == detail::SortNone || d->model.rows() <= d->fixedRows || d->model.cols() == 0)
        return;
    int first = std::min(d->row, d->rowSel), last = std::max(d->row, d->rowSel);
    if (d->row == d->rowSel) {
        first = d->fixedRows;
        last = d->model.rows() - 1;
    }
    const int key1 = std::min(d->col, d->colSel), key2 = std::max(d->col, d->colSel);
    std::function<int(int, int)> compare;
    if (sortCode == detail::SortCustom) {
        compare = [this](int r1, int r2) {
            qint16 cmp = 0;
            Q_EMIT Compare(r1, r2, cmp);
            return int(cmp);
        };
    }
    d->model.sortRows(first, last, key1, key2, sortCode, compare);
    d->update();
}

// --- data --------------------------------------------------------------------------------------

RecordsetPtr FlexGrid::DataSource() const
{
    return d->dataSource;
}

void FlexGrid::setDataSource(const RecordsetPtr &recordset)
{
    if (d->dataSource && d->dataSource->Events())
        disconnect(d->dataSource->Events(), nullptr, this, nullptr);
    if (!recordset) {
        d->model.unbind();
        d->dataSource = nullptr;
        d->update();
        return;
    }
    d->model.bind(recordset, d->fixedRows, d->fixedCols);
    d->dataSource = recordset;
    // The cursor goes back to the first data cell, without events: the contents are new.
    d->row = d->rowSel = std::min(d->fixedRows, std::max(0, d->model.rows() - 1));
    d->col = d->colSel = std::min(d->fixedCols, std::max(0, d->model.cols() - 1));
    d->topRow = d->fixedRows;
    d->leftCol = d->fixedCols;
    d->layoutChanged();
    // A record set still loading: rows grow with each batch.
    if (RecordsetEvents *events = recordset->Events())
        connect(events, &RecordsetEvents::FetchProgress, this, [this] { d->followView(); });
}

QString FlexGrid::DataField(qint32 band, qint32 col) const
{
    if (band != 0)
        throw Error(flexErrSubscript, QStringLiteral("Subscript out of range"));
    d->checkColIndex(col);
    return d->dataSource ? d->model.dataField(col) : QString();
}

DataBindingCollection &FlexGrid::DataBindings()
{
    return d->dataBindings;
}

qsizetype DataBindingCollection::find(const QString &propertyName) const
{
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].PropertyName.compare(propertyName, Qt::CaseInsensitive) == 0)
            return qsizetype(i);
    return -1;
}

DataBinding &DataBindingCollection::Item(int index)
{
    if (index < 0 || index >= Count())
        throw Error(errSubscriptOutOfRange);
    return m_items[size_t(index)];
}

DataBinding &DataBindingCollection::Item(const QString &propertyName)
{
    const qsizetype i = find(propertyName);
    if (i < 0)
        throw Error(errSubscriptOutOfRange);
    return m_items[size_t(i)];
}

DataBinding &DataBindingCollection::Add(const QString &propertyName, const QString &dataField)
{
    if (propertyName.isEmpty())
        throw Error(errInvalidProcedureCall);
    const qsizetype i = find(propertyName);
    if (i >= 0) {
        m_items[size_t(i)].DataField = dataField;
        return m_items[size_t(i)];
    }
    m_items.push_back(DataBinding { propertyName, dataField });
    return m_items.back();
}

void DataBindingCollection::Remove(const QString &propertyName)
{
    const qsizetype i = find(propertyName);
    if (i < 0)
        throw Error(errSubscriptOutOfRange);
    m_items.erase(m_items.begin() + i);
}

// --- host-container placement ------------------------------------------------------------------

qint32 FlexGrid::hWnd() const
{
    return d->hwnd;
}
bool FlexGrid::Visible() const
{
    return !isHidden();
}
qint32 FlexGrid::Left() const
{
    return toTwips(x());
}
void FlexGrid::setLeft(qint32 left)
{
    move(toPixels(left), y());
}
qint32 FlexGrid::Top() const
{
    return toTwips(y());
}
void FlexGrid::setTop(qint32 top)
{
    move(x(), toPixels(top));
}
qint32 FlexGrid::Width() const
{
    return toTwips(width());
}

void FlexGrid::setWidth(qint32 width)
{
    if (width < 0)
        FlexGridPrivate::invalidValue();
    resize(toPixels(width), height());
}

qint32 FlexGrid::Height() const
{
    return toTwips(height());
}

void FlexGrid::setHeight(qint32 height)
{
    if (height < 0)
        FlexGridPrivate::invalidValue();
    resize(width(), toPixels(height));
}

void FlexGrid::Move(qint32 left, qint32 top, qint32 width, qint32 height)
{
    if (width < -1 || height < -1)
        FlexGridPrivate::invalidValue();
    setGeometry(toPixels(left), top == -1 ? y() : toPixels(top),
        width == -1 ? this->width() : toPixels(width),
        height == -1 ? this->height() : toPixels(height));
}

void FlexGrid::SetFocus()
{
    setFocus(Qt::OtherFocusReason);
}

bool FlexGrid::ContainerSetting(qint32 dispId) const
{
    return d->containerSettings.value(dispId, true);
}

void FlexGrid::setContainerSetting(qint32 dispId, bool value)
{
    d->containerSettings.insert(dispId, value);
}

} // namespace tessera
