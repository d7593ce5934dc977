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

#include <optional>
#include <vector>

namespace tessera {

class ImageList;
class clsEvents;

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
    qint16 curRow = 0, curCol = 0;
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

    // --- Lifecycle bookkeeping ---
    bool loading = false; // ReadProperties runs: no notices
    bool propertiesInitialized = false; // InitProperties or ReadProperties ran
    bool terminated = false;
    bool noticeListened = false; // a notice per written cell costs nothing while nobody listens

    void Initialize();
    void ResizeGrid();
    // True for an empty object reference (the runtime's type name "Nothing").
    static bool IsNothing(const QObject *object);
    static bool IsNothing(const RecordsetPtr &recordset) { return !recordset; }

    // The property-changed notice: the control's signal and the host site's hook.
    void notify(const QString &name);

    // The definition in slot `position` of the table, or null beyond its upper bound (or while
    // it is unallocated). Slot 0 holds the empty record.
    const eColDefsX *slot(qint64 position) const;
    // Size of the control's client area, in twips.
    qint32 clientWidth() const;
    qint32 clientHeight() const;
};

} // namespace tessera
