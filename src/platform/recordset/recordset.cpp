// Recordset: lifecycle, field collection, cursor moves, editing, filter and sort, and the grid's
// read access. Each cursor keeps a view (record numbers) over the shared table; sync() brings it
// up to date with records other cursors added or deleted before any access.
#include "recordset_p.h"
#include "sql_source.h"

#include <tessera/Runtime.h>

#include <algorithm>

namespace tessera {

using namespace detail;

// ---- cursor state -------------------------------------------------------------------------

void RecordsetPrivate::requireOpen() const
{
    if (!table)
        raise(adErrObjectClosed);
}

void RecordsetPrivate::sync() const
{
    if (!table)
        return;
    const Table &t = *table;
    if (seenDeleteVersion != t.deleteVersion) {
        const int oldSize = int(view.size());
        const bool atEof = pos >= oldSize;
        const int cur = pos >= 0 && pos < oldSize ? view[size_t(pos)] : -1;
        int keptBefore = 0;
        size_t out = 0;
        for (size_t k = 0; k < view.size(); ++k) {
            if (t.deleted[size_t(view[k])])
                continue;
            if (int(k) < pos)
                ++keptBefore;
            view[out++] = view[k];
        }
        view.resize(out);
        if (atEof)
            pos = int(view.size());
        else if (pos >= 0) {
            if (cur >= 0 && t.deleted[size_t(cur)])
                currentDeleted = true;
            pos = keptBefore;
        }
        seenDeleteVersion = t.deleteVersion;
        ++viewStamp;
    }
    if (seenRows < t.rows) {
        const bool atEof = pos >= int(view.size()) && !view.empty();
        const int cur = pos >= 0 && pos < int(view.size()) ? view[size_t(pos)] : -1;
        const int first = seenRows, count = t.rows - seenRows;
        std::vector<quint8> mask;
        if (filter)
            filter->evaluate(t, first, count, mask);
        const size_t oldSize = view.size();
        for (int k = 0; k < count; ++k)
            if (!t.deleted[size_t(first + k)] && (!filter || mask[size_t(k)]))
                view.push_back(first + k);
        if (!sortKeys.empty() && view.size() > oldSize) {
            // Records that arrive while a sort is in force take their sorted places.
            std::vector<int> tail(view.begin() + qptrdiff(oldSize), view.end());
            sortRows(tail, t, sortKeys);
            std::copy(tail.begin(), tail.end(), view.begin() + qptrdiff(oldSize));
            std::inplace_merge(view.begin(), view.begin() + qptrdiff(oldSize), view.end(),
                [&](int a, int b) { return sortsBefore(t, sortKeys, a, b); });
            if (cur >= 0)
                pos = int(std::find(view.begin(), view.end(), cur) - view.begin());
        }
        if (atEof)
            pos = int(view.size());
        seenRows = t.rows;
        ++viewStamp;
    }
}

void RecordsetPrivate::rebuild()
{
    const Table &t = *table;
    view.clear();
    if (filter) {
        std::vector<quint8> mask;
        filter->evaluate(t, 0, t.rows, mask);
        view.reserve(size_t(std::count(mask.begin(), mask.end(), quint8(1))));
        for (int r = 0; r < t.rows; ++r)
            if (mask[size_t(r)] && !t.deleted[size_t(r)])
                view.push_back(r);
    } else {
        view.reserve(size_t(t.rows));
        for (int r = 0; r < t.rows; ++r)
            if (!t.deleted[size_t(r)])
                view.push_back(r);
    }
    sortRows(view, t, sortKeys);
    seenRows = t.rows;
    seenDeleteVersion = t.deleteVersion;
    pos = 0;
    currentDeleted = false;
    ++viewStamp;
}

int RecordsetPrivate::currentRow() const
{
    requireOpen();
    sync();
    if (pos < 0 || pos >= int(view.size()) || currentDeleted)
        raise(adErrNoCurrentRecord);
    return view[size_t(pos)];
}

const Column &RecordsetPrivate::column(int field) const
{
    const auto &cols = table->columns;
    if (field < 0 || size_t(field) >= cols.size())
        raise(adErrItemNotFound, QStringLiteral("(field %1 of %2)").arg(field).arg(cols.size()));
    return cols[size_t(field)];
}

void RecordsetPrivate::commitEdit()
{
    originals.clear();
    editMode = adEditNone;
    editRow = -1;
}

void RecordsetPrivate::moveTo(int newPos)
{
    commitEdit();
    pos = std::clamp(newPos, -1, int(view.size()));
    currentDeleted = false;
}

void RecordsetPrivate::setFieldValue(int field, const QVariant &value)
{
    const int row = currentRow();
    Column &c = table->columns[size_t(field)];
    const QVariant before = c.value(row);
    c.setValue(row, value);
    if (editMode == adEditNone) {
        editMode = adEditInProgress;
        editRow = row;
    }
    if (editMode == adEditInProgress
        && std::none_of(originals.begin(), originals.end(),
            [field](const auto &o) { return o.first == field; }))
        originals.emplace_back(field, before);
    ++table->version;
}

const std::vector<FieldDef> RecordsetPrivate::defs() const
{
    if (!table)
        return pending;
    std::vector<FieldDef> out;
    out.reserve(table->columns.size());
    for (const Column &c : table->columns)
        out.push_back(c.def);
    return out;
}

void RecordsetPrivate::install(std::shared_ptr<Table> t)
{
    retiredVersions += table ? table->version : 0;
    table = std::move(t);
    filter.reset();
    filterText.clear();
    sortKeys.clear();
    sortText.clear();
    editMode = adEditNone;
    originals.clear();
    rebuild();
}

// ---- Field / Fields -----------------------------------------------------------------------

namespace {
const FieldDef &defOf(const RecordsetPrivate &d, int index)
{
    if (d.table) {
        if (index < 0 || size_t(index) >= d.table->columns.size())
            raise(adErrItemNotFound);
        return d.table->columns[size_t(index)].def;
    }
    if (index < 0 || size_t(index) >= d.pending.size())
        raise(adErrItemNotFound);
    return d.pending[size_t(index)];
}
} // namespace

QString Field::Name() const
{
    return defOf(*m_rs->d, m_index).name;
}
DataTypeEnum Field::Type() const
{
    return defOf(*m_rs->d, m_index).type;
}
qint32 Field::DefinedSize() const
{
    return defOf(*m_rs->d, m_index).definedSize;
}
qint32 Field::Attributes() const
{
    return defOf(*m_rs->d, m_index).attributes;
}
quint8 Field::Precision() const
{
    return defOf(*m_rs->d, m_index).precision;
}
quint8 Field::NumericScale() const
{
    return defOf(*m_rs->d, m_index).scale;
}

QVariant Field::Value() const
{
    const RecordsetPrivate &d = *m_rs->d;
    const int row = d.currentRow();
    return d.column(m_index).value(row);
}

QString Field::DateText() const
{
    const RecordsetPrivate &d = *m_rs->d;
    const int row = d.currentRow();
    const Column &c = d.column(m_index);
    if (c.kind != Kind::Date || c.isNull(row))
        return QString();
    return dateText(c.def.type, c.ints[size_t(row)]);
}

void Field::setValue(const QVariant &value)
{
    m_rs->d->requireOpen();
    m_rs->d->column(m_index);
    m_rs->d->setFieldValue(m_index, value);
}

int Fields::Count() const
{
    const RecordsetPrivate &d = *m_rs->d;
    return d.table ? int(d.table->columns.size()) : int(d.pending.size());
}

Field Fields::Item(int index) const
{
    if (index < 0 || index >= Count())
        raise(adErrItemNotFound);
    return Field(m_rs, index);
}

Field Fields::Item(const QString &name) const
{
    const RecordsetPrivate &d = *m_rs->d;
    int index = -1;
    if (d.table) {
        index = d.table->findColumn(name);
    } else {
        for (size_t k = 0; k < d.pending.size() && index < 0; ++k)
            if (d.pending[k].name.compare(name, Qt::CaseInsensitive) == 0)
                index = int(k);
    }
    if (index < 0)
        raise(adErrItemNotFound, QStringLiteral("(field '%1')").arg(name));
    return Field(m_rs, index);
}

void Fields::Append(const QString &name, DataTypeEnum type, qint32 definedSize, qint32 attributes)
{
    RecordsetPrivate &d = *m_rs->d;
    if (d.table)
        raise(adErrIllegalOperation, QStringLiteral("Fields can be appended only before Open."));
    if (name.isEmpty() || !isKnownType(int(type)) || definedSize < 0)
        raise(adErrInvalidArgument,
            QStringLiteral("Field '%1' of type %2 and size %3 cannot be appended.")
                .arg(name)
                .arg(int(type))
                .arg(definedSize));
    for (const FieldDef &f : d.pending)
        if (f.name.compare(name, Qt::CaseInsensitive) == 0)
            raise(adErrObjectInCollection, QStringLiteral("(field '%1')").arg(name));
    FieldDef f;
    f.name = name;
    f.type = type;
    f.definedSize = definedSize > 0 ? definedSize : defaultSize(type);
    f.attributes = attributes;
    d.pending.push_back(std::move(f));
}

// ---- Recordset ----------------------------------------------------------------------------

Recordset::Recordset()
    : d(std::make_unique<RecordsetPrivate>())
{
}
Recordset::~Recordset() = default;

void Recordset::Open(const QString &source, const QString &connection)
{
    if (d->table)
        raise(adErrObjectOpen);
    std::shared_ptr<Table> t;
    if (!connection.isEmpty()) {
        t = loadSql(source, connection);
    } else if (!source.isEmpty()) {
        t = loadXmlFile(source);
    } else {
        t = std::make_shared<Table>();
        for (FieldDef f : d->pending) {
            normalizeDef(f);
            t->columns.emplace_back(std::move(f));
        }
    }
    d->pending.clear();
    d->install(std::move(t));
}

void Recordset::Close()
{
    d->retiredVersions += d->table ? d->table->version : 0;
    d->table.reset();
    d->view.clear();
    d->view.shrink_to_fit();
    d->filter.reset();
    d->filterText.clear();
    d->sortKeys.clear();
    d->sortText.clear();
    d->seenRows = 0;
    d->pos = 0;
    d->editMode = adEditNone;
    d->originals.clear();
    ++d->viewStamp;
}

ObjectStateEnum Recordset::State() const
{
    if (!d->table)
        return adStateClosed;
    const bool fetching = d->table->fetch && d->table->fetch->running();
    return ObjectStateEnum(adStateOpen | (fetching ? adStateFetching : 0));
}

void Recordset::OpenIncremental(const QString &source, const QString &connection, int firstBatch)
{
    if (d->table)
        raise(adErrObjectOpen);
    if (connection.isEmpty())
        raise(adErrInvalidArgument, QStringLiteral("Incremental loading needs a connection."));
    auto t = std::make_shared<Table>();
    std::unique_ptr<SqlReader> reader = openSql(source, connection, true, *t);
    reader->fetch(*t, std::max(firstBatch, 1));
    startIncremental(*t, std::move(reader));
    d->pending.clear();
    d->install(std::move(t));
}

void Recordset::Cancel()
{
    if (d->table && d->table->fetch)
        d->table->fetch->cancel();
}

RecordsetEvents *Recordset::Events() const
{
    return d->table ? d->table->eventsObject() : nullptr;
}

RecordsetPtr Recordset::Clone() const
{
    d->requireOpen();
    auto clone = std::make_shared<Recordset>();
    clone->d->install(d->table);
    return clone;
}

tessera::Fields Recordset::Fields()
{
    return tessera::Fields(this);
}

QVariant Recordset::Collect(const QString &name) const
{
    d->requireOpen();
    const int field = d->table->findColumn(name);
    if (field < 0)
        raise(adErrItemNotFound, QStringLiteral("(field '%1')").arg(name));
    const int row = d->currentRow();
    return d->table->columns[size_t(field)].value(row);
}

void Recordset::setCollect(const QString &name, const QVariant &value)
{
    d->requireOpen();
    const int field = d->table->findColumn(name);
    if (field < 0)
        raise(adErrItemNotFound, QStringLiteral("(field '%1')").arg(name));
    d->setFieldValue(field, value);
}

int Recordset::RecordCount() const
{
    if (!d->table)
        return 0;
    d->sync();
    return int(d->view.size());
}

bool Recordset::BOF() const
{
    d->requireOpen();
    d->sync();
    return d->view.empty() || d->pos < 0;
}

bool Recordset::EOF_() const
{
    d->requireOpen();
    d->sync();
    return d->view.empty() || d->pos >= int(d->view.size());
}

int Recordset::AbsolutePosition() const
{
    d->requireOpen();
    d->sync();
    if (d->pos < 0)
        return -2;
    if (d->pos >= int(d->view.size()))
        return -3;
    return d->pos + 1;
}

void Recordset::setAbsolutePosition(int position)
{
    d->requireOpen();
    d->sync();
    if (position < 1 || position > int(d->view.size()))
        raise(adErrInvalidArgument,
            QStringLiteral("Position %1 is outside the %2 visible records.")
                .arg(position)
                .arg(d->view.size()));
    d->moveTo(position - 1);
}

void Recordset::MoveFirst()
{
    d->requireOpen();
    d->sync();
    d->moveTo(0);
}

void Recordset::MoveLast()
{
    d->requireOpen();
    d->sync();
    d->moveTo(int(d->view.size()) - (d->view.empty() ? 0 : 1));
}

void Recordset::MoveNext()
{
    d->requireOpen();
    d->sync();
    if (d->pos >= int(d->view.size()) && !d->currentDeleted)
        raise(adErrNoCurrentRecord);
    // After a delete the position already rests on the record that followed.
    d->moveTo(d->currentDeleted ? d->pos : d->pos + 1);
}

void Recordset::MovePrevious()
{
    d->requireOpen();
    d->sync();
    if (d->pos < 0 || d->view.empty())
        raise(adErrNoCurrentRecord);
    d->moveTo(d->pos - 1);
}

void Recordset::Move(int numRecords)
{
    d->requireOpen();
    d->sync();
    if (numRecords == 0) {
        d->currentRow();
        return;
    }
    if ((numRecords > 0 && d->pos >= int(d->view.size()) && !d->currentDeleted)
        || (numRecords < 0 && d->pos < 0))
        raise(adErrNoCurrentRecord);
    const qint64 target = qint64(d->pos) + numRecords - (d->currentDeleted && numRecords > 0);
    d->moveTo(int(std::clamp<qint64>(target, -1, qint64(d->view.size()))));
}

void Recordset::AddNew()
{
    d->requireOpen();
    d->sync();
    d->commitEdit();
    const int before = d->pos >= 0 && d->pos < int(d->view.size()) ? d->view[size_t(d->pos)] : -1;
    const int row = d->table->appendRow();
    // The new record stays visible through this cursor whatever its filter says.
    d->view.push_back(row);
    d->seenRows = d->table->rows;
    ++d->viewStamp;
    d->pos = int(d->view.size()) - 1;
    d->currentDeleted = false;
    d->editMode = adEditAdd;
    d->editRow = row;
    d->rowBeforeAdd = before;
}

void Recordset::Update()
{
    d->requireOpen();
    d->commitEdit();
}

void Recordset::CancelUpdate()
{
    d->requireOpen();
    d->sync();
    if (d->editMode == adEditAdd) {
        Table &t = *d->table;
        t.deleted[size_t(d->editRow)] = 1;
        ++t.deleteVersion;
        ++t.version;
        const int back = d->rowBeforeAdd;
        d->commitEdit();
        d->sync();
        const auto it = std::find(d->view.begin(), d->view.end(), back);
        d->moveTo(it == d->view.end() ? int(d->view.size()) : int(it - d->view.begin()));
    } else if (d->editMode == adEditInProgress) {
        Column *cols = d->table->columns.data();
        for (const auto &[field, value] : d->originals)
            cols[field].setValue(d->editRow, value);
        ++d->table->version;
        d->commitEdit();
    }
}

EditModeEnum Recordset::EditMode() const
{
    return d->editMode;
}

void Recordset::Delete()
{
    const int row = d->currentRow();
    d->commitEdit();
    Table &t = *d->table;
    t.deleted[size_t(row)] = 1;
    ++t.deleteVersion;
    ++t.version;
    d->sync();
}

void Recordset::setFilter(const QVariant &criteria)
{
    d->requireOpen();
    d->sync();
    QString text;
    const int id = criteria.metaType().id();
    if (id == QMetaType::QString || id == QMetaType::QByteArray) {
        text = criteria.toString().trimmed();
        if (text == QLatin1String("0"))
            text.clear();
    } else if (criteria.isNull()) {
        text.clear();
    } else {
        bool ok = false;
        const double n = criteria.toDouble(&ok);
        if (!ok || n != 0)
            raise(adErrInvalidArgument,
                QStringLiteral("A filter is criteria text, an empty text or 0."));
    }
    std::shared_ptr<const Criteria> compiled;
    if (!text.isEmpty())
        compiled = Criteria::compile(text, *d->table); // throws, keeping the filter in force
    d->commitEdit();
    d->filter = std::move(compiled);
    d->filterText = text;
    d->rebuild();
}

QString Recordset::Filter() const
{
    return d->filterText.isEmpty() ? QStringLiteral("0") : d->filterText;
}

void Recordset::setSort(const QString &sort)
{
    d->requireOpen();
    d->sync();
    std::vector<SortKey> keys = parseSort(sort, *d->table);
    d->commitEdit();
    d->sortKeys = std::move(keys);
    d->sortText = sort;
    d->rebuild();
}

QString Recordset::Sort() const
{
    return d->sortText;
}

void Recordset::Save(const QString &fileName, PersistFormatEnum format)
{
    d->requireOpen();
    d->sync();
    if (format != adPersistXML)
        raise(adErrInvalidArgument, QStringLiteral("Only the XML format (1) can be saved."));
    saveXmlFile(fileName, *d->table, d->view);
}

// ---- grid read access ---------------------------------------------------------------------

int Recordset::FieldCount() const
{
    return d->table ? int(d->table->columns.size()) : int(d->pending.size());
}

QString Recordset::FieldName(int field) const
{
    if (field < 0 || field >= FieldCount())
        return QString();
    return defOf(*d, field).name;
}

DataTypeEnum Recordset::FieldType(int field) const
{
    if (field < 0 || field >= FieldCount())
        return adEmpty;
    return defOf(*d, field).type;
}

QVariant Recordset::ViewValue(int viewIndex, int field) const
{
    if (!d->table || field < 0 || size_t(field) >= d->table->columns.size())
        return QVariant();
    d->sync();
    if (viewIndex < 0 || size_t(viewIndex) >= d->view.size())
        return QVariant();
    return d->table->columns[size_t(field)].value(d->view[size_t(viewIndex)]);
}

QString Recordset::ViewText(int viewIndex, int field) const
{
    if (!d->table || field < 0 || size_t(field) >= d->table->columns.size())
        return QString();
    d->sync();
    if (viewIndex < 0 || size_t(viewIndex) >= d->view.size())
        return QString();
    return displayText(d->table->columns[size_t(field)], d->view[size_t(viewIndex)]);
}

void Recordset::SetViewValue(int viewIndex, int field, const QVariant &value)
{
    d->requireOpen();
    d->sync();
    if (viewIndex < 0 || size_t(viewIndex) >= d->view.size())
        raise(adErrInvalidArgument, QStringLiteral("Record %1 is not in the view.").arg(viewIndex));
    d->column(field);
    d->table->columns[size_t(field)].setValue(d->view[size_t(viewIndex)], value);
    ++d->table->version;
}

quint64 Recordset::ChangeStamp() const
{
    if (d->table)
        d->sync();
    return d->retiredVersions + (d->table ? d->table->version : 0) + d->viewStamp;
}

quint64 Recordset::ViewStamp() const
{
    d->sync();
    return d->viewStamp;
}

int Recordset::ViewRecord(int viewIndex) const
{
    if (!d->table)
        return -1;
    d->sync();
    return viewIndex >= 0 && size_t(viewIndex) < d->view.size() ? d->view[size_t(viewIndex)] : -1;
}

QVariant Recordset::RecordValue(int record, int field) const
{
    if (!d->table || field < 0 || size_t(field) >= d->table->columns.size() || record < 0
        || record >= d->table->rows)
        return QVariant();
    return d->table->columns[size_t(field)].value(record);
}

QString Recordset::RecordText(int record, int field) const
{
    if (!d->table || field < 0 || size_t(field) >= d->table->columns.size() || record < 0
        || record >= d->table->rows)
        return QString();
    return displayText(d->table->columns[size_t(field)], record);
}

// ---- display text -------------------------------------------------------------------------

namespace detail {

QString displayText(const Column &c, int row)
{
    if (c.isNull(row))
        return QString();
    const size_t r = size_t(row);
    switch (c.kind) {
    case Kind::Int:
        if (c.def.type == adBoolean)
            return CStr(c.ints[r] != 0);
        return QString::number(c.ints[r]);
    case Kind::Real:
        if (c.def.type == adSingle) // a Single shows its own 7 digits, not the double's noise
            return CStr(QVariant(QString::number(c.reals[r], 'g', 7).toDouble()));
        return CStr(QVariant(c.reals[r]));
    case Kind::Currency:
        return CStr(QVariant(double(c.ints[r]) / 10000.0));
    case Kind::Date:
        return CStr(dateValue(c.def.type, c.ints[r]));
    case Kind::Text:
        return c.text(row).toString();
    case Kind::Decimal: {
        QString v = c.text(row).toString();
        const qsizetype point = v.indexOf(u'.');
        if (point >= 0)
            v.replace(point, 1, userLocale().decimalPoint());
        return v;
    }
    case Kind::Bytes:
        return QString::fromLatin1(c.bytes[r].toHex().toUpper());
    }
    return QString();
}

} // namespace detail

} // namespace tessera
