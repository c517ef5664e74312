// `rows`: a table's rows printed as text, CSV or JSON lines. Without --all, the
// rows the records list shows on its first page; with --all, every row straight
// from the pages by the streaming path, in the listing's order.
#include <fmt/format.h>

#include "cli/Commands.h"
#include "cli/Interrupt.h"
#include "cli/ExportWriter.h"
#include "cli/RowWriters.h"
#include "cli/ShellSession.h"
#include "cli/TableExport.h"

namespace quillmark::cli {
namespace {

// Skips `offset` rows, then passes on at most `limit`.
class WindowedWriter : public ExportWriter {
 public:
  WindowedWriter(ExportWriter& inner, std::uint64_t offset, std::optional<std::uint64_t> limit)
      : inner_(inner), offset_(offset), limit_(limit) {}
  void BeginTable(const ExportedTable& table) override { inner_.BeginTable(table); }
  void Row(const std::vector<const std::u16string*>& values) override {
    if (skipped_ < offset_) {
      ++skipped_;
      return;
    }
    if (limit_ && written_ >= *limit_) return;
    ++written_;
    inner_.Row(values);
  }
  void EndTable() override { inner_.EndTable(); }
  bool Done() const override { return limit_ && written_ >= *limit_; }

 private:
  ExportWriter& inner_;
  std::uint64_t offset_;
  std::optional<std::uint64_t> limit_;
  std::uint64_t skipped_ = 0;
  std::uint64_t written_ = 0;
};

// The rows of the window's first page.
void FirstPageRows(const app::ScanOptions& scan, const RowsRequest& request, ProgressBar* progress,
                   std::ostream& out, std::ostream& err) {
  const PrivateFolder logs;
  ShellSession session(err, progress);
  session.ScanOrFail(WithPrivateLog(scan, logs));
  const LargeValuesScope values(request.largeValues);
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
  if (!request.limit || *request.limit > 0) session.ForEachRow(false, take);
  writer->Finish();
}

}  // namespace

int RowsCommand(const app::ScanOptions& scan, const RowsRequest& request, ProgressBar* progress, std::ostream& out,
                std::ostream& err) {
  if (!request.all) {
    FirstPageRows(scan, request, progress, out, err);
    return 0;
  }
  const InterruptScope interrupts;
  const PrivateFolder logs;
  ShellSession session(err, progress);
  TableExporter exporter(session, WithPrivateLog(scan, logs), progress);
  exporter.largeValues = request.largeValues;
  exporter.progressText = "Reading";
  const ExportedTable table = exporter.Select(request.table);
  RowTextWriter text(request.format, out);
  WindowedWriter writer(text, request.offset, request.limit);
  const StreamResult result = exporter.Stream(table, writer);
  if (result.unreadablePages > 0) {
    err << "quillmark-cli: " << UnreadablePagesText(request.table, result.unreadablePages) << "\n";
    return 1;
  }
  return 0;
}

}  // namespace quillmark::cli
