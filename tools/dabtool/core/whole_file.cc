#include "whole_file.h"

#include <sys/statvfs.h>

#include <filesystem>

#include "errors.h"
#include "file_io.h"
#include "record_scan.h"
#include "text.h"

namespace dabtool {

namespace {

// The likeliest reason for a short file, as the person can act on it.
std::string likelyCause(const std::string& path) {
  struct statvfs disk {};
  std::string folder = std::filesystem::path(path).parent_path().string();
  if (::statvfs(folder.empty() ? "." : folder.c_str(), &disk) == 0 && disk.f_bavail == 0) {
    return "the disk that holds the data folder is full; free some space and try again";
  }
  return "most likely no space was left on the disk (or a limit on file size was reached); "
         "free some space and try again";
}

// A row with fewer cells than the header: the write stopped in it.
bool rowsAreShort(const RecordScan& scan) {
  if (scan.records.empty()) return false;
  int cells = scan.records.front().fields;
  for (const ScannedRecord& record : scan.records) {
    if (record.fields < cells) return true;
  }
  return scan.trailingData && scan.trailingFields < cells;
}

}  // namespace

void checkWholeCsv(const std::string& path, const std::string& shownName, const CsvShape& shape) {
  MappedFile file(path, shownName);
  RecordScan scan = scanRecords(file.view(), shape.delimiter);
  int complete = static_cast<int>(scan.records.size());
  int rows = complete + (scan.trailingData ? 1 : 0);
  bool whole = rows == shape.rows && scan.trailingData != shape.lastRowEnded && !scan.malformed &&
               !rowsAreShort(scan);
  if (whole) return;
  throw Failure(shownName + " is incomplete: it holds " +
                plural(complete, "whole row", "whole rows") + " of the " +
                std::to_string(shape.rows) + " the " + shape.what + " writes; " +
                likelyCause(path));
}

}  // namespace dabtool
