#pragma once
// The plant database's tables, made and upgraded by the forwarders themselves: a
// schema_version table and one migration step per version, run under an advisory lock
// so that stations starting together upgrade once. test_records is partitioned by the
// month of the day file (column day, part of the primary key); a month's partition is
// made when the first record of that month comes. docs/plant-database.md explains the
// layout. Errors: PgError. Thread: the link's.
#include <QDate>
#include <QString>
#include <QStringList>

#include "plantdb/pg_link.h"

namespace velta::plantdb {

// The sixteen measured values in the daily file's order, as column names (hava .. boy3).
const QStringList& valueColumns();

// The newest schema version this program knows.
int latestSchemaVersion();

// Brings the schema up to latestSchemaVersion() (a newer schema is left as it is) and
// returns the database's identity (a UUID made with the schema), which tells one plant
// database from another.
QString ensureSchema(PgLink& link);

// Name of the partition that holds a day's records ("test_records_y2026m03").
QString partitionName(const QDate& day);
// Makes that partition unless it exists.
void ensurePartition(PgLink& link, const QDate& day);

}  // namespace velta::plantdb
