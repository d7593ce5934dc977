// Typing straight into cells: the grid's KeyPress replaces or extends the current cell's text,
// Backspace and Enter settle it, Escape restores it; clicks move the cursor or toggle check marks.
#include "tessera_p.h"

namespace tessera {

bool TesseraPrivate::CurrentColIsReadOnly() const
{
    const eColDefsX *def = definitionOf(fxgGrid->Col());
    return def && !def->Editable;
}

void TesseraPrivate::toggleCheckMark(qint32 row, qint32 col)
{
    FlexGrid &g = *fxgGrid;
    const bool wasUnchecked = g.TextMatrix(row, col) == UncheckedMark;
    g.setTextMatrix(row, col, wasUnchecked ? CheckedMark : UncheckedMark);
    QVariant r = row, c = col;
    QVariant prev = qint16(wasUnchecked ? 0 : -1), act = qint16(wasUnchecked ? -1 : 0);
    Q_EMIT q->CellValueChanged(r, c, prev, act);
}

void TesseraPrivate::settleTyping()
{
    FormatCurrentCell();
    Q_EMIT q->ValidateCell();
    raiseTextChanged();
}

bool TesseraPrivate::moveDown()
{
    FlexGrid &g = *fxgGrid;
    if (!skipOnError([&] { g.setRow(g.Row() + 1); }))
        return false;
    skipOnError([&] { g.setCol(g.FixedCols()); });
    GridEnterCell();
    curRow = g.Row();
    curCol = g.Col();
    skipOnError([&] { enterCellText(curRow, curCol); });
    CheckRequiredFields();
    return true;
}

void TesseraPrivate::gridKeyPress(qint16 &keyAscii)
{
    skipOnError([&] {
        FlexGrid &g = *fxgGrid;
        const qint32 r = g.Row(), c = g.Col();
        const eColDefsX *def = slot(c);
        if (def && def->CheckBox) {
            // Space ticks an editable check mark; no other key reaches it or the host.
            if (def->Editable && keyAscii == 32)
                toggleCheckMark(r, c);
            keyAscii = 0;
            return;
        }
        Q_EMIT q->KeyPress(keyAscii);
        if (lockCells || CurrentColIsReadOnly() || keyAscii == 0)
            return;
        const QString typed { QChar(char16_t(quint16(keyAscii))) };
        if (validatePending) {
            if (keyAscii >= 32) {
                g.setText(g.Text() + typed);
            } else if (keyAscii == 8) {
                const QString text = g.Text();
                if (!text.isEmpty())
                    g.setText(text.left(text.size() - 1));
            } else if (keyAscii == 13) {
                validatePending = false;
                skipOnError([&] { settleTyping(); });
                if (!moveDown())
                    skipOnError([&] { g.setCol(g.FixedCols()); });
            }
            return;
        }
        if (keyAscii >= 32) {
            // The first key replaces the text; enteredCellText keeps it for Escape.
            g.setText(typed);
            validatePending = true;
        } else if (keyAscii == 8) {
            g.setText(QString());
            settleTyping();
        } else if (keyAscii == 13) {
            moveDown();
        }
    });
}

void TesseraPrivate::gridKeyDown(qint16 &keyCode, qint16 &shift)
{
    Q_EMIT q->KeyDown(keyCode, shift);
    FlexGrid &g = *fxgGrid;
    if (keyCode == 27) {
        skipOnError([&] { g.setTextMatrix(g.Row(), g.Col(), enteredCellText); });
        editingCell = false;
        validatePending = false;
    } else if (keyCode == 13) {
        skipOnError([&] { g.setCellBackColor(savedCellBackColor); });
        g.Refresh();
    }
}

void TesseraPrivate::gridClick()
{
    skipOnError([&] {
        FlexGrid &g = *fxgGrid;
        const qint32 r = g.Row(), c = g.Col();
        qint32 mr = g.MouseRow(), mc = g.MouseCol();
        const eColDefsX *def = slot(mc);
        if (def && def->CheckBox) {
            if (def->Editable && mr >= g.FixedRows()) {
                toggleCheckMark(mr, mc);
                const QSignalBlocker quiet(&g);
                g.setRow(r);
                g.setCol(g.SelectionMode() != 1 ? c : g.FixedCols());
                g.setColSel(g.SelectionMode() != 1 ? c : g.Cols() - 1);
                g.setRowSel(r);
            }
            return; // no Click for a check-mark column
        }
        if (mr < g.FixedRows())
            mr = r;
        if (mc < g.FixedCols())
            mc = c;
        g.setRow(mr);
        g.setRowSel(mr);
        if (g.SelectionMode() != 1) {
            g.setCol(mc);
            g.setColSel(mc);
        } else {
            g.setCol(g.FixedCols());
            g.setColSel(g.Cols() - 1);
        }
        GridEnterCell();
        Q_EMIT q->Click();
    });
}

} // namespace tessera
