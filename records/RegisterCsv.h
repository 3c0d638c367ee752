#ifndef DOSEGATE_REGISTERCSV_H
#define DOSEGATE_REGISTERCSV_H

#include <QByteArray>
#include <QDate>
#include <QString>

class RecordStore;

// The register of calibrations as a CSV file a spreadsheet opens as it is:
// one row per node the records know of, in UTF-8 with a byte-order mark, in
// no language (verdicts and states by their English words). A cell that a
// spreadsheet would take for a formula is guarded.
class RegisterCsv
{
public:
    // The whole file; the store is not owned.
    static QByteArray Of(const RecordStore& store, int intervalMonths, const QDate& today);
    // Written through a temporary beside path; empty when written, else why not.
    static QString Write(const RecordStore& store, const QString& path, int intervalMonths, const QDate& today);
    // The cell as written: guarded, then quoted where CSV needs it.
    static QString Cell(const QString& text);
};

#endif
