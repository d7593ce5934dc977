// Persisted settings: the 47 keys of the property bag in their load order, each with its type,
// read default, where a load applies it and where a save takes it from (and its write default).
#include "tessera_p.h"

#include <tessera/PropertyBag.h>
#include <tessera/Runtime.h>

#include <functional>
#include <optional>

namespace tessera {

namespace {

enum class KeyType { Long, Integer, Boolean, Single, String, Font };

// Row and column counts and their fixed parts are applied together once the dimensions are
// read, in an order every step of which the grid accepts: the fixed counts come before the
// dimensions in the key order, and a new control's 2 x 2 grid would refuse FixedRows 2 or more.
struct Dimensions {
    std::optional<qint16> fixedCols, fixedRows;
};

struct Key {
    const char *name;
    KeyType type;
    // The read default; when `fixedDefault` is empty, the current value (the grid's as created).
    std::optional<QVariant> fixedDefault;
    std::function<QVariant(const TesseraPrivate &)> current;
    std::function<void(TesseraPrivate &, Dimensions &, const QVariant &)> apply;
    bool written = true;
};

QVariant convert(const QVariant &value, KeyType type)
{
    switch (type) {
    case KeyType::Long:
        return CLng(value);
    case KeyType::Integer:
        return CInt(value);
    case KeyType::Boolean:
        return CBool(value);
    case KeyType::Single:
        return CSng(value);
    case KeyType::String:
        return CStr(value);
    case KeyType::Font:
        if (value.typeId() != QMetaType::QFont)
            throw Error(errTypeMismatch, QStringLiteral("Type mismatch: a font is needed"));
        return value;
    }
    return value;
}

// A key kept by the grid, read and written straight through its members.
template<class T>
Key gridKey(const char *name, KeyType type, std::optional<QVariant> fixedDefault,
    T (FlexGrid::*get)() const, void (FlexGrid::*set)(T))
{
    return Key { name, type, std::move(fixedDefault),
        [get](const TesseraPrivate &d) { return QVariant::fromValue((d.fxgGrid->*get)()); },
        [set](TesseraPrivate &d, Dimensions &, const QVariant &v) {
            (d.fxgGrid->*set)(v.value<T>());
        } };
}

// A key kept in one of the control's state fields.
template<class T>
Key fieldKey(
    const char *name, KeyType type, std::optional<QVariant> fixedDefault, T TesseraPrivate::*field)
{
    return Key { name, type, std::move(fixedDefault),
        [field](const TesseraPrivate &d) { return QVariant::fromValue(d.*field); },
        [field](TesseraPrivate &d, Dimensions &, const QVariant &v) { d.*field = v.value<T>(); } };
}

void applyCount(FlexGrid &grid, std::optional<qint16> fixed, qint32 count, bool rows)
{
    auto setFixed = [&](qint32 f) { rows ? grid.setFixedRows(f) : grid.setFixedCols(f); };
    auto setCount = [&](qint32 c) { rows ? grid.setRows(c) : grid.setCols(c); };
    const qint32 currentCount = rows ? grid.Rows() : grid.Cols();
    if (fixed && *fixed < currentCount) {
        setFixed(*fixed);
        setCount(count);
    } else {
        setCount(count);
        if (fixed)
            setFixed(*fixed);
    }
}

const std::vector<Key> &keys()
{
    using G = FlexGrid;
    static const std::vector<Key> table = [] {
        const std::nullopt_t current = std::nullopt; // read default: the grid's value as created
        std::vector<Key> k;
        k.push_back(
            gridKey<qint32>("BackColor", KeyType::Long, current, &G::BackColor, &G::setBackColor));
        k.push_back(
            gridKey<qint32>("ForeColor", KeyType::Long, current, &G::ForeColor, &G::setForeColor));
        k.push_back(fieldKey<bool>("Enabled", KeyType::Boolean, true, &TesseraPrivate::enabled));
        k.push_back(Key { "Font", KeyType::Font, std::nullopt,
            [](const TesseraPrivate &d) { return QVariant(d.fxgGrid->Font()); },
            [](TesseraPrivate &d, Dimensions &, const QVariant &v) {
                d.fxgGrid->setFont(v.value<QFont>());
            } });
        k.push_back(gridKey<qint16>(
            "BorderStyle", KeyType::Integer, qint16(1), &G::BorderStyle, &G::setBorderStyle));
        k.push_back(gridKey<bool>("AllowBigSelection", KeyType::Boolean, true,
            &G::AllowBigSelection, &G::setAllowBigSelection));
        k.push_back(
            fieldKey<bool>("Checkboxes", KeyType::Boolean, false, &TesseraPrivate::checkboxes));
        k.push_back(gridKey<qint16>("AllowUserResizing", KeyType::Integer, qint16(0),
            &G::AllowUserResizing, &G::setAllowUserResizing));
        k.push_back(gridKey<qint16>(
            "Appearance", KeyType::Integer, qint16(0), &G::Appearance, &G::setAppearance));
        k.push_back(gridKey<qint32>(
            "BackColorBkg", KeyType::Long, current, &G::BackColorBkg, &G::setBackColorBkg));
        k.push_back(gridKey<qint32>(
            "BackColorFixed", KeyType::Long, current, &G::BackColorFixed, &G::setBackColorFixed));
        k.push_back(Key { "BackColorSel", KeyType::Long, std::nullopt,
            [](const TesseraPrivate &d) { return QVariant(d.backColorSel); },
            [](TesseraPrivate &d, Dimensions &, const QVariant &v) {
                d.backColorSel = v.value<qint32>();
            } });
        k.push_back(Key { "CellBackColor", KeyType::Long, qint32(0xFFFFFF),
            [](const TesseraPrivate &d) { return QVariant(d.defaultCellBackColor); },
            [](TesseraPrivate &d, Dimensions &, const QVariant &v) {
                d.defaultCellBackColor = v.value<qint32>();
                // The two stored colours reach the grid right away.
                d.fxgGrid->setBackColorSel(d.backColorSel);
                d.fxgGrid->setCellBackColor(d.defaultCellBackColor);
            } });
        k.push_back(Key { "FixedCols", KeyType::Integer, qint16(1),
            [](const TesseraPrivate &d) { return QVariant(qint16(d.fxgGrid->FixedCols())); },
            [](TesseraPrivate &, Dimensions &dims, const QVariant &v) {
                dims.fixedCols = v.value<qint16>();
            } });
        k.push_back(Key { "FixedRows", KeyType::Integer, qint16(1),
            [](const TesseraPrivate &d) { return QVariant(qint16(d.fxgGrid->FixedRows())); },
            [](TesseraPrivate &, Dimensions &dims, const QVariant &v) {
                dims.fixedRows = v.value<qint16>();
            } });
        k.push_back(gridKey<qint16>(
            "FocusRect", KeyType::Integer, qint16(1), &G::FocusRect, &G::setFocusRect));
        k.push_back(
            gridKey<float>("FontWidth", KeyType::Single, 0.0f, &G::FontWidth, &G::setFontWidth));
        k.push_back(
            fieldKey<bool>("LockCells", KeyType::Boolean, false, &TesseraPrivate::lockCells));
        k.push_back(gridKey<qint32>(
            "ForeColorFixed", KeyType::Long, current, &G::ForeColorFixed, &G::setForeColorFixed));
        k.push_back(gridKey<qint32>(
            "ForeColorSel", KeyType::Long, current, &G::ForeColorSel, &G::setForeColorSel));
        k.push_back(Key { "FormatString", KeyType::String, QString(),
            [](const TesseraPrivate &d) { return QVariant(d.fxgGrid->FormatString()); },
            [](TesseraPrivate &d, Dimensions &, const QVariant &v) {
                d.fxgGrid->setFormatString(v.toString());
            } });
        k.push_back(
            gridKey<qint32>("GridColor", KeyType::Long, current, &G::GridColor, &G::setGridColor));
        k.push_back(gridKey<qint32>(
            "GridColorFixed", KeyType::Long, current, &G::GridColorFixed, &G::setGridColorFixed));
        k.push_back(gridKey<qint16>(
            "GridLines", KeyType::Integer, qint16(1), &G::GridLines, &G::setGridLines));
        k.push_back(gridKey<qint16>("GridLinesFixed", KeyType::Integer, qint16(2),
            &G::GridLinesFixed, &G::setGridLinesFixed));
        k.push_back(gridKey<qint16>(
            "GridLineWidth", KeyType::Integer, qint16(1), &G::GridLineWidth, &G::setGridLineWidth));
        k.push_back(gridKey<qint16>(
            "HighLight", KeyType::Integer, qint16(1), &G::HighLight, &G::setHighLight));
        k.push_back(gridKey<qint16>(
            "MergeCells", KeyType::Integer, qint16(0), &G::MergeCells, &G::setMergeCells));
        k.push_back(gridKey<qint16>(
            "MousePointer", KeyType::Integer, qint16(0), &G::MousePointer, &G::setMousePointer));
        k.push_back(gridKey<qint16>(
            "OLEDropMode", KeyType::Integer, qint16(0), &G::OLEDropMode, &G::setOLEDropMode));
        k.push_back(Key { "RowHeightMin", KeyType::Integer, qint16(0),
            [](const TesseraPrivate &d) { return QVariant(qint16(d.fxgGrid->RowHeightMin())); },
            [](TesseraPrivate &d, Dimensions &, const QVariant &v) {
                d.fxgGrid->setRowHeightMin(v.value<qint16>());
            } });
        k.push_back(Key { "Cols", KeyType::Integer, qint16(2),
            [](const TesseraPrivate &d) { return QVariant(qint16(d.fxgGrid->Cols())); },
            [](TesseraPrivate &d, Dimensions &dims, const QVariant &v) {
                applyCount(*d.fxgGrid, dims.fixedCols, v.value<qint16>(), false);
            } });
        k.push_back(Key { "Rows", KeyType::Integer, qint16(2),
            [](const TesseraPrivate &d) { return QVariant(qint16(d.fxgGrid->Rows())); },
            [](TesseraPrivate &d, Dimensions &dims, const QVariant &v) {
                applyCount(*d.fxgGrid, dims.fixedRows, v.value<qint16>(), true);
            } });
        k.push_back(gridKey<qint16>(
            "ScrollBars", KeyType::Integer, qint16(3), &G::ScrollBars, &G::setScrollBars));
        k.push_back(gridKey<bool>(
            "ScrollTrack", KeyType::Boolean, false, &G::ScrollTrack, &G::setScrollTrack));
        k.push_back(gridKey<qint16>(
            "SelectionMode", KeyType::Integer, qint16(0), &G::SelectionMode, &G::setSelectionMode));
        k.push_back(Key { "Sort", KeyType::Integer, qint16(0), {},
            [](TesseraPrivate &d, Dimensions &, const QVariant &v) {
                d.fxgGrid->setSort(v.value<qint16>());
            },
            false });
        k.push_back(gridKey<qint16>(
            "TextStyle", KeyType::Integer, qint16(0), &G::TextStyle, &G::setTextStyle));
        k.push_back(gridKey<qint16>("TextStyleFixed", KeyType::Integer, qint16(0),
            &G::TextStyleFixed, &G::setTextStyleFixed));
        k.push_back(
            gridKey<bool>("WordWrap", KeyType::Boolean, false, &G::WordWrap, &G::setWordWrap));
        k.push_back(gridKey<qint16>(
            "FillStyle", KeyType::Integer, qint16(0), &G::FillStyle, &G::setFillStyle));
        k.push_back(gridKey<qint16>(
            "PictureType", KeyType::Integer, qint16(0), &G::PictureType, &G::setPictureType));
        k.push_back(gridKey<bool>("Redraw", KeyType::Boolean, true, &G::Redraw, &G::setRedraw));
        k.push_back(gridKey<bool>(
            "RightToLeft", KeyType::Boolean, false, &G::RightToLeft, &G::setRightToLeft));
        // Applied through the control's own members, which number the cells.
        k.push_back(Key { "AutoNumberRows", KeyType::Boolean, false,
            [](const TesseraPrivate &d) { return QVariant(d.autoNumberRows); },
            [](TesseraPrivate &d, Dimensions &, const QVariant &v) {
                d.q->setAutoNumberRows(v.toBool());
            } });
        k.push_back(Key { "AutoNumberCols", KeyType::Boolean, false,
            [](const TesseraPrivate &d) { return QVariant(d.autoNumberCols); },
            [](TesseraPrivate &d, Dimensions &, const QVariant &v) {
                d.q->setAutoNumberCols(v.toBool());
            } });
        k.push_back(fieldKey<float>(
            "AllCellFontSize", KeyType::Single, 0.0f, &TesseraPrivate::allCellFontSize));
        return k;
    }();
    return table;
}

} // namespace

void Tessera::ReadProperties(PropertyBag &bag)
{
    struct Loading {
        TesseraPrivate *d;
        ~Loading() { d->loading = false; }
    } guard { d.get() };
    d->loading = true;
    d->propertiesInitialized = true;
    Dimensions dims;
    for (const Key &key : keys()) {
        const QString name = QLatin1String(key.name);
        const QVariant fallback = name == QLatin1String("Font") ? QVariant(d->site->Font())
            : key.fixedDefault                                  ? *key.fixedDefault
                                                                : key.current(*d);
        key.apply(*d, dims, convert(bag.ReadProperty(name, fallback), key.type));
    }
    d->colDefs.emplace(1);
    d->rowTags.emplace(1);
    QWidget::setEnabled(d->site->UserMode() ? d->enabled : true);
}

void Tessera::WriteProperties(PropertyBag &bag) const
{
    const std::vector<Key> &table = keys();
    auto write = [&](const Key &key) {
        const QString name = QLatin1String(key.name);
        const QVariant value = key.current(*d);
        if (name == QLatin1String("Font"))
            bag.WriteProperty(name, value, d->site->Font());
        else if (key.fixedDefault)
            bag.WriteProperty(name, value, *key.fixedDefault);
        else
            bag.WriteProperty(name, value);
    };
    const Key *lockCells = nullptr;
    for (const Key &key : table)
        if (qstrcmp(key.name, "LockCells") == 0)
            lockCells = &key;
    for (const Key &key : table) {
        if (!key.written || &key == lockCells)
            continue;
        write(key);
        if (qstrcmp(key.name, "CellBackColor") == 0)
            write(*lockCells);
    }
}

} // namespace tessera
