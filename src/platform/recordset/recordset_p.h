// The state of one cursor: the shared table, its own filter, sort, view and position, and the
// pending edit. Also the entry points of the persistence and SQL files.
#pragma once

#include "criteria.h"
#include "storage.h"

#include <tessera/Recordset.h>

#include <memory>
#include <vector>

namespace tessera {

struct RecordsetPrivate {
    std::vector<detail::FieldDef> pending; // fields appended before Open
    std::shared_ptr<detail::Table> table; // null while closed

    std::shared_ptr<const detail::Criteria> filter;
    QString filterText;
    std::vector<detail::SortKey> sortKeys;
    QString sortText;

    // The view: record numbers visible through this cursor, in order. Kept in step with records
    // that any cursor adds or deletes by sync().
    mutable std::vector<int> view;
    mutable int seenRows = 0;
    mutable quint64 seenDeleteVersion = 0;
    mutable quint64 viewStamp = 0;
    // The versions of the tables this cursor held before (closed or replaced), so that its
    // change stamp keeps growing across Close and Open.
    quint64 retiredVersions = 0;
    mutable int pos = 0; // index in view; -1 is BOF, view.size() is EOF
    mutable bool currentDeleted = false;

    EditModeEnum editMode = adEditNone;
    int editRow = -1;
    int rowBeforeAdd = -1;
    std::vector<std::pair<int, QVariant>> originals; // (field, value before the edit)

    void sync() const;
    void rebuild();
    void requireOpen() const;
    // Record number of the current record; raises 3021 when there is none.
    int currentRow() const;
    const detail::Column &column(int field) const;
    void commitEdit();
    void moveTo(int newPos);
    void setFieldValue(int field, const QVariant &value);
    const std::vector<detail::FieldDef> defs() const;
    void install(std::shared_ptr<detail::Table> t);
};

namespace detail {
// Rowset XML files.
std::shared_ptr<Table> loadXmlFile(const QString &fileName);
std::shared_ptr<Table> loadXmlData(const QByteArray &data);
void saveXmlFile(const QString &fileName, const Table &table, const std::vector<int> &rows);
QByteArray saveXmlData(const Table &table, const std::vector<int> &rows);
// Query results over Qt SQL.
std::shared_ptr<Table> loadSql(const QString &query, const QString &connection);
// The text a grid shows for a value.
QString displayText(const Column &c, int row);
} // namespace detail

} // namespace tessera
