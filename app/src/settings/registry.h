#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>

// The settings store: a typed hive of REG_DWORD and REG_SZ values (and raw data written by
// other tools) kept in a REGEDIT4 text file. Values live under
// HKEY_LOCAL_MACHINE\SOFTWARE\Dunmore Software\<application key>.
//
// Reads come from the in-memory hive; every write is saved at once with an atomic replace of
// the file (the previous file becomes the ".bak"), unless a Batch is open, which saves once at
// its end.
class Registry {
public:
    enum Type : quint32 { None = 0, Sz = 1, Binary = 3, Dword = 4 };
    // The application key under which every value of the program lives.
    static constexpr const char* AppKeyName = "Kelvane";

    struct Value {
        QString name;
        quint32 type = Sz;
        QByteArray data; // raw bytes: UTF-8 text for Sz, little-endian for Dword
    };

    // Outcome of Load(), with a message for the operator when something had to be repaired.
    struct LoadResult {
        enum Kind { Loaded, Missing, RecoveredFromBackup, Reset } kind = Missing;
        QString message;   // empty when nothing needs saying
        QString keptAside; // where an unreadable hive was moved, if any
    };

    explicit Registry(QString path);

    // "$XDG_CONFIG_HOME/Dunmore Software/Kelvane.reg".
    static QString DefaultPath();
    QString path() const { return path_; }
    QString backupPath() const { return path_ + QStringLiteral(".bak"); }

    // Reads the hive file. A missing file is an empty hive. An unreadable one is moved aside
    // under a new name (never overwritten), and the hive comes from the ".bak" when that one
    // reads, from nothing otherwise; the result says so.
    LoadResult Load();

    // Parses REGEDIT4 text into sections of values. Returns false (and leaves out untouched) on
    // any line it cannot read.
    struct Section {
        QString key;
        QList<Value> values;
    };
    static bool Parse(const QByteArray& text, QList<Section>& out, QString* error = nullptr);
    static QByteArray Format(const QList<Section>& sections);

    // The value as stored, or nullptr.
    const Value* Find(const QString& appKey, const QString& name) const;

    // Reads name as the type of def: a string default reads REG_SZ text (a final NUL dropped),
    // any other default a 32-bit DWORD (signed; the first four bytes of whatever is stored).
    // Returns def when the value is missing, empty or unreadable. section is ignored.
    QVariant RegGet(const QString& appKey, const QString& section, const QString& name,
                    const QVariant& def) const;
    // Stores a string as REG_SZ and anything else as a DWORD of the value rounded to a 32-bit
    // integer (true as 0xFFFFFFFF). Returns true only when the value was stored and saved.
    bool RegSave(const QString& appKey, const QString& section, const QString& name,
                 const QVariant& value);
    // Fills each row i of table from the list value base + i (default def): every field before
    // a separator is read as a number, the text after the last one as text.
    void RegGetList(QList<QVariantList>& table, const QString& separator, const QString& base,
                    const QString& def) const;
    // Splits one list value into columns fields as RegGetList does.
    static QVariantList SplitList(const QString& text, const QString& separator, int columns);

    // Writes the hive now. Returns false when the file could not be written.
    bool Flush();

    // Groups writes into one file save.
    class Batch {
    public:
        explicit Batch(Registry& reg) : reg_(reg) { ++reg_.batch_; }
        ~Batch() {
            if (--reg_.batch_ == 0 && reg_.dirty_) reg_.Flush();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        Registry& reg_;
    };

    // Leading-number parse: optional sign, digits, decimals and exponent; 0 when none.
    static double LenientNumber(const QString& text);

private:
    static QString rootKey(const QString& appKey);
    bool readFile(const QString& file, QList<Section>& out, QString* error) const;

    QString path_;
    QList<Section> sections_;
    int batch_ = 0;
    bool dirty_ = false;
    bool noSave_ = false; // the unreadable hive could not be moved aside
};
