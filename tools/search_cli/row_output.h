#pragma once
// How the rows of the result table are printed: tab-separated lines, the
// archive's texts as they are, or RFC 4180 CSV for spreadsheets, where a cell
// that would run as a formula gets a leading apostrophe; both in UTF-8.

#include <cstdio>
#include <stdexcept>
#include <string>

#include "tools/search_cli/cli_options.h"
#include "tools/search_cli/streaming_table.h"

namespace veskor::search_cli {

// One row as a line with its line end; the cells are Windows-1252.
std::string TsvLine(const TableRow& row);
std::string CsvLine(const TableRow& row);

// A hit row is one with some text in it; the rest are the blank rows that
// separate pages.
bool IsHitRow(const TableRow& row);

// The output took no more rows: a full disk, a broken device, or a reader
// that went away (a closed pipe, `| head`).
class OutputError : public std::runtime_error {
 public:
  explicit OutputError(int errorNumber);
  int ErrorNumber() const { return errorNumber_; }
  bool ReaderGone() const;

 private:
  int errorNumber_;
};

// Every write is checked: a row the output did not take throws OutputError,
// so that the search stops at once instead of fetching pages nobody gets.
class RowPrinter {
 public:
  RowPrinter(std::FILE* out, RowFormat format, bool allRows);

  // The CSV title line; nothing for tab-separated output.
  void PrintHeader();
  void Print(const TableRow& row);
  // Rows reach the reader page by page, not when a buffer happens to fill.
  void Flush();

 private:
  void Write(const std::string& line);

  std::FILE* out_;
  RowFormat format_;
  bool allRows_;
};

}  // namespace veskor::search_cli
