// The property bag: a control's saved settings, a store of named, typed values kept in a
// readable text file.
//
// File layout, one setting a line, in the order the settings were first written:
//     BackColor = Long 16777215
//     Enabled = Boolean False
//     FormatString = String "<Name|>Price\t\"net\""
//     Font = Font "Verdana,9,-1,5,700,0,0,0,0,0,0,0,0,0,0,1"
// Types: Boolean, Integer (16 bit), Long (32 bit), LongLong (64 bit), Single, Double, String,
// Color (#rrggbb or #aarrggbb), Font (Qt's font text), Picture (base64 PNG). Blank lines and
// lines starting with '#' or ';' are ignored.
#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace tessera {

class PropertyBag {
public:
    // The value stored under `name` (any case), or `defaultValue` when there is none.
    QVariant ReadProperty(const QString &name, const QVariant &defaultValue = QVariant()) const;
    // Stores `value` under `name`; a value equal to a given (valid) default is not stored, and
    // writing the default removes a stored value. Error 5 for a name the file cannot hold,
    // Error 13 for a value of a type the bag cannot keep.
    void WriteProperty(
        const QString &name, const QVariant &value, const QVariant &defaultValue = QVariant());

    bool Contains(const QString &name) const;
    QStringList Names() const;
    qsizetype Count() const { return m_entries.size(); }
    void Clear();

    // Writes the whole bag through a temporary file renamed over `path`, so a failed save leaves
    // the old file as it was. Error 75 when the file cannot be written.
    void Save(const QString &path) const;
    // Replaces the contents with those of `path`. Error 53 for a missing file, 75 for one that
    // cannot be read, 321 for a malformed one; on any error the bag keeps what it held.
    void Load(const QString &path);

    // The file text and its reading, for hosts that keep settings elsewhere.
    QString toText() const;
    void fromText(const QString &text);

    // True when the two values count as equal for the default test (numbers by value, fonts,
    // colours and pictures by content, texts exactly).
    static bool sameValue(const QVariant &a, const QVariant &b);

private:
    struct Entry {
        QString name;
        QVariant value;
    };
    qsizetype find(const QString &name) const;
    void setEntries(QList<Entry> entries);
    // Reads the file text into a new list, so a malformed text changes nothing.
    static QList<Entry> parseText(const QString &text, const QString &where);

    QList<Entry> m_entries; // in the order first written
    QHash<QString, qsizetype> m_positions; // case-folded name -> position in m_entries
};

} // namespace tessera
