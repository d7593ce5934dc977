// FlexGrid input: keys (KeyDown -> KeyPress -> navigation, each stoppable by a zeroed code),
// mouse (cell clicks, drag selection, header selection, border resizing), wheel and focus.
#include "flexgrid_p.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

namespace tessera {

qint16 virtualKeyCode(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return qint16(65 + key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return qint16(48 + key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return qint16(112 + key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Pause:
        return 19;
    case Qt::Key_CapsLock:
        return 20;
    case Qt::Key_Escape:
        return 27;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Left:
        return 37;
    case Qt::Key_Up:
        return 38;
    case Qt::Key_Right:
        return 39;
    case Qt::Key_Down:
        return 40;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    case Qt::Key_Asterisk:
        return 106;
    case Qt::Key_Plus:
        return 187;
    case Qt::Key_Comma:
        return 188;
    case Qt::Key_Minus:
        return 189;
    case Qt::Key_Period:
        return 190;
    case Qt::Key_Slash:
        return 191;
    default:
        return 0;
    }
}

qint16 shiftMask(Qt::KeyboardModifiers modifiers)
{
    qint16 mask = 0;
    if (modifiers & Qt::ShiftModifier)
        mask |= 1;
    if (modifiers & Qt::ControlModifier)
        mask |= 2;
    if (modifiers & Qt::AltModifier)
        mask |= 4;
    return mask;
}

namespace {

qint16 buttonCode(Qt::MouseButtons buttons)
{
    qint16 code = 0;
    if (buttons & Qt::LeftButton)
        code |= 1;
    if (buttons & Qt::RightButton)
        code |= 2;
    if (buttons & Qt::MiddleButton)
        code |= 4;
    return code;
}

constexpr int ResizeMargin = 3;

} // namespace

// --- keyboard ----------------------------------------------------------------------------------

bool FlexGrid::event(QEvent *event)
{
    // Tab goes through KeyDown/KeyPress first: the host may take it before the focus moves.
    if (event->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(event);
        if (ke->key() == Qt::Key_Tab || ke->key() == Qt::Key_Backtab) {
            keyPressEvent(ke);
            return true;
        }
    }
    if (event->type() == QEvent::FontChange && QWidget::font() != d->font) {
        // A font from the parent or a style sheet is the grid font too.
        d->setGridFont(QWidget::font());
        d->layoutChanged();
    } else if (event->type() == QEvent::ScreenChangeInternal) {
        d->setGridFont(d->font); // another screen may measure the font otherwise
        d->layoutChanged();
    } else if (event->type() == QEvent::PaletteChange) {
        d->update(); // system colours follow the palette
    }
    return QAbstractScrollArea::event(event);
}

void FlexGrid::keyPressEvent(QKeyEvent *event)
{
    qint16 keyCode = virtualKeyCode(event->key());
    qint16 shift = shiftMask(event->modifiers());
    if (event->key() == Qt::Key_Backtab)
        shift |= 1;
    if (keyCode != 0) {
        Q_EMIT KeyDown(keyCode, shift);
        if (keyCode == 0) {
            event->accept();
            return;
        }
    }
    const QString text = event->text();
    if (!text.isEmpty() && text.at(0).unicode() != 0x7F) {
        qint16 keyAscii = qint16(text.at(0).unicode());
        Q_EMIT KeyPress(keyAscii);
        if (keyAscii == 0) {
            event->accept();
            return;
        }
    }

    const int rows = d->model.rows(), cols = d->model.cols();
    const bool extend = shift & 1;
    const bool ctrl = shift & 2;
    if (keyCode == 9) {
        focusNextPrevChild(!extend);
        event->accept();
        return;
    }
    if (keyCode < 33 || keyCode > 40 || rows <= d->fixedRows || cols <= d->fixedCols) {
        event->ignore();
        return;
    }
    int r = extend ? d->rowSel : d->row;
    int c = extend ? d->colSel : d->col;
    const int page = std::max(1, d->lastFullyVisibleRow() - d->topRow + 1);
    int leftKey = 37, rightKey = 39;
    if (d->rightToLeft)
        std::swap(leftKey, rightKey);
    if (keyCode == leftKey)
        --c;
    else if (keyCode == rightKey)
        ++c;
    else if (keyCode == 38)
        --r;
    else if (keyCode == 40)
        ++r;
    else if (keyCode == 33)
        r -= page;
    else if (keyCode == 34)
        r += page;
    else if (keyCode == 36) {
        c = d->fixedCols;
        if (ctrl)
            r = d->fixedRows;
    } else if (keyCode == 35) {
        c = cols - 1;
        if (ctrl)
            r = rows - 1;
    }
    r = std::max(d->fixedRows, std::min(r, rows - 1));
    c = std::max(d->fixedCols, std::min(c, cols - 1));
    // Hidden (zero-size) rows and columns are stepped over in the direction of travel.
    // Home searches to the right, End to the left; when nothing is shown that way, stay.
    const int fromCol = extend ? d->colSel : d->col;
    const int fromRow = extend ? d->rowSel : d->row;
    const int dc = keyCode == 36 ? 1 : keyCode == 35 ? -1 : (c > fromCol ? 1 : -1);
    const int dr = keyCode == 36 ? 1 : keyCode == 35 ? -1 : (r > fromRow ? 1 : -1);
    int found = fromCol;
    for (int k = c; k >= d->fixedCols && k < cols; k += dc) {
        if (d->colW(k) > 0) {
            found = k;
            break;
        }
    }
    c = found;
    found = fromRow;
    for (int k = r; k >= d->fixedRows && k < rows; k += dr) {
        if (d->rowH(k) > 0) {
            found = k;
            break;
        }
    }
    r = found;
    if (keyCode == 33 || keyCode == 34)
        d->setTopLeft(d->topRow + (keyCode == 34 ? page : -page), d->leftCol);
    if (extend)
        d->moveTo(d->row, d->col, r, c);
    else
        d->moveTo(r, c, r, c);
    d->ensureVisible(r, c);
    event->accept();
}

void FlexGrid::keyReleaseEvent(QKeyEvent *event)
{
    if (event->isAutoRepeat())
        return;
    qint16 keyCode = virtualKeyCode(event->key());
    qint16 shift = shiftMask(event->modifiers());
    if (keyCode != 0)
        Q_EMIT KeyUp(keyCode, shift);
    event->accept();
}

// --- mouse -------------------------------------------------------------------------------------

bool FlexGrid::viewportEvent(QEvent *event)
{
    return QAbstractScrollArea::viewportEvent(event);
}

namespace {

struct Hit {
    int x = 0, y = 0; // viewport pixels, x un-mirrored
    int row = -1, col = -1;
};

} // namespace

static Hit hitTest(const FlexGridPrivate *d, const QPointF &pos)
{
    Hit h;
    h.x = int(pos.x());
    h.y = int(pos.y());
    if (d->rightToLeft)
        h.x = d->q->viewport()->width() - 1 - h.x;
    h.row = d->rowAtY(h.y);
    h.col = d->colAtX(h.x);
    return h;
}

// The column whose right border is under x in the fixed rows, or the row whose bottom border is
// under y in the fixed columns; -1 when none.
static int colBorderAt(const FlexGridPrivate *d, const Hit &h)
{
    if (!(d->allowUserResizing & 1) || h.y >= d->fixedHeight())
        return -1;
    for (int c : { h.col, h.col - 1 }) {
        if (c < 0 || c >= d->model.cols())
            continue;
        const int edge = d->colX(c) + d->colW(c);
        if (std::abs(h.x - edge) <= ResizeMargin)
            return c;
    }
    return -1;
}

static int rowBorderAt(const FlexGridPrivate *d, const Hit &h)
{
    if (!(d->allowUserResizing & 2) || h.x >= d->fixedWidth())
        return -1;
    for (int r : { h.row, h.row - 1 }) {
        if (r < 0 || r >= d->model.rows())
            continue;
        const int edge = d->rowY(r) + d->rowH(r);
        if (std::abs(h.y - edge) <= ResizeMargin)
            return r;
    }
    return -1;
}

static void raiseMouse(FlexGrid *q, void (FlexGrid::*signal)(qint16 &, qint16 &, float &, float &),
    QMouseEvent *event, qint16 button)
{
    qint16 shift = shiftMask(event->modifiers());
    const QPointF p = q->viewport()->mapTo(q, event->position().toPoint());
    float x = float(p.x() * TwipsPerPixel), y = float(p.y() * TwipsPerPixel);
    Q_EMIT(q->*signal)(button, shift, x, y);
}

// What a left press on a point does: start a border resize, select by headers, or move the
// cursor (Shift extends the selection) and start a drag selection.
static void pressAt(FlexGridPrivate *d, const Hit &h, bool extend)
{
    const int rows = d->model.rows(), cols = d->model.cols();
    using Drag = FlexGridPrivate::Drag;
    if (int c = colBorderAt(d, h); c >= 0) {
        d->drag = Drag::ResizeCol;
        d->resizeIndex = c;
        d->resizeOrigin = d->colX(c);
        return;
    }
    if (int r = rowBorderAt(d, h); r >= 0) {
        d->drag = Drag::ResizeRow;
        d->resizeIndex = r;
        d->resizeOrigin = d->rowY(r);
        return;
    }
    if (h.row < 0 || h.col < 0 || rows <= d->fixedRows || cols <= d->fixedCols)
        return;
    const bool fixedRow = h.row < d->fixedRows, fixedCol = h.col < d->fixedCols;
    if (fixedRow || fixedCol) {
        if (!d->allowBigSelection)
            return;
        if (fixedRow && fixedCol) {
            d->moveTo(d->fixedRows, d->fixedCols, rows - 1, cols - 1);
        } else if (fixedRow) {
            if (extend)
                d->moveTo(d->fixedRows, d->col, rows - 1, h.col);
            else
                d->moveTo(d->fixedRows, h.col, rows - 1, h.col);
            d->drag = Drag::FixedRowsSel;
        } else {
            if (extend)
                d->moveTo(d->row, d->fixedCols, h.row, cols - 1);
            else
                d->moveTo(h.row, d->fixedCols, h.row, cols - 1);
            d->drag = Drag::FixedColsSel;
        }
        return;
    }
    if (extend)
        d->moveTo(d->row, d->col, h.row, h.col);
    else
        d->moveTo(h.row, h.col, h.row, h.col);
    d->drag = Drag::Cells;
    d->ensureVisible(h.row, h.col);
}

void FlexGrid::mousePressEvent(QMouseEvent *event)
{
    const Hit h = hitTest(d.get(), event->position());
    if (h.row >= 0)
        d->mouseRow = h.row;
    if (h.col >= 0)
        d->mouseCol = h.col;
    raiseMouse(this, &FlexGrid::MouseDown, event, buttonCode(event->button()));
    if (event->button() != Qt::LeftButton)
        return;
    d->clickPending = true;
    pressAt(d.get(), h, event->modifiers() & Qt::ShiftModifier);
}

void FlexGrid::mouseMoveEvent(QMouseEvent *event)
{
    const Hit h = hitTest(d.get(), event->position());
    if (h.row >= 0)
        d->mouseRow = h.row;
    if (h.col >= 0)
        d->mouseCol = h.col;
    raiseMouse(this, &FlexGrid::MouseMove, event, buttonCode(event->buttons()));

    const int rows = d->model.rows(), cols = d->model.cols();
    using Drag = FlexGridPrivate::Drag;
    switch (d->drag) {
    case Drag::None:
        if (d->mousePointer == 0) {
            if (colBorderAt(d.get(), h) >= 0)
                viewport()->setCursor(Qt::SplitHCursor);
            else if (rowBorderAt(d.get(), h) >= 0)
                viewport()->setCursor(Qt::SplitVCursor);
            else
                viewport()->unsetCursor();
        }
        return;
    case Drag::ResizeCol:
        d->model.setColWidth(d->resizeIndex, toTwips(std::max(0, h.x - d->resizeOrigin)));
        d->layoutChanged();
        return;
    case Drag::ResizeRow:
        d->model.setRowHeight(d->resizeIndex, toTwips(std::max(0, h.y - d->resizeOrigin)));
        d->layoutChanged();
        return;
    default:
        break;
    }
    if (!(event->buttons() & Qt::LeftButton))
        return;
    // Past the edges the selection follows the pointer and the grid scrolls.
    int r = h.row, c = h.col;
    if (r < 0 || h.y >= viewport()->height())
        r = h.y < 0 ? d->topRow - 1 : d->lastVisibleRow() + (h.y >= viewport()->height() ? 1 : 0);
    else if (r < d->fixedRows)
        r = d->topRow - 1;
    if (c < 0 || h.x >= viewport()->width())
        c = h.x < 0 ? d->leftCol - 1 : d->lastVisibleCol() + (h.x >= viewport()->width() ? 1 : 0);
    else if (c < d->fixedCols)
        c = d->leftCol - 1;
    r = std::max(d->fixedRows, std::min(r, rows - 1));
    c = std::max(d->fixedCols, std::min(c, cols - 1));
    if (d->drag == Drag::Cells)
        d->moveTo(d->row, d->col, r, c);
    else if (d->drag == Drag::FixedRowsSel)
        d->moveTo(d->row, d->col, rows - 1, c);
    else if (d->drag == Drag::FixedColsSel)
        d->moveTo(d->row, d->col, r, cols - 1);
    d->ensureVisible(d->drag == Drag::FixedRowsSel ? d->topRow : r,
        d->drag == Drag::FixedColsSel ? d->leftCol : c);
}

void FlexGrid::mouseReleaseEvent(QMouseEvent *event)
{
    const Hit h = hitTest(d.get(), event->position());
    if (h.row >= 0)
        d->mouseRow = h.row;
    if (h.col >= 0)
        d->mouseCol = h.col;
    raiseMouse(this, &FlexGrid::MouseUp, event, buttonCode(event->button()));
    d->drag = FlexGridPrivate::Drag::None;
    if (event->button() == Qt::LeftButton && d->clickPending) {
        d->clickPending = false;
        Q_EMIT Click();
    }
}

void FlexGrid::mouseDoubleClickEvent(QMouseEvent *event)
{
    d->clickPending = false;
    if (event->button() != Qt::LeftButton)
        return;
    // The second press of a double click acts as a press (it usually lands on the same cell).
    pressAt(d.get(), hitTest(d.get(), event->position()), event->modifiers() & Qt::ShiftModifier);
    Q_EMIT DblClick();
}

void FlexGrid::wheelEvent(QWheelEvent *event)
{
    const int steps = event->angleDelta().y() / 120 * 3;
    if (steps == 0) {
        event->ignore();
        return;
    }
    if (event->modifiers() & Qt::ShiftModifier)
        d->setTopLeft(d->topRow, d->leftCol - steps / 3);
    else
        d->setTopLeft(d->topRow - steps, d->leftCol);
    event->accept();
}

// --- focus and size ----------------------------------------------------------------------------

void FlexGrid::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    d->update();
    Q_EMIT GotFocus();
}

void FlexGrid::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    d->update();
    if (d->alive)
        Q_EMIT LostFocus();
}

void FlexGrid::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    d->layoutChanged();
}

} // namespace tessera
