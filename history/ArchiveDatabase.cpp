// SPDX-License-Identifier: GPL-3.0-or-later
#include "history/ArchiveDatabase.h"

#include "client/Logging.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <array>

namespace {

constexpr qint64 SecondsPerDay = 86400;
constexpr qint64 MsPerSecond = 1000;
// Rows a retention step deletes in SQLite: small enough that the writes
// waiting behind it are not held up for long, large enough that a day of a
// big station goes in a few hundred steps.
constexpr int RetentionSlice = 20000;
// Rows of the largest INSERT into SQLite (six values each; SQLite takes
// 32766). A power of two: what is left of a batch goes in statements of its
// binary digits, so that a handful of sizes serves every batch.
constexpr size_t RowsPerInsert = 128;
// The rollback journal and the WAL are cut back to this after use.
constexpr qint64 JournalSizeLimit = qint64(64) * 1024 * 1024;
// A PostgreSQL server that does not answer is given up after these.
const char PostgresOptions[] = "connect_timeout=5;keepalives_idle=5;keepalives_interval=2;"
                               "keepalives_count=3;application_name=brenlow";
// SQLite's result codes that mean "another connection holds the file".
const char SqliteBusy[] = "5";
const char SqliteLocked[] = "6";

enum class Type { Real, Integer, Text };

struct Column
{
    const char *name;
    Type type;
};

// The schema, in one table for both back-ends. The samples' and events'
// first five columns are those of the earlier single-station file, in the
// same order; the station came last so that scripts reading them by
// position still work.
constexpr Column SchemaColumns[] = {{"version", Type::Integer}};
constexpr Column StationColumns[] = {
    {"station", Type::Text}, {"keep_days", Type::Integer}, {"seen", Type::Real}};
constexpr Column SampleColumns[] = {{"t", Type::Real},     {"module", Type::Text},
                                    {"node", Type::Text},  {"quantity", Type::Text},
                                    {"value", Type::Text}, {"station", Type::Text}};
constexpr Column EventColumns[] = {{"t", Type::Real},    {"module", Type::Text},
                                   {"node", Type::Text}, {"kind", Type::Text},
                                   {"text", Type::Text}, {"station", Type::Text}};
constexpr Column AlarmColumns[] = {{"station", Type::Text},   {"module", Type::Text},
                                   {"condition", Type::Text}, {"severity", Type::Text},
                                   {"value", Type::Text},     {"raised", Type::Real},
                                   {"cleared", Type::Real},   {"acked_by", Type::Text},
                                   {"acked", Type::Real},     {"shelved_until", Type::Real}};

struct Table
{
    const char *name;
    const Column *columns;
    int count;
    const char *primaryKey;
    // Partitioned by day in PostgreSQL.
    bool byDay;
};

template <size_t N> constexpr int countOf(const Column (&)[N])
{
    return int(N);
}

const char SchemaTable[] = "brenlow_schema";
const char SamplesTable[] = "samples";
const char EventsTable[] = "events";
const char AlarmsTable[] = "alarms";
const char StationsTable[] = "stations";

// The single-station file of earlier versions (layout 1): its two tables,
// with the samples' and events' first five columns above, and one index
// that no query of this layout uses.
constexpr int EarlierLayout = 1;
constexpr int EarlierColumns = 5;
const char EarlierIndex[] = "samples_module_quantity_t";

const Table Tables[] = {
    {SchemaTable, SchemaColumns, countOf(SchemaColumns), nullptr, false},
    {StationsTable, StationColumns, countOf(StationColumns), "station", false},
    {SamplesTable, SampleColumns, countOf(SampleColumns), nullptr, true},
    {EventsTable, EventColumns, countOf(EventColumns), nullptr, true},
    {AlarmsTable, AlarmColumns, countOf(AlarmColumns), "station, module, condition", false},
};

struct Index
{
    const char *name;
    const char *table;
    const char *columns;
    // PostgreSQL drops whole days instead of searching by time.
    bool sqliteOnly;
};

const Index Indexes[] = {
    {"samples_station_t", SamplesTable, "station, t", false},
    {"samples_t", SamplesTable, "t", true},
    {"events_station_t", EventsTable, "station, t", false},
    {"events_t", EventsTable, "t", true},
};

const Table &tableNamed(const char *name)
{
    for (const Table &table : Tables) {
        if (qstrcmp(table.name, name) == 0)
            return table;
    }
    return Tables[0];
}

QString typeName(Type type, bool postgres)
{
    switch (type) {
    case Type::Real:
        // PostgreSQL's REAL has single precision: a time would lose its
        // milliseconds.
        return postgres ? QStringLiteral("double precision") : QStringLiteral("REAL");
    case Type::Integer:
        return QStringLiteral("INTEGER");
    case Type::Text:
        break;
    }
    return QStringLiteral("TEXT");
}

QString columnList(const Table &table)
{
    QStringList names;
    for (int i = 0; i < table.count; ++i)
        names << QLatin1String(table.columns[i].name);
    return names.join(QStringLiteral(", "));
}

double toSeconds(qint64 ms)
{
    return double(ms) / double(MsPerSecond);
}

qint64 toMs(double seconds)
{
    return qint64(seconds * double(MsPerSecond) + (seconds < 0 ? -0.5 : 0.5));
}

QVariant secondsOrNull(qint64 ms)
{
    return ms == 0 ? QVariant() : QVariant(toSeconds(ms));
}

qint64 msOrZero(const QVariant &seconds)
{
    return seconds.isNull() ? 0 : toMs(seconds.toDouble());
}

qint64 dayOf(qint64 ms)
{
    const qint64 seconds = ms / MsPerSecond - (ms % MsPerSecond < 0 ? 1 : 0);
    return seconds / SecondsPerDay - (seconds % SecondsPerDay < 0 ? 1 : 0);
}

// A day's partition of table: samples_p20261209.
QString partitionName(const char *table, qint64 day)
{
    const QDate date = QDate(1970, 1, 1).addDays(day);
    return QLatin1String(table) + QStringLiteral("_p") + date.toString(QStringLiteral("yyyyMMdd"));
}

// The day a partition's name stands for, or false for another table.
bool partitionDay(const QString &name, const char *table, qint64 &day)
{
    const QString prefix = QLatin1String(table) + QStringLiteral("_p");
    if (!name.startsWith(prefix))
        return false;
    const QDate date = QDate::fromString(name.mid(prefix.size()), QStringLiteral("yyyyMMdd"));
    if (!date.isValid())
        return false;
    day = QDate(1970, 1, 1).daysTo(date);
    return true;
}

// The key of a table's day among the partitions known to exist.
qint64 partitionKey(const char *table, qint64 day)
{
    return day * 2 + (qstrcmp(table, EventsTable) == 0 ? 1 : 0);
}

// An element of a PostgreSQL array literal. The server's text holds no NUL.
void appendArrayItem(QString &array, const QString &text)
{
    if (array.size() > 1)
        array += QLatin1Char(',');
    array += QLatin1Char('"');
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            array += QLatin1Char('\\');
        array += c.isNull() ? QChar(QChar::ReplacementCharacter) : c;
    }
    array += QLatin1Char('"');
}

} // namespace

ArchiveDatabase::ArchiveDatabase(const ArchiveTarget &where, const QString &connectionName)
    : target(where), name(connectionName)
{
}

ArchiveDatabase::~ArchiveDatabase()
{
    close();
    lock.unlock();
}

QSqlDatabase ArchiveDatabase::database() const
{
    return QSqlDatabase::database(name, false);
}

void ArchiveDatabase::close()
{
    // Statements go before their connection.
    inserts.clear();
    if (QSqlDatabase::contains(name)) {
        {
            QSqlDatabase db = database();
            db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
    connected = false;
    partitionDays.clear();
}

bool ArchiveDatabase::exec(QSqlQuery &query, const QString &statement)
{
    const bool ok = statement.isEmpty() ? query.exec() : query.exec(statement);
    if (!ok) {
        error = query.lastError().text();
        errorCode = query.lastError().nativeErrorCode();
    }
    return ok;
}

bool ArchiveDatabase::exec(const QString &statement)
{
    QSqlQuery query(database());
    return exec(query, statement);
}

ArchiveDatabase::Outcome ArchiveDatabase::failure(const QSqlQuery &query)
{
    error = query.lastError().text();
    errorCode = query.lastError().nativeErrorCode();
    if (isPostgres()) {
        // A statement that failed on a connection that still answers was
        // refused by the server; one whose connection is gone was not.
        QSqlQuery probe(database());
        return probe.exec(QStringLiteral("SELECT 1")) ? Outcome::Refused : Outcome::Unavailable;
    }
    return errorCode == QLatin1String(SqliteBusy) || errorCode == QLatin1String(SqliteLocked)
               ? Outcome::Unavailable
               : Outcome::Refused;
}

ArchiveDatabase::Outcome ArchiveDatabase::open()
{
    close();
    error.clear();
    remark.clear();
    if (target.kind == ArchiveTarget::SqliteFile && !lock.isLocked() &&
        !lock.lock(target.file + QStringLiteral(".lock"))) {
        error = lock.errorString();
        return Outcome::Refused;
    }
    Outcome outcome = connect();
    if (outcome == Outcome::Ok && !isPostgres())
        outcome = checkIntegrity();
    if (outcome == Outcome::Ok)
        outcome = checkSchema();
    if (outcome == Outcome::Ok && !isPostgres() && !setUpJournal())
        outcome = Outcome::Unavailable;
    if (outcome == Outcome::Ok && !registerStation())
        outcome = Outcome::Unavailable;
    if (outcome != Outcome::Ok) {
        const QString reason = error;
        close();
        error = reason;
        if (outcome == Outcome::Refused)
            lock.unlock();
        return outcome;
    }
    connected = true;
    return Outcome::Ok;
}

ArchiveDatabase::Outcome ArchiveDatabase::connect()
{
    const QString driver = isPostgres() ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, name);
    if (!db.isValid()) {
        error = QStringLiteral("the %1 driver of Qt SQL is not installed").arg(driver);
        return Outcome::Refused;
    }
    if (isPostgres()) {
        db.setHostName(target.host);
        db.setPort(target.port);
        db.setUserName(target.user);
        db.setDatabaseName(target.database);
        db.setConnectOptions(QString::fromLatin1(PostgresOptions));
    } else {
        if (QFileInfo(target.file).isDir()) {
            error = QStringLiteral("it is a folder");
            return Outcome::Refused;
        }
        db.setDatabaseName(target.file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(target.busyTimeoutMs));
    }
    if (!db.open()) {
        error = db.lastError().text();
        // A server may come back; a file that cannot be opened will not.
        return isPostgres() ? Outcome::Unavailable : Outcome::Refused;
    }
    return Outcome::Ok;
}

ArchiveDatabase::Outcome ArchiveDatabase::checkIntegrity()
{
    // The quick check reads every page and every row once (not the indexes
    // against their tables): a damaged file is refused before anything is
    // written into it. It is also the first read, so a file that is not a
    // database at all fails here.
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("PRAGMA quick_check(1)")) || !query.next()) {
        const Outcome outcome = failure(query);
        if (outcome == Outcome::Refused)
            error = QStringLiteral("not an SQLite database, or damaged: %1").arg(error);
        return outcome;
    }
    const QString verdict = query.value(0).toString();
    if (verdict != QLatin1String("ok")) {
        error = QStringLiteral("damaged (integrity check: %1)").arg(verdict);
        return Outcome::Refused;
    }
    return Outcome::Ok;
}

ArchiveDatabase::Outcome ArchiveDatabase::checkSchema()
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    const QString listTables =
        isPostgres()
            ? QStringLiteral("SELECT c.relname FROM pg_class c JOIN pg_namespace n ON n.oid = "
                             "c.relnamespace WHERE n.nspname = current_schema() AND c.relkind "
                             "IN ('r', 'p') AND NOT c.relispartition")
            : QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT "
                             "LIKE 'sqlite_%'");
    if (!query.exec(listTables))
        return failure(query);
    QStringList present;
    while (query.next())
        present << query.value(0).toString();
    if (present.isEmpty())
        return createSchema();
    if (!present.contains(QLatin1String(SchemaTable))) {
        if (isEarlierLayout(present))
            return carryOverEarlierLayout();
        std::sort(present.begin(), present.end());
        error = QStringLiteral("it holds tables Brenlow did not make (%1)")
                    .arg(present.join(QStringLiteral(", ")));
        return Outcome::Refused;
    }
    if (!query.exec(QStringLiteral("SELECT max(version) FROM %1").arg(QLatin1String(SchemaTable))))
        return failure(query);
    const int version = query.next() ? query.value(0).toInt() : 0;
    if (version > SchemaVersion) {
        error = QStringLiteral("its layout is version %1, made by a newer Brenlow (this one "
                               "writes version %2)")
                    .arg(version)
                    .arg(SchemaVersion);
        return Outcome::Refused;
    }
    if (version != SchemaVersion) {
        error = QStringLiteral("its layout is version %1, not version %2")
                    .arg(version)
                    .arg(SchemaVersion);
        return Outcome::Refused;
    }
    for (const Table &table : Tables) {
        if (!present.contains(QLatin1String(table.name))) {
            error = QStringLiteral("its table %1 is missing").arg(QLatin1String(table.name));
            return Outcome::Refused;
        }
    }
    return Outcome::Ok;
}

bool ArchiveDatabase::isEarlierLayout(const QStringList &present)
{
    if (isPostgres() || present.size() != 2 || !present.contains(QLatin1String(SamplesTable)) ||
        !present.contains(QLatin1String(EventsTable)))
        return false;
    QSqlQuery query(database());
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next() ||
        query.value(0).toInt() != EarlierLayout)
        return false;
    // Exactly the columns that version made, in its order: a file of
    // another program that happens to use the same names stays refused.
    for (const char *tableName : {SamplesTable, EventsTable}) {
        const Table &table = tableNamed(tableName);
        QStringList expected;
        for (int i = 0; i < EarlierColumns; ++i)
            expected << QLatin1String(table.columns[i].name);
        QStringList columns;
        if (!query.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(tableName))))
            return false;
        while (query.next())
            columns << query.value(1).toString();
        if (columns != expected)
            return false;
    }
    return true;
}

ArchiveDatabase::Outcome ArchiveDatabase::carryOverEarlierLayout()
{
    // The earlier file was one station's: its rows are this station's. The
    // name comes in as the new column's default, which SQLite hands to the
    // rows already there without rewriting them, so carrying over a file of
    // many gigabytes costs the new indexes, not a copy. One transaction: a
    // failure leaves the file exactly as the earlier version wrote it.
    QString quoted = target.station;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    QStringList first;
    for (const char *tableName : {SamplesTable, EventsTable})
        first << QStringLiteral("ALTER TABLE %1 ADD COLUMN station %2 DEFAULT '%3'")
                     .arg(QLatin1String(tableName), typeName(Type::Text, false), quoted);
    first << QStringLiteral("DROP INDEX IF EXISTS %1").arg(QLatin1String(EarlierIndex));
    const Outcome outcome =
        createSchema(first, {QLatin1String(SamplesTable), QLatin1String(EventsTable)});
    if (outcome == Outcome::Ok)
        addRemark(QStringLiteral("the history of an earlier Brenlow (layout %1) carried over to "
                                 "layout %2; its rows now belong to station \"%3\"")
                      .arg(EarlierLayout)
                      .arg(SchemaVersion)
                      .arg(target.station));
    return outcome;
}

void ArchiveDatabase::addRemark(const QString &text)
{
    remark = remark.isEmpty() ? text : remark + QStringLiteral("; ") + text;
}

ArchiveDatabase::Outcome ArchiveDatabase::createSchema(const QStringList &first,
                                                       const QStringList &existing)
{
    QSqlDatabase db = database();
    QStringList statements = first;
    for (const Table &table : Tables) {
        if (existing.contains(QLatin1String(table.name)))
            continue;
        QStringList columns;
        for (int i = 0; i < table.count; ++i)
            columns << QLatin1String(table.columns[i].name) + QLatin1Char(' ') +
                           typeName(table.columns[i].type, isPostgres());
        if (table.primaryKey)
            columns << QStringLiteral("PRIMARY KEY (%1)").arg(QLatin1String(table.primaryKey));
        QString create = QStringLiteral("CREATE TABLE %1 (%2)")
                             .arg(QLatin1String(table.name), columns.join(QStringLiteral(", ")));
        if (table.byDay && isPostgres())
            create += QStringLiteral(" PARTITION BY RANGE (t)");
        statements << create;
    }
    for (const Index &index : Indexes) {
        if (index.sqliteOnly && isPostgres())
            continue;
        statements << QStringLiteral("CREATE INDEX %1 ON %2 (%3)")
                          .arg(QLatin1String(index.name), QLatin1String(index.table),
                               QLatin1String(index.columns));
    }
    statements << QStringLiteral("INSERT INTO %1 (version) VALUES (%2)")
                      .arg(QLatin1String(SchemaTable))
                      .arg(SchemaVersion);
    if (!isPostgres())
        statements << QStringLiteral("PRAGMA user_version = %1").arg(SchemaVersion);
    // All or nothing: a database that another station is setting up at the
    // same moment gets its schema once, and this attempt is tried again.
    if (!db.transaction()) {
        error = db.lastError().text();
        return Outcome::Unavailable;
    }
    for (const QString &statement : qAsConst(statements)) {
        if (!exec(statement)) {
            const QString reason = error;
            db.rollback();
            error = reason;
            return Outcome::Unavailable;
        }
    }
    if (!db.commit()) {
        error = db.lastError().text();
        db.rollback();
        return Outcome::Unavailable;
    }
    return Outcome::Ok;
}

bool ArchiveDatabase::setUpJournal()
{
    // WAL lets a script read while Brenlow writes. Where the file system
    // cannot share SQLite's index memory (a network file system) the mode
    // stays as it was: the rollback journal, under which a reader holds the
    // writes up for as long as it reads. That is said once, not hidden.
    QSqlQuery query(database());
    if (!exec(query, QStringLiteral("PRAGMA journal_mode = WAL")) || !query.next())
        return false;
    const QString mode = query.value(0).toString().toLower();
    if (mode != QLatin1String("wal"))
        addRemark(
            QStringLiteral("journal mode %1 instead of WAL: readers hold up the writes").arg(mode));
    // Every commit reaches the disk: a crash or a power cut loses only what
    // was not yet committed, at most the last second.
    return exec(QStringLiteral("PRAGMA synchronous = FULL")) &&
           exec(QStringLiteral("PRAGMA journal_size_limit = %1").arg(JournalSizeLimit));
}

bool ArchiveDatabase::registerStation()
{
    QSqlQuery query(database());
    query.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (?, ?, ?) ON CONFLICT (station) DO "
                                 "UPDATE SET keep_days = excluded.keep_days, seen = excluded.seen")
                      .arg(QLatin1String(StationsTable), columnList(tableNamed(StationsTable))));
    query.addBindValue(target.station);
    query.addBindValue(target.keepDays);
    query.addBindValue(toSeconds(QDateTime::currentMSecsSinceEpoch()));
    return exec(query);
}

bool ArchiveDatabase::ensurePartitions(const char *table,
                                       const std::vector<ArchiveQueue::Row> &rows)
{
    if (!isPostgres())
        return true;
    QSet<qint64> days;
    for (const ArchiveQueue::Row &row : rows)
        days.insert(dayOf(row.t));
    for (const qint64 day : qAsConst(days)) {
        if (partitionDays.contains(partitionKey(table, day)))
            continue;
        const QString partition = partitionName(table, day);
        const qint64 from = day * SecondsPerDay;
        // Another station may make the same day at the same moment; then
        // the day is there all the same.
        // Whether the day is there; false when the server could not say.
        const auto look = [this, &partition](bool &there) {
            QSqlQuery query(database());
            query.prepare(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"));
            query.addBindValue(partition);
            if (!exec(query) || !query.next())
                return false;
            there = query.value(0).toBool();
            return true;
        };
        bool there = false;
        if (!look(there))
            return false;
        if (!there && !exec(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 PARTITION OF %2 FOR "
                                           "VALUES FROM (%3) TO (%4)")
                                .arg(partition, QLatin1String(table))
                                .arg(from)
                                .arg(from + SecondsPerDay))) {
            // Made by another station meanwhile, or not at all.
            const QString reason = error;
            if (!database().isOpen() || !look(there) || !there) {
                error = reason;
                return false;
            }
        }
        partitionDays.insert(partitionKey(table, day));
    }
    return true;
}

bool ArchiveDatabase::insertRows(const char *table, const std::vector<ArchiveQueue::Row> &rows)
{
    if (rows.empty())
        return true;
    if (isPostgres()) {
        // One statement a batch: the rows go as five arrays, which the
        // server takes apart again. (Qt's driver has no COPY.)
        QString times = QStringLiteral("{");
        std::array<QString, 4> texts;
        texts.fill(QStringLiteral("{"));
        for (const ArchiveQueue::Row &row : rows) {
            if (times.size() > 1)
                times += QLatin1Char(',');
            times += QString::number(toSeconds(row.t), 'f', 3);
            appendArrayItem(texts[0], row.module);
            appendArrayItem(texts[1], row.node);
            appendArrayItem(texts[2], row.what);
            appendArrayItem(texts[3], row.value.toString());
        }
        times += QLatin1Char('}');
        for (QString &text : texts)
            text += QLatin1Char('}');
        QSqlQuery query(database());
        query.prepare(QStringLiteral("INSERT INTO %1 (%2) SELECT u.a, u.b, u.c, u.d, u.e, ? FROM "
                                     "unnest(CAST(? AS float8[]), CAST(? AS text[]), CAST(? AS "
                                     "text[]), CAST(? AS text[]), CAST(? AS text[])) AS u(a, b, "
                                     "c, d, e)")
                          .arg(QLatin1String(table), columnList(tableNamed(table))));
        query.addBindValue(target.station);
        query.addBindValue(times);
        for (const QString &text : texts)
            query.addBindValue(text);
        return exec(query);
    }
    // Many rows a statement: a statement's own cost (and Qt's around it) is
    // most of a row's when it holds one.
    for (size_t start = 0; start < rows.size();) {
        size_t size = RowsPerInsert;
        while (size > rows.size() - start)
            size /= 2;
        const InsertKey key(table, size);
        QSqlQuery *statement = insertStatement(key);
        if (!statement)
            return false;
        int field = 0;
        for (size_t i = start; i < start + size; ++i) {
            const ArchiveQueue::Row &row = rows[i];
            statement->bindValue(field++, toSeconds(row.t));
            statement->bindValue(field++, row.module);
            statement->bindValue(field++, row.node);
            statement->bindValue(field++, row.what);
            statement->bindValue(field++, row.value.toString());
            statement->bindValue(field++, target.station);
        }
        if (!exec(*statement)) {
            // Made again next time: Qt may have let go of a statement
            // that failed.
            inserts.erase(key);
            return false;
        }
        start += size;
    }
    return true;
}

QSqlQuery *ArchiveDatabase::insertStatement(const InsertKey &key)
{
    // Parsed once for the connection, not at every beat: Qt gives every
    // placeholder a name and SQLite looks each name up among the others,
    // so parsing a statement of many rows costs more than running it.
    const auto known = inserts.find(key);
    if (known != inserts.end())
        return &known->second;
    QStringList values;
    for (size_t i = 0; i < key.second; ++i)
        values << QStringLiteral("(?, ?, ?, ?, ?, ?)");
    QSqlQuery statement(database());
    if (!statement.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES %3")
                               .arg(QLatin1String(key.first), columnList(tableNamed(key.first)),
                                    values.join(QStringLiteral(", "))))) {
        error = statement.lastError().text();
        errorCode = statement.lastError().nativeErrorCode();
        return nullptr;
    }
    return &inserts.emplace(key, statement).first->second;
}

bool ArchiveDatabase::changeAlarms(const std::vector<ArchiveQueue::AlarmChange> &changes)
{
    for (const ArchiveQueue::AlarmChange &change : changes) {
        QSqlQuery query(database());
        const AlarmRecord &a = change.alarm;
        if (change.remove) {
            query.prepare(QStringLiteral("DELETE FROM %1 WHERE station = ? AND module = ? AND "
                                         "condition = ?")
                              .arg(QLatin1String(AlarmsTable)));
            query.addBindValue(target.station);
            query.addBindValue(a.module);
            query.addBindValue(a.condition);
        } else {
            query.prepare(
                QStringLiteral("INSERT INTO %1 (%2) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON "
                               "CONFLICT (station, module, condition) DO UPDATE SET severity = "
                               "excluded.severity, value = excluded.value, raised = "
                               "excluded.raised, cleared = excluded.cleared, acked_by = "
                               "excluded.acked_by, acked = excluded.acked, shelved_until = "
                               "excluded.shelved_until")
                    .arg(QLatin1String(AlarmsTable), columnList(tableNamed(AlarmsTable))));
            query.addBindValue(target.station);
            query.addBindValue(a.module);
            query.addBindValue(a.condition);
            query.addBindValue(a.severity);
            query.addBindValue(a.value);
            query.addBindValue(toSeconds(a.raisedMs));
            query.addBindValue(secondsOrNull(a.clearedMs));
            query.addBindValue(a.ackedBy.isEmpty() ? QVariant() : QVariant(a.ackedBy));
            query.addBindValue(secondsOrNull(a.ackedMs));
            query.addBindValue(secondsOrNull(a.shelvedUntilMs));
        }
        if (!exec(query))
            return false;
    }
    return true;
}

bool ArchiveDatabase::write(const ArchiveQueue::Batch &batch,
                            const std::vector<ArchiveQueue::Row> &extra)
{
    if (!connected)
        return false;
    // The days' partitions are made outside the transaction, so that one
    // made by another station meanwhile does not spoil the batch.
    if (!ensurePartitions(SamplesTable, batch.samples) ||
        !ensurePartitions(EventsTable, batch.events) || !ensurePartitions(EventsTable, extra))
        return false;
    QSqlDatabase db = database();
    // A server that went away may only show it here, by the driver closing
    // the connection.
    if (!db.transaction() || !db.isOpen()) {
        error = db.isOpen() ? db.lastError().text() : QStringLiteral("the connection was lost");
        return false;
    }
    const bool ok = insertRows(SamplesTable, batch.samples) &&
                    insertRows(EventsTable, batch.events) && insertRows(EventsTable, extra) &&
                    changeAlarms(batch.alarms);
    if (ok && db.commit())
        return true;
    if (ok)
        error = db.lastError().text();
    db.rollback();
    // A partition the server lost with the connection is made again.
    partitionDays.clear();
    return false;
}

bool ArchiveDatabase::retainStep(qint64 nowMs, bool &done)
{
    done = false;
    QSqlQuery keep(database());
    keep.setForwardOnly(true);
    if (!exec(keep,
              QStringLiteral("SELECT max(keep_days) FROM %1").arg(QLatin1String(StationsTable))))
        return false;
    const qint64 days = keep.next() ? qMax(qint64(1), keep.value(0).toLongLong()) : target.keepDays;
    // A statement left open keeps its read transaction: the WAL could not
    // start over behind the delete, and every slice would be appended to it.
    keep.finish();
    const qint64 cutoffMs = nowMs - days * SecondsPerDay * MsPerSecond;
    if (isPostgres()) {
        // Whole days that end before the cutoff, one a step.
        for (const char *table : {SamplesTable, EventsTable}) {
            QSqlQuery parts(database());
            parts.setForwardOnly(true);
            parts.prepare(QStringLiteral(
                "SELECT c.relname FROM pg_inherits i JOIN pg_class c ON c.oid = i.inhrelid JOIN "
                "pg_class p ON p.oid = i.inhparent JOIN pg_namespace n ON n.oid = p.relnamespace "
                "WHERE p.relname = ? AND n.nspname = current_schema()"));
            parts.addBindValue(QLatin1String(table));
            if (!exec(parts))
                return false;
            while (parts.next()) {
                const QString partition = parts.value(0).toString();
                qint64 day = 0;
                if (!partitionDay(partition, table, day) ||
                    (day + 1) * SecondsPerDay * MsPerSecond > cutoffMs)
                    continue;
                parts.finish();
                partitionDays.remove(partitionKey(table, day));
                return exec(QStringLiteral("DROP TABLE IF EXISTS %1").arg(partition));
            }
        }
        done = true;
        return true;
    }
    // A slice at a time through the time index, samples first.
    const char *table = samplesRetained ? EventsTable : SamplesTable;
    QSqlQuery query(database());
    query.prepare(QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT rowid FROM %1 WHERE t < ? "
                                 "LIMIT %2)")
                      .arg(QLatin1String(table))
                      .arg(RetentionSlice));
    query.addBindValue(toSeconds(cutoffMs));
    if (!exec(query))
        return false;
    if (query.numRowsAffected() < RetentionSlice) {
        if (samplesRetained) {
            samplesRetained = false;
            done = true;
        } else {
            samplesRetained = true;
        }
    }
    return true;
}

bool ArchiveDatabase::readSamples(qint64 from, qint64 to, History &into)
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT t, module, node, quantity, value FROM %1 WHERE station = ? "
                       "AND t >= ? AND t < ? ORDER BY t")
            .arg(QLatin1String(SamplesTable)));
    query.addBindValue(target.station);
    query.addBindValue(toSeconds(from));
    query.addBindValue(toSeconds(to));
    if (!exec(query))
        return false;
    QString lastModule;
    QString lastQuantity;
    History::Quantity quantity = History::Quantity::Voltage;
    bool known = false;
    while (query.next()) {
        const QString module = query.value(1).toString();
        const QString what = query.value(3).toString();
        if (what != lastQuantity) {
            known = History::quantityFromName(what, quantity);
            lastQuantity = what;
        }
        if (!known)
            continue;
        if (module != lastModule && into.node(module).isEmpty())
            into.setNode(module, query.value(2).toString());
        lastModule = module;
        into.add(module, quantity, toMs(query.value(0).toDouble()), query.value(4).toString());
    }
    return true;
}

bool ArchiveDatabase::readEvents(qint64 from, qint64 to, History &into)
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT t, module, node, kind, text FROM %1 WHERE station = ? AND "
                                 "t >= ? AND t < ? ORDER BY t DESC LIMIT %2")
                      .arg(QLatin1String(EventsTable))
                      .arg(History::MaxEvents));
    query.addBindValue(target.station);
    query.addBindValue(toSeconds(from));
    query.addBindValue(toSeconds(to));
    if (!exec(query))
        return false;
    std::vector<History::Event> newestFirst;
    while (query.next()) {
        History::Event event;
        // Kinds this version does not know (a later one's) are left out.
        if (!History::kindFromName(query.value(3).toString(), event.kind))
            continue;
        event.t = toMs(query.value(0).toDouble());
        event.module = query.value(1).toString();
        event.node = query.value(2).toString();
        event.text = query.value(4).toString();
        newestFirst.push_back(event);
    }
    std::for_each(newestFirst.rbegin(), newestFirst.rend(),
                  [&into](const History::Event &event) { into.addEvent(event); });
    return true;
}

bool ArchiveDatabase::readAlarms(QVector<AlarmRecord> &alarms)
{
    QSqlQuery query(database());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT module, condition, severity, value, raised, cleared, "
                                 "acked_by, acked, shelved_until FROM %1 WHERE station = ? ORDER "
                                 "BY raised")
                      .arg(QLatin1String(AlarmsTable)));
    query.addBindValue(target.station);
    if (!exec(query))
        return false;
    while (query.next()) {
        AlarmRecord a;
        a.module = query.value(0).toString();
        a.condition = query.value(1).toString();
        a.severity = query.value(2).toString();
        a.value = query.value(3).toString();
        a.raisedMs = msOrZero(query.value(4));
        a.clearedMs = msOrZero(query.value(5));
        a.ackedBy = query.value(6).toString();
        a.ackedMs = msOrZero(query.value(7));
        a.shelvedUntilMs = msOrZero(query.value(8));
        alarms.append(a);
    }
    return true;
}
