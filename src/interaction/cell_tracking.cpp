// Cell tracking: entering and leaving cells (GridEnterCell, GridLeaveCell), committing and
// formatting the current cell, the required-field check, the deferred EnterCell of Timer1, and
// the members that move the cursor or silence the tracking (Row, Col, NoRaise, SuspendLayout).
//
// Flow of a move: the grid's LeaveCell runs GridLeaveCell (commit, ValidateCell,
// CellValueChanged, LeaveCell); its EnterCell runs GridEnterCell (remember the cell and its text,
// start Timer1); its SelChange runs CheckRequiredFields; 100 ms later Timer1 raises EnterCell.
// Errors of the grid inside these routines are skipped; a column without a definition is a
// plain, editable, optional column.
#include "tessera_p.h"

#include <tessera/Runtime.h>

#include <QDeadlineTimer>

#include <algorithm>

#include <cstring>

#include <time.h>

namespace tessera {

namespace {
// Equal units; cheaper than operator== for the short texts compared on every move.
bool sameUnits(const QString &a, const QString &b)
{
    return a.size() == b.size()
        && (a.constData() == b.constData()
            || std::memcmp(a.constData(), b.constData(), size_t(a.size()) * sizeof(QChar)) == 0);
}
} // namespace

const eColDefsX *TesseraPrivate::definitionOf(qint64 gridCol) const
{
    if (!colDefs)
        return nullptr;
    for (size_t i = 1; i < colDefs->size(); ++i)
        if ((*colDefs)[i].Index == gridCol)
            return &(*colDefs)[i];
    return nullptr;
}

void TesseraPrivate::raiseTextChanged()
{
    QVariant row = curRow, col = curCol, previous = enteredCellText;
    QVariant actual;
    skipOnError([&] { actual = cellText(curRow, curCol); });
    Q_EMIT q->CellValueChanged(row, col, previous, actual);
    // The first three are the tracking's own fields, passed by reference.
    skipOnError([&] {
        curRow = CLng(row);
        curCol = CLng(col);
    });
    enteredCellText = previous.toString();
    enteredFrom.row = -1;
}

bool TesseraPrivate::GridEnterCell()
{
    if (layoutSuspended)
        return false;
    FlexGrid &g = *fxgGrid;
    const qint32 r = g.Row(), c = g.Col();
    const bool headerRowZero = r == 0 && g.FixedRows() == 0;
    if ((r == curRow && c == curCol) || headerRowZero) {
        if (headerRowZero) {
            // Row 0 acts as a header here: it is painted as one, and the user may not stay.
            const QSignalBlocker quiet(&g);
            for (qint32 i = 1; i < g.Cols(); ++i) {
                skipOnError([&] {
                    g.setCol(i);
                    g.setColSel(i);
                    g.setCellForeColor(g.ForeColor());
                    g.setCellBackColor(g.BackColorFixed());
                });
            }
            skipOnError([&] {
                g.setCol(1);
                g.setCellBackColor(g.BackColorFixed());
            });
            Picture1->setFocus(Qt::OtherFocusReason);
        }
        return false;
    }
    savedCellBackColor = defaultCellBackColor;
    curRow = r;
    curCol = c;
    if (g.SelectionMode() == 1) {
        curCol = 0;
        const QSignalBlocker quiet(&g);
        skipOnError([&] {
            g.setCol(0);
            g.setColSel(g.Cols() - 1);
        });
    }
    skipOnError([&] { enterCellText(r, c); });
    if (r > g.FixedRows() - 1)
        g.Refresh();
    if (validatePending) {
        validatePending = false;
        Q_EMIT q->ValidateCell();
    }
    switchOnTimer1();
    validatePending = false;
    return true;
}

const QString &TesseraPrivate::cellText(qint32 row, qint32 col)
{
    const quint64 stamp = fxgGrid->TextStamp();
    if (enteredFrom.is(row, col, stamp))
        return enteredCellText; // the cell being left, unchanged since it was entered
    CellTextCache &c = cellTextCache;
    if (!c.at.is(row, col, stamp)) {
        c.at.row = -1; // until the read succeeds
        fxgGrid->readTextMatrix(row, col, c.text);
        c.at = { row, col, stamp };
    }
    return c.text;
}

void TesseraPrivate::enterCellText(qint32 row, qint32 col)
{
    const quint64 stamp = fxgGrid->TextStamp();
    if (enteredFrom.is(row, col, stamp))
        return; // a setter records the cell its move already recorded
    const CellTextCache &c = cellTextCache;
    if (c.at.is(row, col, stamp)) {
        enteredCellText.resize(c.text.size());
        std::copy(c.text.cbegin(), c.text.cend(), enteredCellText.begin());
    } else {
        // Read straight into the buffer: it then serves as the cache of the cell being left.
        enteredFrom.row = -1;
        fxgGrid->readTextMatrix(row, col, enteredCellText);
    }
    enteredFrom = { row, col, stamp };
}

namespace {
// Milliseconds on the system's coarse monotonic clock (a few ms of resolution, a fraction of
// the cost of the precise one); the deferred EnterCell needs no finer.
qint64 coarseNowMs()
{
#ifdef CLOCK_MONOTONIC_COARSE
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC_COARSE, &ts);
    return qint64(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
#else
    return QDeadlineTimer::current().deadline();
#endif
}
} // namespace

void TesseraPrivate::switchOnTimer1()
{
    lastCellEnteredMs = coarseNowMs();
    if (!Timer1->isActive())
        Timer1->start(100);
}

void TesseraPrivate::timer1Tick()
{
    const qint64 waited = coarseNowMs() - lastCellEnteredMs;
    if (waited < 100) {
        Timer1->start(int(100 - waited)); // the cursor moved on since: EnterCell waits for it
        return;
    }
    Timer1->stop();
    Timer1->setInterval(100);
    Q_EMIT q->EnterCell();
}

void TesseraPrivate::GridLeaveCell()
{
    if (layoutSuspended)
        return;
    FlexGrid &g = *fxgGrid;
    if (g.SelectionMode() != 0)
        return;
    const qint32 r = g.Row();
    if (!g.Visible() && r > g.FixedRows())
        return;
    skipOnError([&] {
        g.setCellBackColor(r >= g.FixedRows() && r > 0 ? defaultCellBackColor : g.BackColorFixed());
    });
    g.Refresh();
    CommitCellChange();
    if (validatePending) {
        validatePending = false;
        Q_EMIT q->ValidateCell();
        raiseTextChanged();
    }
    if (heard & HeardLeaveCell)
        Q_EMIT q->LeaveCell();
}

void TesseraPrivate::CommitCellChange()
{
    skipOnError([&] {
        const eColDefsX *def = slot(curCol);
        if (def && def->CheckBox)
            return; // check marks report their own changes
        FormatCurrentCell();
        const QString &now = cellText(curRow, curCol);
        if (sameUnits(now, enteredCellText))
            return;
        if (noRaise) {
            enterCellText(curRow, curCol);
            return;
        }
        raiseTextChanged();
        enterCellText(curRow, curCol); // the host may have written it
    });
}

// What a cell's text becomes when the cell is left: a number in the column's format, "0" in it
// for an empty cell or a text that is no number; a percent format shows hundredths.
const QString &TesseraPrivate::formattedForCell(qint32 col, const QString &text, const QString &fmt)
{
    quint32 hash = 2166136261u ^ quint32(col); // FNV-1a over the text's units
    for (const QChar ch : text)
        hash = (hash ^ ch.unicode()) * 16777619u;
    FormatMemo &m = formatMemo[hash % formatMemo.size()];
    const int generation = userLocaleGeneration();
    if (m.localeGeneration == generation && sameUnits(m.text, text) && sameUnits(m.format, fmt))
        return m.result;
    QString s;
    double value = 0;
    if (text.trimmed().isEmpty() && fmt.contains(QLatin1Char('0'))) {
        s = Format(0, fmt);
    } else if (!fmt.contains(QLatin1Char('%'))) {
        s = NumericValue(text, value) ? Format(text, fmt) : Format(0, fmt);
    } else {
        const QString bare = QString(text).remove(QLatin1Char('%'));
        s = NumericValue(bare, value) ? Format(value / 100, fmt) : Format(0, fmt);
    }
    m = FormatMemo { fmt, text, s, generation };
    return m.result;
}

void TesseraPrivate::FormatCurrentCell()
{
    skipOnError([&] {
        FlexGrid &g = *fxgGrid;
        const eColDefsX *def = slot(curCol);
        if (!def || curCol >= g.Cols() - 1 || def->ColorBySigned || def->TextFormat.isEmpty())
            return;
        const QString &text = cellText(curRow, curCol);
        const QString &s = formattedForCell(curCol, text, def->TextFormat);
        if (!sameUnits(s, text))
            g.setTextMatrix(curRow, curCol, s);
    });
}

void TesseraPrivate::CheckRequiredFields()
{
    FlexGrid &g = *fxgGrid;
    skipOnError([&] {
        while (g.Row() > 1 && colDefs) {
            const qint32 above = g.Row() - 1;
            bool missing = false;
            for (size_t i = 1; i < colDefs->size() && !missing; ++i) {
                const eColDefsX &def = (*colDefs)[i];
                if (!def.Required || def.Hide)
                    continue;
                skipOnError([&] { missing = q->TextMatrix(above, def.Index).trimmed().isEmpty(); });
            }
            if (!missing)
                break;
            // An internal move: the host sees the cursor where this check leaves it.
            const QSignalBlocker quiet(&g);
            g.setRow(above);
            curRow = g.Row();
            curCol = g.Col();
            enterCellText(curRow, curCol);
        }
    });
    skipOnError([&] {
        if (!g.RowIsVisible(g.Row()))
            g.setTopRow(g.Row());
    });
}

// --- Members that move the cursor or tune the tracking ------------------------------------------

qint32 Tessera::Col() const
{
    return d->fxgGrid->Col();
}

template<class Move> void TesseraPrivate::trackedMove(Move &&moveGrid)
{
    FlexGrid &g = *fxgGrid;
    GridLeaveCell();
    const qint32 r = g.Row(), c = g.Col(), rs = g.RowSel(), cs = g.ColSel();
    {
        // Quiet: the grid's leave event would run the tracking a second time, and its four
        // signals cost more than the move. What the grid's move raises is raised here, in the
        // grid's order: enter, row/column change, selection change.
        const QSignalBlocker quiet(&g);
        moveGrid(g);
    }
    const bool cellChanged = g.Row() != r || g.Col() != c;
    if (cellChanged) {
        GridEnterCell();
        relayRowColChange();
    }
    if (cellChanged || g.RowSel() != rs || g.ColSel() != cs)
        relaySelChange();
}

// After the move, the cell written is the one tracked, unless the tracking moved the cursor on
// (the required-field check pulling it back to a row above, a by-row selection putting it in
// column 0): then what the tracking recorded stands, or edits there would go unreported.
void Tessera::setCol(qint32 col)
{
    d->trackedMove([col](FlexGrid &g) { g.setCol(col); });
    d->GridEnterCell();
    if (d->fxgGrid->Col() == col) {
        d->curCol = col;
        skipOnError([&] { d->enterCellText(d->fxgGrid->Row(), col); });
    }
    d->notify(QStringLiteral("Col"));
}

qint32 Tessera::Row() const
{
    return d->fxgGrid->Row();
}

void Tessera::setRow(qint32 row)
{
    d->trackedMove([row](FlexGrid &g) { g.setRow(row); });
    d->GridEnterCell();
    if (d->fxgGrid->Row() == row) {
        d->curRow = row;
        skipOnError([&] { d->enterCellText(row, d->fxgGrid->Col()); });
    }
    d->notify(QStringLiteral("Row"));
}

bool Tessera::NoRaise() const
{
    return d->noRaise;
}

void Tessera::setNoRaise(bool noRaise)
{
    d->noRaise = noRaise;
    d->notify(QStringLiteral("NoRaise"));
}

void Tessera::SuspendLayout()
{
    d->layoutSuspended = true;
}

void Tessera::ResumeLayout()
{
    d->layoutSuspended = false;
}

} // namespace tessera
