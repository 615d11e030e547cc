#pragma once
// How the rows of the result table are printed: tab-separated lines or
// RFC 4180 CSV, in UTF-8.

#include <cstdio>
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

class RowPrinter {
 public:
  RowPrinter(std::FILE* out, RowFormat format, bool allRows);

  // The CSV title line; nothing for tab-separated output.
  void PrintHeader();
  void Print(const TableRow& row);
  // Rows reach the reader page by page, not when a buffer happens to fill.
  void Flush() { std::fflush(out_); }

 private:
  std::FILE* out_;
  RowFormat format_;
  bool allRows_;
};

}  // namespace veskor::search_cli
