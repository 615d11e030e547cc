#include "tools/search_cli/row_output.h"

#include <cerrno>

#include "base/cp1252.h"
#include "base/spreadsheet_cell.h"

namespace veskor::search_cli {
namespace {

// Tab-separated output has no quoting, so a field cannot hold a separator.
std::string TsvField(const std::string& cell) {
  std::string field = Cp1252ToUtf8(cell);
  for (char& c : field)
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  return field;
}

// A cell that a spreadsheet would run as a formula stays text. Tab-separated
// output is left as the archive wrote it: scripts read it, and expect the
// bytes they always had.
std::string Inert(const std::string& cell) {
  return !cell.empty() && StartsAsFormula(static_cast<unsigned char>(cell.front())) ? '\'' + cell : cell;
}

std::string CsvField(const std::string& cell) {
  const std::string text = Cp1252ToUtf8(Inert(cell));
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

namespace {

// Why a write failed, in the program's language (Windows-1252).
std::string WriteFailureReason(int errorNumber) {
  switch (errorNumber) {
    case ENOSPC: return "disque plein";
#ifdef EDQUOT
    case EDQUOT: return "quota de disque d\xE9pass\xE9";
#endif
    case EFBIG: return "fichier trop grand";
    case EBADF: return "sortie ferm\xE9""e";
    case EIO: return "erreur d'entr\xE9""e-sortie";
    default: return "erreur syst\xE8me " + std::to_string(errorNumber);
  }
}

}  // namespace

OutputError::OutputError(int errorNumber)
    : std::runtime_error("\xE9""criture impossible sur la sortie standard : " +
                         WriteFailureReason(errorNumber)),
      errorNumber_(errorNumber) {}

bool OutputError::ReaderGone() const { return errorNumber_ == EPIPE; }

RowPrinter::RowPrinter(std::FILE* out, RowFormat format, bool allRows)
    : out_(out), format_(format), allRows_(allRows) {}

void RowPrinter::PrintHeader() {
  if (format_ == RowFormat::Csv) Write(CsvLine({"Sujet", "Date", "Posteur", "Newsgroup"}));
}

void RowPrinter::Print(const TableRow& row) {
  if (!allRows_ && !IsHitRow(row)) return;
  Write(format_ == RowFormat::Csv ? CsvLine(row) : TsvLine(row));
}

void RowPrinter::Flush() {
  errno = 0;
  if (std::fflush(out_) != 0 || std::ferror(out_)) throw OutputError(errno != 0 ? errno : EIO);
}

void RowPrinter::Write(const std::string& line) {
  errno = 0;
  if (std::fwrite(line.data(), 1, line.size(), out_) != line.size() || std::ferror(out_))
    throw OutputError(errno != 0 ? errno : EIO);
}

}  // namespace veskor::search_cli
