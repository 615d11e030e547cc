#pragma once
// Rows of the result table saved to a file for a spreadsheet or an editor:
// CSV (RFC 4180: commas, quoted fields, CR LF; UTF-8 behind a byte order
// mark, without which spreadsheets take the accents for another character
// set) or tab-separated UTF-8 text, both with a header line. A cell that a
// spreadsheet would run as a formula gets a leading apostrophe. An existing
// file is replaced only once the new one is wholly written, so a failed
// export leaves it as it was.

#include <QList>
#include <QString>
#include <QStringList>

namespace veskor {

enum class ExportFormat { Csv, TabSeparated };

// The file dialog's choices, in the order offered.
QStringList ExportFilters();
// The format of the file's extension when it is one of the filters' (".csv";
// ".txt" or ".tsv"), otherwise of the filter chosen in the dialog;
// tab-separated when neither says.
ExportFormat ExportFormatFor(const QString& path, const QString& chosenFilter);

// One line of the file, with its line end.
QString ExportLine(const QStringList& cells, ExportFormat format);

// Writes `header` then `rows` to `path`. Returns an empty text on success,
// otherwise why it failed, in French, for the user.
QString WriteExport(const QString& path, ExportFormat format, const QStringList& header,
                    const QList<QStringList>& rows);

}  // namespace veskor
