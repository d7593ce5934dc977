// Event relay: the grid's events become the control's (by-reference parameters passed straight
// through), the header grid follows the grid's horizontal scrolling, the focus handlers, and the
// timers' ticks. Connections are direct, so what a host slot stores is seen right away.
#include "tessera_p.h"

#include <QApplication>

namespace tessera {

namespace {
bool isInside(const QWidget *widget, const QWidget *control)
{
    return widget && (widget == control || control->isAncestorOf(widget));
}
} // namespace

void TesseraPrivate::connectGridEvents()
{
    FlexGrid *g = fxgGrid;
    Tessera *t = q;
    const auto direct = Qt::DirectConnection;

    QObject::connect(
        g, &FlexGrid::EnterCell, t, [this] { GridEnterCell(); }, direct);
    QObject::connect(
        g, &FlexGrid::LeaveCell, t, [this] { GridLeaveCell(); }, direct);
    QObject::connect(
        g, &FlexGrid::RowColChange, t, [this] { relayRowColChange(); }, direct);
    QObject::connect(
        g, &FlexGrid::SelChange, t, [this] { relaySelChange(); }, direct);
    QObject::connect(
        g, &FlexGrid::Scroll, t,
        [this] {
            // Scroll bars on only while LeftCol is set: the header grid follows, showing none.
            skipOnError([&] {
                MSHFlexGrid1->setScrollBars(1);
                MSHFlexGrid1->setLeftCol(fxgGrid->LeftCol());
            });
            skipOnError([&] { MSHFlexGrid1->setScrollBars(0); });
            MSHFlexGrid1->Refresh();
            Q_EMIT q->Scroll();
        },
        direct);
    QObject::connect(
        g, &FlexGrid::DblClick, t,
        [this] {
            const FlexGrid &grid = *fxgGrid;
            if (grid.MouseCol() >= grid.FixedCols() + (checkboxes ? 1 : 0)
                && grid.MouseRow() >= grid.FixedRows())
                Q_EMIT q->DblClick();
        },
        direct);
    QObject::connect(
        g, &FlexGrid::Click, t, [this] { gridClick(); }, direct);
    QObject::connect(
        g, &FlexGrid::KeyDown, t,
        [this](qint16 &keyCode, qint16 &shift) { gridKeyDown(keyCode, shift); }, direct);
    QObject::connect(
        g, &FlexGrid::KeyPress, t, [this](qint16 &keyAscii) { gridKeyPress(keyAscii); }, direct);
    QObject::connect(
        g, &FlexGrid::KeyUp, t,
        [this](qint16 &keyCode, qint16 &shift) {
            Q_EMIT q->KeyUp(keyCode, shift);
            if (keyCode == 13)
                GridEnterCell();
        },
        direct);

    // Plain relays, parameters by reference.
    QObject::connect(g, &FlexGrid::MouseDown, t, &Tessera::MouseDown, direct);
    QObject::connect(g, &FlexGrid::MouseMove, t, &Tessera::MouseMove, direct);
    QObject::connect(g, &FlexGrid::MouseUp, t, &Tessera::MouseUp, direct);
    QObject::connect(g, &FlexGrid::Compare, t, &Tessera::Compare, direct);
    QObject::connect(g, &FlexGrid::OLEStartDrag, t, &Tessera::OLEStartDrag, direct);
    QObject::connect(g, &FlexGrid::OLEGiveFeedback, t, &Tessera::OLEGiveFeedback, direct);
    QObject::connect(g, &FlexGrid::OLESetData, t, &Tessera::OLESetData, direct);
    QObject::connect(g, &FlexGrid::OLECompleteDrag, t, &Tessera::OLECompleteDrag, direct);
    QObject::connect(g, &FlexGrid::OLEDragOver, t, &Tessera::OLEDragOver, direct);
    QObject::connect(g, &FlexGrid::OLEDragDrop, t, &Tessera::OLEDragDrop, direct);

    QObject::connect(
        g, &FlexGrid::GotFocus, t, [this] { GridEnterCell(); }, direct);
    QObject::connect(
        g, &FlexGrid::LostFocus, t,
        [this] {
            FlexGrid &grid = *fxgGrid;
            skipOnError([&] {
                const eColDefsX *def = slot(grid.Col());
                if (grid.Row() > 0 && grid.Col() > 0)
                    grid.setCellBackColor(def ? def->CellBackColor : defaultCellBackColor);
                else
                    grid.setCellBackColor(grid.BackColorFixed());
            });
        },
        direct);

    QObject::connect(Timer1, &QTimer::timeout, t, [this] { timer1Tick(); });

    // The control's own focus entry and exit: the focus moving into or out of any of its widgets.
    QObject::connect(qApp, &QApplication::focusChanged, t, [this](QWidget *old, QWidget *now) {
        const bool wasInside = isInside(old, q), isNowInside = isInside(now, q);
        if (isNowInside && !wasInside)
            enterFocus();
        else if (wasInside && !isNowInside)
            exitFocus();
    });
}

void TesseraPrivate::relayRowColChange()
{
    if (!layoutSuspended && (heard & HeardRowColChange))
        Q_EMIT q->RowColChange();
}

void TesseraPrivate::relaySelChange()
{
    if (layoutSuspended)
        return;
    CheckRequiredFields();
    if (heard & HeardSelChange)
        Q_EMIT q->SelChange();
}

void TesseraPrivate::enterFocus()
{
    if (!fxgGrid->hasFocus())
        fxgGrid->SetFocus();
    GridEnterCell();
}

void TesseraPrivate::exitFocus()
{
    GridLeaveCell();
    if (validatePending) {
        // GridLeaveCell stopped early (a selection mode, a hidden grid).
        validatePending = false;
        CommitCellChange();
        if (!noRaise)
            Q_EMIT q->ValidateCell();
    }
}

} // namespace tessera
