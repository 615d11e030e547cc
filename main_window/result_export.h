#pragma once
// Rows of the result table saved to a file for a spreadsheet or an editor:
// CSV (RFC 4180: commas, quoted fields, CR LF) or tab-separated text, both
// UTF-8 with a header line. An existing file is replaced only once the new
// one is wholly written, so a failed export leaves it as it was.

#include <QList>
#include <QString>
#include <QStringList>

namespace veskor {

enum class ExportFormat { Csv, TabSeparated };

// The file dialog's choices, in the order offered.
QStringList ExportFilters();
// The format of the filter chosen in the dialog, or else of the file's
// extension (".csv" is CSV, anything else tab-separated).
ExportFormat ExportFormatFor(const QString& path, const QString& chosenFilter);

// One line of the file, with its line end.
QString ExportLine(const QStringList& cells, ExportFormat format);

// Writes `header` then `rows` to `path`. Returns an empty text on success,
// otherwise why it failed, in French, for the user.
QString WriteExport(const QString& path, ExportFormat format, const QStringList& header,
                    const QList<QStringList>& rows);

}  // namespace veskor
