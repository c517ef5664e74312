#include "cli/ShellSession.h"

#include <fmt/format.h>
#include <stdlib.h>

#include <algorithm>
#include <deque>
#include <set>
#include <system_error>

#include "catalog/TypeCode.h"
#include "cli/Commands.h"
#include "engine/AppSettings.h"
#include "platform/CodePage.h"
#include "platform/Messages.h"

namespace quillmark::cli {
namespace {

using platform::TreeItem;

constexpr const char* kScanCompleted = "Scanning process completed.";

std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

bool IsNumber(std::uint32_t typeCode) {
  switch (typeCode) {
    case kBigInt:
    case kInt:
    case kSmallInt:
    case kTinyInt:
    case kMoney:
    case kSmallMoney:
    case kFloat:
    case kReal:
    case kNumeric:
    case kDecimal:
      return true;
    default:
      return false;
  }
}

std::vector<std::u16string> Segments(const std::string& path) {
  std::vector<std::u16string> segments;
  std::size_t at = 0;
  for (std::size_t slash; (slash = path.find('/', at)) != std::string::npos; at = slash + 1)
    segments.push_back(platform::Utf8ToUtf16(path.substr(at, slash - at)));
  segments.push_back(platform::Utf8ToUtf16(path.substr(at)));
  return segments;
}

// The segments [first, last) joined by '/': a node text that holds '/' itself.
std::u16string Joined(const std::vector<std::u16string>& segments, std::size_t first, std::size_t last) {
  std::u16string text = segments[first];
  for (std::size_t i = first + 1; i < last; ++i) text += u"/" + segments[i];
  return text;
}

// Walks a path given as node texts through the tree, selecting a table whose
// keys are not in the tree yet.
class PathResolver {
 public:
  PathResolver(ShellSession& session, const std::vector<std::u16string>& segments)
      : session_(session), tree_(session.shell.window.tree), segments_(segments) {
    const std::u16string root = tree_.ItemText(tree_.FirstChild(platform::kNoItem));
    userTables_ = tree_.Find({root, u"Tables", u"User Tables"});
    systemTables_ = tree_.Find({root, u"Tables", u"System Tables"});
  }

  std::optional<std::vector<std::u16string>> Resolve() {
    const TreeItem root = tree_.FirstChild(platform::kNoItem);
    std::deque<std::pair<TreeItem, std::vector<std::u16string>>> queue;
    for (const TreeItem child : tree_.Children(root)) queue.push_back({child, {tree_.ItemText(child)}});
    while (!queue.empty()) {
      auto [item, path] = std::move(queue.front());
      queue.pop_front();
      const std::u16string text = tree_.ItemText(item);
      for (std::size_t k = 1; k <= segments_.size(); ++k)
        if (text == Joined(segments_, 0, k))
          if (auto found = Descend(item, k, path)) return found;
      for (const TreeItem child : tree_.Children(item)) {
        std::vector<std::u16string> longer = path;
        longer.push_back(tree_.ItemText(child));
        queue.push_back({child, std::move(longer)});
      }
    }
    return std::nullopt;
  }

  std::string MissText() const {
    if (!missParent_) return "no tree item '" + Utf8(segments_[0]) + "'";
    return "no item '" + Utf8(segments_[missIndex_]) + "' under '" + Utf8(*missParent_) + "'";
  }

 private:
  std::optional<std::vector<std::u16string>> Descend(TreeItem item, std::size_t next,
                                                     const std::vector<std::u16string>& path) {
    if (next == segments_.size()) return path;
    for (int attempt = 0; attempt < 2; ++attempt) {
      for (std::size_t last = next + 1; last <= segments_.size(); ++last) {
        const std::u16string text = Joined(segments_, next, last);
        for (const TreeItem child : tree_.Children(item)) {
          if (tree_.ItemText(child) != text) continue;
          std::vector<std::u16string> longer = path;
          longer.push_back(text);
          if (auto found = Descend(child, last, longer)) return found;
        }
      }
      // A table shows its keys and columns once it was selected.
      const TreeItem parent = tree_.Parent(item);
      if (attempt > 0 || (parent != userTables_ && parent != systemTables_) || selected_.count(item)) break;
      selected_.insert(item);
      session_.Select(path);
    }
    if (!missParent_ || next > missIndex_) {
      missIndex_ = next;
      missParent_ = tree_.ItemText(item);
    }
    return std::nullopt;
  }

  ShellSession& session_;
  const platform::headless::Tree& tree_;
  const std::vector<std::u16string>& segments_;
  TreeItem userTables_ = platform::kNoItem;
  TreeItem systemTables_ = platform::kNoItem;
  std::set<TreeItem> selected_;
  std::size_t missIndex_ = 0;
  std::optional<std::u16string> missParent_;
};

}  // namespace

PrivateFolder::PrivateFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quillmark-cli-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw CliError("a temporary folder cannot be created in " + pattern);
  path_ = pattern;
}

PrivateFolder::~PrivateFolder() {
  std::error_code error;
  std::filesystem::remove_all(path_, error);
}

app::ScanOptions WithPrivateLog(app::ScanOptions scan, const PrivateFolder& folder) {
  scan.logFolder = folder.path().string();
  return scan;
}

void CheckListedCollation(std::int64_t id) {
  if (Settings().collationMap.count(id) == 0)
    throw CliError(fmt::format("unknown collation id {}: the collation list (collation.txt) has no such id", id));
}

ShellSession::ShellSession(std::ostream& err, ProgressBar* progress) : err_(err), progress_(progress) {
  shell.onLogLine = [this](const std::u16string& line) {
    if (!echo_) return;
    if (progress_) progress_->Clear();
    *echo_ << Utf8(line) << "\n";
  };
  shell.frame.onMessage = [this](platform::MessageId id, platform::WParam wParam, platform::LParam lParam) {
    OnMessage(id, wParam, lParam);
  };
}

ShellSession::~ShellSession() {
  shell.Wait();
  if (progress_) progress_->Clear();
}

void ShellSession::OnMessage(platform::MessageId id, platform::WParam wParam, platform::LParam lParam) {
  if (!progress_) return;
  const char* text = platform::CarriesText(id) ? reinterpret_cast<const char*>(lParam) : nullptr;
  if (id == platform::WM_APP_PANEL_TEXT && text) progress_->SetText(text);
  if (id == platform::WM_APP_PROGRESS_RANGE) progress_->SetRange(static_cast<std::uint64_t>(std::max<platform::LParam>(lParam, 0)));
  if (id == platform::WM_APP_PROGRESS_POS) progress_->SetPosition(wParam);
}

bool ShellSession::Scan(const app::ScanOptions& options) {
  scanBoxes_ = shell.window.dialogs.shown.size();
  const bool accepted = shell.Scan(options);
  if (progress_) progress_->Clear();
  if (!accepted) throw CliError(LastBox());
  return LastBox() == kScanCompleted && shell.window.dialogs.shown.size() > scanBoxes_;
}

void ShellSession::ScanOrFail(const app::ScanOptions& options) {
  if (!Scan(options)) throw CliError(FailureText());
}

bool ShellSession::LoadSnapshot(const std::string& snapshot) {
  scanBoxes_ = shell.window.dialogs.shown.size();
  shell.window.dialogs.files.push_back(snapshot);
  shell.Command(app::kCommandLoadSnapshot);
  if (progress_) progress_->Clear();
  return LastBox() == kScanCompleted && shell.window.dialogs.shown.size() > scanBoxes_;
}

std::vector<std::string> ShellSession::Boxes() const {
  std::vector<std::string> texts;
  for (const auto& shown : shell.window.dialogs.shown) texts.push_back(Utf8(shown.text));
  return texts;
}

std::string ShellSession::LastBox() const {
  const auto& shown = shell.window.dialogs.shown;
  return shown.empty() ? std::string() : Utf8(shown.back().text);
}

std::string ShellSession::FailureText() const {
  const auto& shown = shell.window.dialogs.shown;
  for (std::size_t i = scanBoxes_; i < shown.size(); ++i)
    if (shown[i].icon == platform::Icon::kError) return OneLine(Utf8(shown[i].text));
  const auto& lines = shell.log.Lines();
  if (!lines.empty()) return OneLine(Utf8(lines.back()));
  return OneLine(LastBox());
}

void ShellSession::ReportErrorBoxes() {
  const auto& shown = shell.window.dialogs.shown;
  for (; reportedBoxes_ < shown.size(); ++reportedBoxes_)
    if (shown[reportedBoxes_].icon == platform::Icon::kError)
      err_ << "quillmark-cli: " << OneLine(Utf8(shown[reportedBoxes_].text)) << "\n";
}

std::vector<std::u16string> ShellSession::ResolvePath(const std::string& path) {
  if (shell.window.tree.Count() == 0) throw CliError("the object tree is empty");
  const std::vector<std::u16string> segments = Segments(path);
  PathResolver resolver(*this, segments);
  if (auto found = resolver.Resolve()) return *found;
  throw CliError(resolver.MissText());
}

std::vector<std::u16string> ShellSession::TablePath(const std::string& name) const {
  const platform::headless::Tree& tree = shell.window.tree;
  const std::u16string root = tree.ItemText(tree.FirstChild(platform::kNoItem));
  const std::u16string wanted = platform::Utf8ToUtf16(name);
  for (const char16_t* group : {u"User Tables", u"System Tables"}) {
    const TreeItem node = tree.Find({root, u"Tables", group});
    if (node == platform::kNoItem) continue;
    for (const TreeItem table : tree.Children(node))
      if (tree.ItemText(table) == wanted) return {u"Tables", group, wanted};
  }
  throw CliError("no table named '" + name + "'");
}

void ShellSession::Select(const std::vector<std::u16string>& path) {
  if (shell.Select(path)) return;
  std::u16string joined;
  for (const std::u16string& text : path) joined += (joined.empty() ? u"" : u"/") + text;
  throw CliError("no tree item '" + Utf8(joined) + "'");
}

bool ShellSession::NextPage() {
  if (!shell.window.next.Enabled()) return false;
  const std::int32_t before = shell.frame.listing().pageNumber;
  shell.Next();
  return shell.frame.listing().pageNumber > before;
}

RowColumns ShellSession::Columns() const {
  const platform::headless::List& list = shell.window.records;
  int count = list.ColumnCount();
  if (count > 0 && list.ColumnTitle(count - 1).empty()) --count;
  RowColumns columns;
  for (int i = 0; i < count; ++i) columns.names.push_back(Utf8(list.ColumnTitle(i)));

  // The list's columns are the selected table's layouts, those without storage
  // left out (but in files of SQL Server 2000).
  std::vector<bool> numbers;
  if (const DatabaseCatalog* catalog = shell.frame.opened().catalog.get())
    for (const ColumnLayout& layout : catalog->selected.layouts)
      if (Settings().isSql2000 || layout.physicalColumnId != kNoStorage) numbers.push_back(IsNumber(layout.typeCode));
  if (numbers.size() != columns.names.size()) numbers.assign(columns.names.size(), false);
  columns.rightAligned = numbers;
  return columns;
}

int ShellSession::RowCount() const { return shell.window.records.RowCount(); }

std::vector<std::string> ShellSession::Row(int row, std::size_t columns) const {
  std::vector<std::string> cells;
  cells.reserve(columns);
  for (std::size_t column = 0; column < columns; ++column)
    cells.push_back(Utf8(shell.window.records.Text(row, static_cast<int>(column))));
  return cells;
}

void ShellSession::ForEachRow(bool all, const std::function<bool(const std::vector<std::string>&)>& take,
                              const std::function<void()>& pageDone) {
  const std::size_t columns = Columns().names.size();
  do {
    for (int row = 0; row < RowCount(); ++row)
      if (!take(Row(row, columns))) return;
    if (pageDone) pageDone();
  } while (all && NextPage());
}

}  // namespace quillmark::cli
