// TesseraPrivate: the control's child widgets and its state fields under their original names,
// with the few helpers every subsystem file shares (notices, definition slots, skip-on-failure).
#pragma once

#include "picture_box.h"

#include <tessera/FlexGrid.h>
#include <tessera/HostSite.h>
#include <tessera/Recordset.h>
#include <tessera/Tessera.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QTimer>

#include <array>
#include <optional>
#include <type_traits>
#include <vector>

namespace tessera {

class ImageList;
class clsEvents;

// A check-mark column's two texts, drawn in the symbol font as a ticked and an empty box.
inline const QString CheckedMark = QStringLiteral("þ");
inline const QString UncheckedMark = QStringLiteral("q");

class TesseraPrivate {
public:
    TesseraPrivate(Tessera *control, HostSite *site);
    static TesseraPrivate *get(Tessera *control) { return control->d.get(); }

    Tessera *q;
    HostSite *site;

    // --- Child widgets, under their original object names ---
    FlexGrid *fxgGrid;
    FlexGrid *MSHFlexGrid1; // the header grid, hidden but while it overlays the header rows
    QLineEdit *txtEdit;
    QComboBox *Combo1; // row-height gauge
    PictureBox *Picture1; // out of view: text measuring, picture composition, focus parking
    QTimer *Timer1; // deferred EnterCell
    QTimer *Timer4; // resize settling

    // --- State fields ---
    QString enteredCellText;
    QPointer<ImageList> iconList;
    bool validatePending = false;
    bool editingCell = false;
    qint32 editRow = 0, editCol = 0;
    bool autoNumberRows = false;
    bool autoNumberCols = false;
    bool lockCells = false;
    bool enabled = true;
    // Long, not the original Integer: a million-row grid has rows past 32,767.
    qint32 curRow = 0, curCol = 0;
    float allCellFontSize = 0;
    // Arrays the original allocated on demand: empty optional = unallocated; slot 0 is unused.
    std::optional<std::vector<eColDefsX>> colDefs;
    std::optional<std::vector<QString>> rowTags;
    bool checkboxes = false;
    bool noRaise = false;
    RecordsetPtr recordset;
    RecordsetPtr recordsetCopy;
    qint32 savedCellBackColor = -1;
    qint32 defaultCellBackColor = 0xFFFFFF;
    qint32 backColorSel = 0;
    bool headersMerged = false;
    double magnify = 1.0;
    std::vector<qint16> removedCols;
    bool refreshing = false;
    bool hasRecords = false;
    QString filterText;
    clsEvents *HookEvent = nullptr;
    bool layoutSuspended = false;
    qint32 hwnd = 0; // the control's own window id, given on first read

    // --- Lifecycle bookkeeping ---
    bool loading = false; // ReadProperties runs: no notices
    bool propertiesInitialized = false; // InitProperties or ReadProperties ran
    bool terminated = false;
    // Which of the signals raised on every written cell or cursor move have ever had a
    // listener: one nobody ever heard is not raised, which would still look up its connections.
    enum HeardSignal : quint8 {
        HeardPropertyChanged = 1,
        HeardLeaveCell = 2,
        HeardRowColChange = 4,
        HeardSelChange = 8,
    };
    quint8 heard = 0;

    void Initialize();
    void ResizeGrid();
    // True for an empty object reference (the runtime's type name "Nothing").
    static bool IsNothing(const QObject *object);
    static bool IsNothing(const RecordsetPtr &recordset) { return !recordset; }

    // The property-changed notice: the control's signal and the host site's hook.
    void notify(const QString &name);

    // The one shape of a pass-through write: the value goes to the grid, then the notice with
    // the member's name. A grid enumeration arrives as a Long; one the grid's 16-bit setting
    // cannot hold is refused as the grid refuses a bad value (380).
    template<class T, class V> void passThrough(void (FlexGrid::*set)(T), V value, const char *name)
    {
        (fxgGrid->*set)(gridValue<T>(value));
        notify(QLatin1String(name));
    }
    template<class T, class V> static std::remove_cvref_t<T> gridValue(const V &value)
    {
        if constexpr (std::is_same_v<T, qint16> && !std::is_same_v<V, qint16>) {
            if (value < -32768 || value > 32767)
                throw Error(flexErrInvalidPropertyValue, QStringLiteral("Invalid property value"));
            return qint16(value);
        } else {
            return T(value);
        }
    }

    // --- Cell tracking (src/interaction/cell_tracking.cpp) ---
    bool GridEnterCell(); // true when a new cell was entered
    void GridLeaveCell();
    void CommitCellChange();
    void FormatCurrentCell();
    void CheckRequiredFields();
    // Raises CellValueChanged for a text change of (curRow, curCol): slots may change the
    // row, column and previous text, which the tracking then keeps.
    void raiseTextChanged();
    // The definition searched by Index (what acts on one grid column), or null.
    const eColDefsX *definitionOf(qint64 gridCol) const;
    // Timer1 is switched on by every cell entered: rather than restarting it each time (a cost
    // per cursor move), the time of the last entry is kept and the tick waits out the rest.
    void switchOnTimer1();
    void timer1Tick();
    qint64 lastCellEnteredMs = 0; // on a coarse clock: read on every move, it must be cheap
    // The text of grid cell (row, col), read from the grid again only when its texts may have
    // changed: a move reads the cell it leaves and the one it enters several times. It may be
    // enteredCellText itself: valid until the next cellText, enterCellText or raiseTextChanged;
    // copy it to keep it. Throws as TextMatrix does.
    const QString &cellText(qint32 row, qint32 col);
    // enteredCellText = the text of cell (row, col), read into a buffer of its own (but for the
    // long texts the grid shares): sharing the cache's would touch two reference counts on every
    // move and make its next read allocate.
    void enterCellText(qint32 row, qint32 col);
    // A cell's text as read at a text stamp; row -1: nothing read (or other text since).
    struct CellAt {
        qint32 row = -1, col = -1;
        quint64 stamp = 0;
        bool is(qint32 r, qint32 c, quint64 s) const { return row == r && col == c && stamp == s; }
    };
    CellAt enteredFrom; // what enteredCellText was read from
    struct CellTextCache {
        CellAt at;
        QString text;
    } cellTextCache;
    // Leaving a formatted cell formats it again: the texts seen lately and what they became, so
    // a cursor going over cells already formatted costs a look-up, not a parse and a Format.
    // Slots are picked by a quick hash of the text salted with the column; this runs on every
    // move.
    struct FormatMemo {
        QString format, text, result;
        int localeGeneration = -1;
    };
    std::array<FormatMemo, 256> formatMemo;
    // Valid until the next call.
    const QString &formattedForCell(qint32 col, const QString &text, const QString &format);
    // The control's own cursor move (Row and Col): the tracking around the grid's move, which
    // runs with the grid's signals blocked (its enter and leave events would run the tracking
    // twice, and four signals cost more than the move); the row/column and selection events
    // are raised as the grid would have raised them.
    template<class Move> void trackedMove(Move &&moveGrid);

    // --- Event relay (src/interaction/event_relay.cpp) ---
    void connectGridEvents();
    // What the grid's RowColChange and SelChange become: the host's events, the required-field
    // check. Also raised by the control's own cursor moves, which keep the grid quiet.
    void relayRowColChange();
    void relaySelChange();
    // The control's focus entry and exit (the focus entering or leaving any of its widgets).
    void enterFocus();
    void exitFocus();

    // --- Typing into cells (src/interaction/in_cell_editor.cpp) ---
    void gridClick();
    void gridKeyDown(qint16 &keyCode, qint16 &shift);
    void gridKeyPress(qint16 &keyAscii);
    // Toggles a check mark and reports it (0 unchecked, -1 checked, before and after).
    void toggleCheckMark(qint32 row, qint32 col);
    // The column of the grid's cursor has a definition that is not Editable.
    bool CurrentColIsReadOnly() const;
    // Commit of a typed cell by Enter, Backspace or the editor: FormatCurrentCell, ValidateCell,
    // CellValueChanged.
    void settleTyping();
    // Enter's move down: the next row, the first scrollable column, the tracking as on entry.
    // False on the last row.
    bool moveDown();

    // The definition in slot `position` of the table, or null beyond its upper bound (or while
    // it is unallocated). Slot 0 holds the empty record.
    const eColDefsX *slot(qint64 position) const;
    // Size of the control's client area, in twips.
    qint32 clientWidth() const;
    qint32 clientHeight() const;
};

} // namespace tessera
