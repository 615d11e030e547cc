#include "tools/search_cli/row_output.h"

#include "platform/cp1252.h"

namespace veskor::search_cli {
namespace {

// Tab-separated output has no quoting, so a field cannot hold a separator.
std::string TsvField(const std::string& cell) {
  std::string field = Cp1252ToUtf8(cell);
  for (char& c : field)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return field;
}

std::string CsvField(const std::string& cell) {
  const std::string text = Cp1252ToUtf8(cell);
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

template <typename Field>
std::string JoinRow(const TableRow& row, char separator, Field field, const char* lineEnd) {
  std::string line;
  for (std::size_t col = 0; col < row.size(); ++col) {
    if (col > 0) line += separator;
    line += field(row[col]);
  }
  return line + lineEnd;
}

}  // namespace

std::string TsvLine(const TableRow& row) { return JoinRow(row, '\t', TsvField, "\n"); }

std::string CsvLine(const TableRow& row) { return JoinRow(row, ',', CsvField, "\r\n"); }

bool IsHitRow(const TableRow& row) {
  for (const std::string& cell : row)
    if (!cell.empty()) return true;
  return false;
}

RowPrinter::RowPrinter(std::FILE* out, RowFormat format, bool allRows)
    : out_(out), format_(format), allRows_(allRows) {}

void RowPrinter::PrintHeader() {
  if (format_ == RowFormat::Csv) std::fputs(CsvLine({"Sujet", "Date", "Posteur", "Newsgroup"}).c_str(), out_);
}

void RowPrinter::Print(const TableRow& row) {
  if (!allRows_ && !IsHitRow(row)) return;
  const std::string line = format_ == RowFormat::Csv ? CsvLine(row) : TsvLine(row);
  std::fwrite(line.data(), 1, line.size(), out_);
}

}  // namespace veskor::search_cli
