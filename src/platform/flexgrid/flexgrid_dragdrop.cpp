// FlexGrid drag and drop: OLEDrag starts a drag of the selection's text, and with OLEDropMode 1
// the grid reports drags over it and drops on it. Effects: 0 none, 1 copy, 2 move.
#include "flexgrid_p.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>

namespace tessera {

namespace {

Qt::DropActions toDropActions(qint32 effects)
{
    Qt::DropActions actions;
    if (effects & 1)
        actions |= Qt::CopyAction;
    if (effects & 2)
        actions |= Qt::MoveAction;
    return actions;
}

qint32 toEffect(Qt::DropAction action)
{
    switch (action) {
    case Qt::CopyAction:
        return 1;
    case Qt::MoveAction:
        return 2;
    default:
        return 0;
    }
}

qint32 toEffects(Qt::DropActions actions)
{
    return (actions & Qt::CopyAction ? 1 : 0) | (actions & Qt::MoveAction ? 2 : 0);
}

} // namespace

void FlexGrid::OLEDrag()
{
    QMimeData *data = new QMimeData;
    data->setText(Clip());
    qint32 allowed = 3;
    Q_EMIT OLEStartDrag(data, allowed);
    if (!data || allowed == 0) {
        delete data;
        return;
    }
    qint16 format = 1; // plain text
    Q_EMIT OLESetData(data, format);
    auto *drag = new QDrag(this);
    drag->setMimeData(data);
    connect(drag, &QDrag::actionChanged, this, [this](Qt::DropAction action) {
        qint32 effect = toEffect(action);
        bool defaultCursors = true;
        Q_EMIT OLEGiveFeedback(effect, defaultCursors);
    });
    qint32 effect = toEffect(drag->exec(toDropActions(allowed), Qt::CopyAction));
    Q_EMIT OLECompleteDrag(effect);
}

static void raiseDragOver(FlexGrid *q, QDropEvent *event, qint16 state, bool *accepted)
{
    QMimeData *data = const_cast<QMimeData *>(event->mimeData());
    qint32 effect = toEffects(event->possibleActions());
    qint16 button = 0;
    if (event->buttons() & Qt::LeftButton)
        button |= 1;
    if (event->buttons() & Qt::RightButton)
        button |= 2;
    qint16 shift = shiftMask(event->modifiers());
    const QPoint p = q->viewport()->mapTo(q, event->position().toPoint());
    float x = float(p.x() * TwipsPerPixel), y = float(p.y() * TwipsPerPixel);
    Q_EMIT q->OLEDragOver(data, effect, button, shift, x, y, state);
    *accepted = effect != 0;
    if (effect & 2 && event->possibleActions() & Qt::MoveAction)
        event->setDropAction(Qt::MoveAction);
    else if (effect & 1)
        event->setDropAction(Qt::CopyAction);
}

void FlexGrid::dragEnterEvent(QDragEnterEvent *event)
{
    if (d->oleDropMode != 1) {
        event->ignore();
        return;
    }
    bool accepted = false;
    raiseDragOver(this, event, 0, &accepted);
    // Entering is always accepted so later moves are reported; the effect decides the drop.
    event->accept();
}

void FlexGrid::dragMoveEvent(QDragMoveEvent *event)
{
    if (d->oleDropMode != 1) {
        event->ignore();
        return;
    }
    bool accepted = false;
    raiseDragOver(this, event, 2, &accepted);
    event->setAccepted(accepted);
}

void FlexGrid::dragLeaveEvent(QDragLeaveEvent *event)
{
    if (d->oleDropMode == 1) {
        QMimeData *data = nullptr;
        qint32 effect = 0;
        qint16 button = 0, shift = 0, state = 1;
        float x = 0, y = 0;
        Q_EMIT OLEDragOver(data, effect, button, shift, x, y, state);
    }
    event->accept();
}

void FlexGrid::dropEvent(QDropEvent *event)
{
    if (d->oleDropMode != 1) {
        event->ignore();
        return;
    }
    QMimeData *data = const_cast<QMimeData *>(event->mimeData());
    qint32 effect = toEffect(event->dropAction());
    qint16 button = 0;
    qint16 shift = shiftMask(event->modifiers());
    const QPoint p = viewport()->mapTo(this, event->position().toPoint());
    float x = float(p.x() * TwipsPerPixel), y = float(p.y() * TwipsPerPixel);
    Q_EMIT OLEDragDrop(data, effect, button, shift, x, y);
    if (effect == 0) {
        event->ignore();
        return;
    }
    event->setDropAction(effect & 2 ? Qt::MoveAction : Qt::CopyAction);
    event->accept();
}

} // namespace tessera
