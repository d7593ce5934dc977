// Late binding: the one table of the control's dispatch interface (dispatch id, name, a handler
// per kind of call), its look-ups by id and by name, and the conversion of arguments and results.
//
// Call flow: Invoke -> the entry by id (a hash) or by name (a case-blind hash) -> the handler of
// the kind asked -> argument count, conversions left to right -> the member -> by-reference
// arguments written back -> the result as a QVariant.
#include "tessera_p.h"

#include <tessera/Runtime.h>
#include <tessera/VariantTypes.h>

#include <QHash>

#include <tuple>
#include <type_traits>
#include <unordered_map>
#include <utility>

namespace tessera {

namespace {

using Call = QVariant (*)(Tessera &, QVariantList &);

// --- Arguments and results ----------------------------------------------------------------------

// The values the runtime converts between numbers, texts, dates and truth values; a font, a
// picture or an object is none of them.
bool isScalar(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType: // Empty
    case QMetaType::Nullptr: // Null
    case QMetaType::Bool:
    case QMetaType::QChar:
    case QMetaType::QString:
    case QMetaType::QByteArray:
    case QMetaType::QDate:
    case QMetaType::QTime:
    case QMetaType::QDateTime:
        return true;
    default:
        return isNumberTypeId(value.typeId());
    }
}

template<class> inline constexpr bool unsupportedType = false;

// One argument converted to a parameter's type by the runtime's rules.
template<class T> T argument(const QVariant &value)
{
    // The common cases first: a Long given as an int, a String as a text.
    if constexpr (std::is_same_v<T, qint32>) {
        if (value.typeId() == QMetaType::Int)
            return value.toInt();
    } else if constexpr (std::is_same_v<T, QString>) {
        if (value.typeId() == QMetaType::QString)
            return value.toString();
    }
    if constexpr (std::is_same_v<T, QFont> || std::is_same_v<T, QPixmap>) {
        if (value.typeId() != qMetaTypeId<T>())
            throw Error(errTypeMismatch);
        return value.value<T>();
    } else {
        if (!isScalar(value))
            throw Error(errTypeMismatch);
        if constexpr (std::is_same_v<T, bool>)
            return CBool(value);
        else if constexpr (std::is_same_v<T, qint16>)
            return CInt(value);
        else if constexpr (std::is_same_v<T, qint32>)
            return CLng(value);
        else if constexpr (std::is_same_v<T, float>)
            return CSng(value);
        else if constexpr (std::is_same_v<T, QString>)
            return CStr(value);
        else if constexpr (std::is_enum_v<T>)
            return T(CLng(value)); // the grid judges the value
        else
            static_assert(unsupportedType<T>, "no conversion for this parameter type");
    }
}

// Results travel as the runtime's types: an enumeration is a Long.
template<class R> QVariant result(const R &value)
{
    if constexpr (std::is_enum_v<R>)
        return QVariant::fromValue(qint32(value));
    else
        return QVariant::fromValue(value);
}

// A by-reference parameter gives the member's value back to the caller.
template<class A, class V> void writeBack(QVariant &arg, const V &value)
{
    if constexpr (std::is_lvalue_reference_v<A> && !std::is_const_v<std::remove_reference_t<A>>)
        arg = result(value);
}

void checkCount(const QVariantList &args, qsizetype expected)
{
    if (args.size() < expected)
        throw Error(errArgumentNotOptional);
    // The classic runtime reports 450 here, a number callers are not given; the count is what
    // is wrong, so the missing-argument error stands in for it.
    if (args.size() > expected)
        throw Error(errArgumentNotOptional, QStringLiteral("Wrong number of arguments"));
}

// The handler of one member function: its parameters in order (an index first, a new value
// last), converted left to right so that the first bad argument is the one reported.
template<auto Member, class R, class... A> struct Caller {
    static QVariant call(Tessera &control, QVariantList &args)
    {
        checkCount(args, qsizetype(sizeof...(A)));
        return run(control, args, std::index_sequence_for<A...>());
    }

    template<std::size_t... I>
    static QVariant run(
        Tessera &control, [[maybe_unused]] QVariantList &args, std::index_sequence<I...>)
    {
        std::tuple<std::remove_cvref_t<A>...> values { argument<std::remove_cvref_t<A>>(
            std::as_const(args)[qsizetype(I)])... };
        QVariant out;
        if constexpr (std::is_void_v<R>)
            (control.*Member)(std::get<I>(values)...);
        else
            out = result((control.*Member)(std::get<I>(values)...));
        (writeBack<A>(args[qsizetype(I)], std::get<I>(values)), ...);
        return out;
    }
};

template<auto Member, class = decltype(Member)> struct Handler;
template<auto Member, class R, class... A>
struct Handler<Member, R (Tessera::*)(A...)> : Caller<Member, R, A...> {
};
template<auto Member, class R, class... A>
struct Handler<Member, R (Tessera::*)(A...) const> : Caller<Member, R, A...> {
};

template<auto Member> constexpr Call handler = &Handler<Member>::call;

// --- The table ----------------------------------------------------------------------------------

struct Entry {
    qint32 dispId;
    const char *name;
    Call get, put, method;

    int kinds() const
    {
        return (get ? InvokePropertyGet : 0) | (put ? InvokePropertyPut : 0)
            | (method ? InvokeMethod : 0);
    }
};

#define READ_WRITE(id, Name)                                                                       \
    {                                                                                              \
        qint32(id), #Name, handler<&Tessera::Name>, handler<&Tessera::set##Name>, nullptr          \
    }
#define READ_ONLY(id, Name)                                                                        \
    {                                                                                              \
        qint32(id), #Name, handler<&Tessera::Name>, nullptr, nullptr                               \
    }
#define WRITE_ONLY(id, Name)                                                                       \
    {                                                                                              \
        qint32(id), #Name, nullptr, handler<&Tessera::set##Name>, nullptr                          \
    }
#define METHOD_CALL(id, Name)                                                                      \
    {                                                                                              \
        qint32(id), #Name, nullptr, nullptr, handler<&Tessera::Name>                               \
    }
#define NOT_YET(id, Name)                                                                          \
    {                                                                                              \
        qint32(id), #Name, nullptr, nullptr, nullptr                                               \
    }

// Every host binds by these ids, so each member keeps its own. Writes still to come (Cols,
// Rows, FixedCols, FixedRows, FixedAlignment, MergeCol, MergeRow, AllCellFontSize) are read-only
// until their members exist.
constexpr Entry kMembers[] = {
    READ_WRITE(0x68030063, BackColor),
    READ_WRITE(0x68030062, ForeColor),
    READ_WRITE(0x68030061, Enabled),
    READ_WRITE(0xFFFFFE00, Font),
    READ_WRITE(0x68030060, BorderStyle),
    METHOD_CALL(0x6003008C, Refresh),
    READ_WRITE(0x6803005F, AllowBigSelection),
    READ_WRITE(0x6803005B, AllowUserResizing),
    READ_WRITE(0x6803005A, Appearance),
    READ_WRITE(0x68030059, BackColorBkg),
    READ_WRITE(0x68030058, BackColorFixed),
    READ_WRITE(0x68030057, BackColorSel),
    READ_ONLY(0x68030056, CellHeight),
    READ_ONLY(0x68030055, CellLeft),
    READ_ONLY(0x68030053, CellTop),
    READ_ONLY(0x68030052, CellWidth),
    READ_WRITE(0x68030051, ColAlignment),
    READ_WRITE(0x68030050, ColData),
    READ_ONLY(0x6803004F, ColIsVisible),
    READ_ONLY(0x6803004E, ColPos),
    READ_ONLY(0x6803004D, Cols),
    READ_WRITE(0x6803004C, ColWidth),
    METHOD_CALL(0x6003009B, SetBackColorSel2Blank),
    READ_ONLY(0x6803004B, FixedAlignment),
    READ_ONLY(0x6803004A, FixedCols),
    READ_ONLY(0x68030049, FixedRows),
    READ_WRITE(0x68030048, FocusRect),
    READ_WRITE(0x68030047, ForeColorFixed),
    READ_WRITE(0x68030046, ForeColorSel),
    READ_WRITE(0x68030045, FormatString),
    READ_WRITE(0x68030044, GridColor),
    READ_WRITE(0x68030043, GridColorFixed),
    READ_WRITE(0x68030042, GridLines),
    READ_WRITE(0x68030041, GridLinesFixed),
    READ_WRITE(0x68030040, GridLineWidth),
    READ_WRITE(0x6803003F, HighLight),
    READ_WRITE(0x6803003E, MergeCells),
    READ_ONLY(0x6803003D, MergeCol),
    READ_ONLY(0x6803003C, MergeRow),
    READ_ONLY(0x6803003B, MouseCol),
    READ_WRITE(0x6803003A, MouseIcon),
    READ_WRITE(0x68030039, MousePointer),
    READ_ONLY(0x68030038, MouseRow),
    METHOD_CALL(0x600300A4, OLEDrag),
    READ_WRITE(0x68030037, OLEDropMode),
    READ_WRITE(0x68030036, RowData),
    READ_WRITE(0x68030035, RowHeight),
    READ_WRITE(0x68030034, RowHeightMin),
    READ_ONLY(0x68030033, RowIsVisible),
    READ_ONLY(0x68030032, RowPos),
    READ_ONLY(0x68030031, Rows),
    READ_WRITE(0x68030030, ScrollBars),
    READ_WRITE(0x6803002F, ScrollTrack),
    READ_WRITE(0x6803002E, SelectionMode),
    READ_WRITE(0x6803002C, TextArray),
    READ_WRITE(0x68030027, TextStyle),
    READ_WRITE(0x68030026, TextStyleFixed),
    READ_WRITE(0x68030025, WordWrap),
    READ_WRITE(0x68030022, FillStyle),
    READ_WRITE(0x68030021, PictureType),
    READ_WRITE(0x68030020, Redraw),
    READ_WRITE(0x6803001F, RightToLeft),
    READ_WRITE(0x6803001E, AutoNumberRows),
    READ_WRITE(0x6803001D, AutoNumberCols),
    READ_WRITE(0x6803001C, Col),
    READ_WRITE(0x6803001B, Row),
    READ_WRITE(0x6803001A, CellAlignment),
    READ_WRITE(0x68030019, CellPictureAlignment),
    READ_WRITE(0x68030018, CellBackColor),
    READ_WRITE(0x68030017, CellForeColor),
    READ_WRITE(0x68030016, CellTextStyle),
    READ_WRITE(0x68030015, ColSel),
    READ_WRITE(0x68030014, RowSel),
    READ_WRITE(0x68030013, Clip),
    READ_WRITE(0x68030012, CellFontBold),
    READ_WRITE(0x68030011, CellFontItalic),
    READ_WRITE(0x68030010, CellFontName),
    READ_ONLY(0x6803000F, AllCellFontSize),
    READ_WRITE(0x6803000E, CellFontSize),
    READ_WRITE(0x6803000D, CellFontStrikeThrough),
    READ_WRITE(0x6803000C, CellFontUnderline),
    READ_WRITE(0x6803000B, CellFontWidth),
    READ_WRITE(0x6803000A, FontWidth),
    READ_ONLY(0x68030009, Picture),
    READ_WRITE(0x68030008, Text),
    READ_WRITE(0x68030007, LeftCol),
    READ_WRITE(0x68030006, TopRow),
    METHOD_CALL(0x600300B6, ForceGridFocus),
    READ_ONLY(0x68030001, hWnd),
    METHOD_CALL(0x600300C5, SuspendLayout),
    METHOD_CALL(0x600300C6, ResumeLayout),
    // Members with logic of their own; those still to come have no handler yet.
    NOT_YET(0xFFFFFDD8, ShowInfo),
    NOT_YET(0x68030005, Version),
    NOT_YET(0x60030073, GetColDef),
    NOT_YET(0x60030074, GetColCaption),
    NOT_YET(0x60030075, GetColIndexByFldName),
    NOT_YET(0x6003007C, IniColDef),
    NOT_YET(0x6003007D, IniColDefs),
    NOT_YET(0x6003007E, ReApplyColDefs),
    NOT_YET(0x60030080, AddColDefs),
    NOT_YET(0x60030072, GetDataField),
    NOT_YET(0x600300B4, RemoveColumnByFldName),
    NOT_YET(0x600300B5, RemoveColumn),
    NOT_YET(0x600300A1, MergeHeaders),
    NOT_YET(0x6003007B, AutoResizeCols),
    NOT_YET(0x600300C0, AutosizeHFlexRows),
    NOT_YET(0x68030002, MoltMagnify),
    READ_WRITE(0x6803002B, TextMatrix),
    WRITE_ONLY(0x6803002A, TextMatrixWithFormat),
    WRITE_ONLY(0x68030029, TextMatrix1Plus),
    WRITE_ONLY(0x68030028, TextMatrixWithFormat1Plus),
    METHOD_CALL(0x600300B0, EnumHeader),
    NOT_YET(0x68030024, DataSource),
    NOT_YET(0x68030023, DataBindings),
    NOT_YET(0x600300B1, RefreshData),
    NOT_YET(0x600300A0, MoveFirst),
    NOT_YET(0x60030079, GetRowFields),
    NOT_YET(0x60030099, Clear),
    NOT_YET(0x600300B7, Filter),
    NOT_YET(0x6803002D, Sort),
    NOT_YET(0x600300B8, SaveXML),
    NOT_YET(0x600300B9, ScriviXML),
    NOT_YET(0x6803005E, Checkboxes),
    NOT_YET(0x6003006F, RowTag),
    NOT_YET(0x60030070, GetSelectedRowTag),
    NOT_YET(0x60030071, GetRowTag),
    NOT_YET(0x60030076, IniTagsWithArt),
    NOT_YET(0x60030077, RowTagWithArt),
    NOT_YET(0x60030078, GetRowTagWithArt),
    NOT_YET(0x600300BC, SelectRowViaTag),
    NOT_YET(0x600300BD, CheckAll),
    NOT_YET(0x600300BE, InvertCheck),
    NOT_YET(0x600300BF, DeCheckAll),
    NOT_YET(0x600300C1, RowIsChecked),
    NOT_YET(0x60030096, AddItem),
    NOT_YET(0x600300AA, RemoveItem),
    NOT_YET(0x600300C2, IntestaGrid),
    NOT_YET(0x600300C3, AddLine),
    NOT_YET(0x600300C4, AddLineIcon),
    NOT_YET(0x600300A2, ADO2ADO),
    NOT_YET(0x68030003, EditingCell),
    NOT_YET(0x68030004, EditText),
    NOT_YET(0x6803005C, LockCells),
    READ_WRITE(0x6803005D, NoRaise),
    NOT_YET(0x6003007A, PutObjectOverCell),
    NOT_YET(0x60030097, SetCellPictureCentered),
    NOT_YET(0x60030098, SetCellImageCentered),
    NOT_YET(0x600300B2, PutObjectIntoCell),
    NOT_YET(0x600300B3, ExitObjectFromCell),
    NOT_YET(0x68030054, CellPicture),
    NOT_YET(0x68030000, Icons),
};

#undef READ_WRITE
#undef READ_ONLY
#undef WRITE_ONLY
#undef METHOD_CALL
#undef NOT_YET

// Names compare without regard to case, and looking one up builds no string.
struct NoCaseHash {
    std::size_t operator()(QStringView name) const noexcept
    {
        std::size_t h = 0;
        for (QChar c : name)
            h = h * 31 + c.toCaseFolded().unicode();
        return h;
    }
};
struct NoCaseEqual {
    bool operator()(QStringView a, QStringView b) const noexcept
    {
        return a.compare(b, Qt::CaseInsensitive) == 0;
    }
};

// The registered members: those with a handler.
struct Registry {
    std::vector<DispatchMember> members;
    QHash<qint32, const Entry *> byId;
    std::unordered_map<QStringView, const Entry *, NoCaseHash, NoCaseEqual> byName;

    Registry()
    {
        std::vector<const Entry *> entries;
        for (const Entry &e : kMembers) {
            if (e.kinds())
                entries.push_back(&e);
        }
        members.reserve(entries.size());
        for (const Entry *e : entries)
            members.push_back({ e->dispId, QString::fromLatin1(e->name), e->kinds() });
        // The views below point into `members`, which no longer changes.
        for (std::size_t i = 0; i < entries.size(); ++i) {
            byId.insert(entries[i]->dispId, entries[i]);
            byName.emplace(QStringView(members[i].name), entries[i]);
        }
    }
};

const Registry &registry()
{
    static const Registry r;
    return r;
}

const Entry &entryByName(const QString &name)
{
    const Registry &r = registry();
    const auto it = r.byName.find(QStringView(name));
    if (it == r.byName.end())
        throw Error(errObjectDoesNotSupportMember);
    return *it->second;
}

QVariant invoke(Tessera &control, const Entry &e, InvokeKind kind, QVariantList &args)
{
    Call call = nullptr;
    switch (kind) {
    case InvokeMethod:
        call = e.method;
        break;
    case InvokePropertyGet:
        call = e.get;
        break;
    case InvokePropertyPut:
        call = e.put;
        break;
    }
    if (!call)
        throw Error(errObjectDoesNotSupportMember);
    return call(control, args);
}

} // namespace

QVariant Tessera::Invoke(qint32 dispId, InvokeKind kind, QVariantList &args)
{
    const Entry *e = registry().byId.value(dispId);
    if (!e)
        throw Error(errObjectDoesNotSupportMember);
    return invoke(*this, *e, kind, args);
}

QVariant Tessera::Invoke(const QString &name, InvokeKind kind, QVariantList &args)
{
    return invoke(*this, entryByName(name), kind, args);
}

qint32 Tessera::DispIdOfName(const QString &name)
{
    return entryByName(name).dispId;
}

const std::vector<DispatchMember> &Tessera::DispatchMembers()
{
    return registry().members;
}

} // namespace tessera
