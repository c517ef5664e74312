// `scan` and `show`: the window's scan with its log and object tree, and what
// the records panel shows for one tree item.
#include <fmt/format.h>

#include "cli/Commands.h"
#include "cli/RowWriters.h"
#include "cli/ShellSession.h"
#include "cli/TextTable.h"
#include "platform/CodePage.h"

namespace quillmark::cli {
namespace {

constexpr const char* kFileSaved = "File saved successfully.";

std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

// The records view: the status label, then the titled columns and the rows.
void PrintRecords(const ShellSession& session, std::ostream& out) {
  out << Utf8(session.shell.window.status.Text()) << "\n";
  const RowColumns columns = session.Columns();
  if (columns.names.empty()) return;
  TextTable table{OneLineCells(columns.names), columns.rightAligned, {}};
  for (int row = 0; row < session.RowCount(); ++row)
    table.rows.push_back(OneLineCells(session.Row(row, columns.names.size())));
  PrintTable(table, out);
}

// CSV export (340) of the shown page, the save dialog answering `path`.
void ExportShownPage(ShellSession& session, const std::string& path, std::ostream& err) {
  const std::size_t before = session.Boxes().size();
  session.shell.window.dialogs.files.push_back(path);
  session.shell.Command(app::kCommandExportCsv);
  if (session.Boxes().size() == before) throw CliError("the records list has no columns to save");
  const std::string box = session.LastBox();
  if (box != kFileSaved) throw CliError(box);
  err << box << "\n";
}

}  // namespace

int ScanCommand(const app::ScanOptions& scan, ProgressBar* progress, std::ostream& out, std::ostream& err) {
  ShellSession session(err, progress);
  session.EchoLog(&out);
  const bool completed = session.Scan(scan);
  session.ReportErrorBoxes();
  const std::string tree = session.shell.TreeText();
  if (!tree.empty()) out << "\n" << tree;
  return completed ? 0 : 1;
}

void ShowCommand(const app::ScanOptions& scan, const ShowRequest& request, ProgressBar* progress, std::ostream& out,
                 std::ostream& err) {
  ShellSession session(err, progress);
  if (request.verbose) session.EchoLog(&out);
  session.ScanOrFail(scan);
  session.Select(session.ResolvePath(request.path));
  for (int page = 1; page < request.page; ++page)
    if (!session.NextPage())
      throw CliError(fmt::format("'{}' has no page {}: its last page is {}", request.path, request.page, page));

  if (session.shell.window.panel.View() == platform::PanelView::kText) {
    const std::string text = Utf8(session.shell.window.text.Text());
    out << text;
    if (!text.empty() && text.back() != '\n') out << "\n";
  } else {
    PrintRecords(session, out);
  }
  if (request.csv) ExportShownPage(session, *request.csv, err);
}

}  // namespace quillmark::cli
