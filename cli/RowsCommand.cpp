// `rows` and `export`: a table's rows as the records list lists them, one page
// of at most 1000 rows at a time, printed as text, CSV or JSON lines.
#include <fmt/format.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "cli/Commands.h"
#include "cli/RowWriters.h"
#include "cli/ShellSession.h"
#include "engine/AppSettings.h"

namespace quillmark::cli {
namespace {

std::string SystemError() { return errno != 0 ? std::strerror(errno) : "write failed"; }

// Values leave the program whole unless the listing's placeholders are asked for.
class LargeValuesScope {
 public:
  explicit LargeValuesScope(bool placeholders) { Settings().wholeLargeValues = placeholders ? 0 : 1; }
  ~LargeValuesScope() { Settings().wholeLargeValues = 0; }
  LargeValuesScope(const LargeValuesScope&) = delete;
  LargeValuesScope& operator=(const LargeValuesScope&) = delete;
};

}  // namespace

void RowsCommand(const app::ScanOptions& scan, const RowsRequest& request, ProgressBar* progress, std::ostream& out,
                 std::ostream& err) {
  const PrivateFolder logs;
  ShellSession session(err, progress);
  session.ScanOrFail(WithPrivateLog(scan, logs));
  const LargeValuesScope values(request.placeholders);
  session.Select(session.TablePath(request.table));
  const auto writer = MakeRowWriter(request.format, session.Columns(), out);
  std::uint64_t skipped = 0;
  std::uint64_t written = 0;
  const auto take = [&](const std::vector<std::string>& cells) {
    if (skipped < request.offset) {
      ++skipped;
      return true;
    }
    writer->Row(cells);
    return !request.limit || ++written < *request.limit;
  };
  if (!request.limit || *request.limit > 0) session.ForEachRow(request.all, take);
  writer->Finish();
}

void ExportCommand(const app::ScanOptions& scan, const ExportRequest& request, ProgressBar* progress,
                   std::ostream& out, std::ostream& err) {
  const PrivateFolder logs;
  ShellSession session(err, progress);
  session.ScanOrFail(WithPrivateLog(scan, logs));
  const LargeValuesScope values(request.placeholders);
  session.Select(session.TablePath(request.table));

  errno = 0;
  std::ofstream file(request.output, std::ios::binary | std::ios::trunc);
  if (!file) throw CliError(fmt::format("'{}' cannot be written: {}", request.output, SystemError()));
  // Each page reaches the file before the next is listed: a failed write ends
  // the export there.
  const auto flush = [&] {
    errno = 0;
    file.flush();
    if (!file) throw CliError(fmt::format("writing '{}' failed: {}", request.output, SystemError()));
  };
  const auto writer = MakeRowWriter(request.format, session.Columns(), file);
  flush();

  // Progress: data pages listed out of the listing's pages.
  const ListingState& listing = session.shell.frame.listing();
  if (progress) progress->Start("Exporting " + request.table, listing.listedPages.size());
  std::uint64_t rows = 0;
  session.ForEachRow(
      true,
      [&](const std::vector<std::string>& cells) {
        writer->Row(cells);
        ++rows;
        return true;
      },
      [&] {
        flush();
        if (progress)
          progress->SetPosition(session.shell.window.next.Enabled() ? listing.resumePosition.pageIndex
                                                                    : listing.listedPages.size());
      });
  writer->Finish();
  flush();
  errno = 0;
  file.close();
  if (file.fail()) throw CliError(fmt::format("writing '{}' failed: {}", request.output, SystemError()));
  if (progress) progress->Clear();
  out << rows << (rows == 1 ? " row" : " rows") << " written to " << request.output << "\n";
}

}  // namespace quillmark::cli
