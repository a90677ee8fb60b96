#pragma once
// What the quality engineers ask of the plant database: every record of a serial number
// from all stations, and all stations' records of one day as a workbook.
// Errors: PgError from the database, velta::Error naming the workbook. Any one thread.
#include <QDate>
#include <QString>
#include <QTextStream>

#include "plantdb/pg_link.h"

namespace velta::plantdb {

// Every record of serial (deleted ones too), one tab-separated line each under a heading
// line: station, day file, SIRANO, SERiNO, the sixteen values, stored at, deleted at
// (empty while not deleted). Returns how many.
int findSerial(PgLink& link, const QString& serial, QTextStream& out);

// All stations' records of day into a new workbook at path (heading row, one row per
// record, empty values as empty cells; deleted records with their deletion time).
// Returns how many records.
int exportDay(PgLink& link, const QDate& day, const QString& path);

}  // namespace velta::plantdb
