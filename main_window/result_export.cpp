#include "main_window/result_export.h"

#include <QDir>
#include <QSaveFile>

#include "base/spreadsheet_cell.h"

namespace veskor {
namespace {

const QString kCsvFilter = QStringLiteral("CSV (*.csv)");
const QString kTabFilter = QStringLiteral("Texte s\u00E9par\u00E9 par des tabulations (*.txt *.tsv)");

// Spreadsheets read UTF-8 CSV as such only when it starts with this mark.
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";

QString Inert(const QString& cell) {
  return !cell.isEmpty() && StartsAsFormula(cell.front().unicode()) ? QLatin1Char('\'') + cell : cell;
}

QString CsvField(const QString& cell) {
  static const QString kNeedsQuotes = QStringLiteral(",\"\r\n");
  bool quote = false;
  for (const QChar c : cell) quote = quote || kNeedsQuotes.contains(c);
  if (!quote) return cell;
  QString field = cell;
  field.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + field + QLatin1Char('"');
}

// A tab-separated line has no quoting: tabs and line ends inside a cell
// would split it, so they become spaces.
QString TabField(const QString& cell) {
  QString field = cell;
  for (QChar& c : field)
    if (c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
      c = QLatin1Char(' ');
  return field;
}

}  // namespace

QStringList ExportFilters() { return {kCsvFilter, kTabFilter}; }

ExportFormat ExportFormatFor(const QString& path, const QString& chosenFilter) {
  const auto endsWith = [&path](const char* extension) {
    return path.endsWith(QLatin1String(extension), Qt::CaseInsensitive);
  };
  // The name typed says more than a filter left as it was.
  if (endsWith(".csv")) return ExportFormat::Csv;
  if (endsWith(".txt") || endsWith(".tsv")) return ExportFormat::TabSeparated;
  return chosenFilter == kCsvFilter ? ExportFormat::Csv : ExportFormat::TabSeparated;
}

QString ExportLine(const QStringList& cells, ExportFormat format) {
  QStringList fields;
  fields.reserve(cells.size());
  for (const QString& cell : cells)
    fields << (format == ExportFormat::Csv ? CsvField(Inert(cell)) : TabField(Inert(cell)));
  const QChar separator = format == ExportFormat::Csv ? QLatin1Char(',') : QLatin1Char('\t');
  return fields.join(separator) + QStringLiteral("\r\n");
}

QString WriteExport(const QString& path, ExportFormat format, const QStringList& header,
                    const QList<QStringList>& rows) {
  QSaveFile file(path);
  const auto failure = [&path](const QString& why) {
    return QStringLiteral("Impossible d'exporter vers \u00AB %1 \u00BB : %2")
        .arg(QDir::toNativeSeparators(path), why);
  };
  if (!file.open(QIODevice::WriteOnly)) return failure(file.errorString());
  QByteArray bytes = format == ExportFormat::Csv ? QByteArray(kUtf8Bom) : QByteArray();
  bytes += ExportLine(header, format).toUtf8();
  for (const QStringList& row : rows) bytes += ExportLine(row, format).toUtf8();
  if (file.write(bytes) != bytes.size()) {
    const QString why = file.errorString();
    file.cancelWriting();
    return failure(why);
  }
  if (!file.commit()) return failure(file.errorString());
  return {};
}

}  // namespace veskor
