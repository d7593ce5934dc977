// Tessera: the data-grid control a host places on its forms, with the programming model of the
// classic desktop grid controls. It wraps a FlexGrid (`fxgGrid`) and adds column definitions, a
// cell writer with check marks and sign arrows, numbering, persisted settings and more.
//
// Members are grouped by subsystem below; their bodies live in src/control (host: lifecycle,
// settings, property surface), src/columns (definitions, cell text), src/data (binding, rows) and
// src/interaction (tracking, editing, keyboard). Rows and columns count from 0, sizes are twips,
// colours OLE colours. Errors are tessera::Error; members that skip failures say so.
#pragma once

#include <tessera/Error.h>
#include <tessera/Recordset.h>

#include <QString>
#include <QWidget>

#include <memory>

namespace tessera {

class HostSite;
class PropertyBag;
class TesseraPrivate;

// --- Public types -------------------------------------------------------------------------------

// Cell alignment (ColAlignment, CellAlignment, CellPictureAlignment, a definition's Alignment).
enum udetesAlignConstantsX : qint32 {
    tesAlignLeftTop = 0,
    tesAlignLeftCenter = 1,
    tesAlignLeftBottom = 2,
    tesAlignCenterTop = 3,
    tesAlignCenterCenter = 4,
    tesAlignCenterBottom = 5,
    tesAlignRightTop = 6,
    tesAlignRightCenter = 7,
    tesAlignRightBottom = 8,
    tesAlignGeneral = 9,
};

// Alignment of a header row; tesHAlign_Default leaves the header cell's alignment as it is.
enum udetesHeaderAlignConstantsX : qint32 {
    tesHAlignLeftTop = 0,
    tesHAlignLeftCenter = 1,
    tesHAlignLeftBottom = 2,
    tesHAlignCenterTop = 3,
    tesHAlignCenterCenter = 4,
    tesHAlignCenterBottom = 5,
    tesHAlignRightTop = 6,
    tesHAlignRightCenter = 7,
    tesHAlignRightBottom = 8,
    tesHAlignGeneral = 9,
    tesHAlign_Default = 9999,
};

// The grid's sort codes, as the write-only Sort takes them.
enum udetesSortingMethodX : qint32 {
    tesSortNone = 0,
    tesSortGenericAscending = 1,
    tesSortGenericDescending = 2,
    tesSortNumericAscending = 3,
    tesSortNumericDescending = 4,
    tesSortStringNoCaseAscending = 5,
    tesSortStringNoCaseDescending = 6,
    tesSortStringAscending = 7,
    tesSortStringDescending = 8,
};

// One column definition, fields in their original order.
struct eColDefsX {
    qint16 Index = 0; // the grid column described
    bool Required = false;
    QString Caption; // header row 0
    QString Caption2; // header row 1; "" = no second header line
    QString Caption3; // header row 2, used only with a Caption2
    qint32 Width = 0; // twips
    qint32 MinWidth = 0; // twips; Width is raised to it when applied
    double PercAutoWidth = 0; // share in automatic width distribution
    qint32 CellBackColor = 0; // as last applied
    QString TextFormat; // format expression of numeric data cells; "" = none
    bool Hide = false;
    udetesAlignConstantsX Alignment = tesAlignLeftTop;
    udetesHeaderAlignConstantsX HeaderAlignment = tesHAlignLeftTop;
    udetesHeaderAlignConstantsX HeaderAlignment1 = tesHAlignLeftTop;
    udetesHeaderAlignConstantsX HeaderAlignment2 = tesHAlignLeftTop;
    bool Editable = false;
    bool CheckBox = false; // check marks ("þ" / "q" in Wingdings)
    bool ColorBySigned = false; // a coloured arrow for the sign of the number

    friend bool operator==(const eColDefsX &, const eColDefsX &) = default;
};

// --- The control --------------------------------------------------------------------------------

class Tessera : public QWidget {
    Q_OBJECT

public:
    // Runs Initialize. A host restoring saved settings calls ReadProperties next; one that does
    // not gets InitProperties when the control is first shown. `site` is the host site (the
    // default one when none is given).
    explicit Tessera(QWidget *parent = nullptr, HostSite *site = nullptr);
    ~Tessera() override; // runs Terminate unless the host did

    HostSite *site() const;

    // --- Lifecycle (src/control/lifecycle.cpp) --------------------------------------------------
    void InitProperties();
    // Resize settling: the grid is fitted 100 ms after the last of a burst of resizes.
    void Resize();
    void Terminate();

    // --- Persisted settings (src/control/persisted_settings.cpp) --------------------------------
    // The 47 keys in their order. Neither catches anything: a value the grid rejects ends the
    // load at its key. No property-changed notice is sent while loading.
    void ReadProperties(PropertyBag &bag);
    void WriteProperties(PropertyBag &bag) const;

    // --- Cell text and numbering (src/columns/cell_writer.cpp, numbering.cpp) -------------------
    // Reads a cell; a check-mark column reads "True" / "False". A column beyond the definition
    // table raises 9.
    QString TextMatrix(qint32 Row, qint32 Col) const;
    // The writers skip failing steps and raise nothing; each ends with the "TextMatrix" notice.
    // TextMatrix turns truth values into check marks (any text that converts to True) and
    // numbers into sign arrows; TextMatrix1Plus tests header rows first and takes only "True",
    // "-1" and " -1" as true; the WithFormat pair also applies the column's TextFormat.
    void setTextMatrix(qint32 Row, qint32 Col, const QString &text);
    void setTextMatrixWithFormat(qint32 Row, qint32 Col, const QString &text);
    void setTextMatrix1Plus(qint32 Row, qint32 Col, const QString &text);
    void setTextMatrixWithFormat1Plus(qint32 Row, qint32 Col, const QString &text);
    void setTextArray(qint32 Index, const QString &text);
    bool AutoNumberRows() const;
    void setAutoNumberRows(bool number);
    bool AutoNumberCols() const;
    void setAutoNumberCols(bool number);
    // The letter name of a 1-based column number: 1 "A", 26 "Z", 27 "AA"; "" for 0 and below.
    QString EnumHeader(qint32 &Colonna) const;

Q_SIGNALS:
    // The property-changed notice (also sent to the host site), with the member's name.
    void PropertyChanged(const QString &name);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void connectNotify(const QMetaMethod &signal) override;
    void disconnectNotify(const QMetaMethod &signal) override;

private:
    friend class TesseraPrivate;
    std::unique_ptr<TesseraPrivate> const d;
};

} // namespace tessera
