// Writes the seed corpora of the fuzz targets, at build time and never into the
// repository: pages cut from the real files (when their folder is given and
// exists) and from databases the builder writes, including the crafted shapes
// of builder/CraftedShapes.h.
//
//   quillmark-fuzz-seeds OUTPUT_FOLDER [REAL_FIXTURES_FOLDER]
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "builder/CraftedShapes.h"
#include "builder/DatabaseBuilder.h"
#include "catalog/OpenSequence.h"
#include "catalog/SchemaResolution.h"
#include "engine/AppSettings.h"
#include "engine/CollationList.h"
#include "engine/DatabaseFile.h"
#include "engine/RecordPage.h"
#include "tests/fuzz/FuzzFile.h"

namespace fs = std::filesystem;
using namespace quillmark;
using Bytes = std::vector<std::uint8_t>;

namespace {

// Seeds of one kind taken from one file.
constexpr std::size_t kPagesPerType = 3;
constexpr std::size_t kValueSeedsPerFile = 8;
constexpr std::size_t kTablesPerFile = 6;
constexpr std::size_t kXmlPerFile = 4;
constexpr std::size_t kLinkedPages = 6;

Bytes ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

class Seeds {
 public:
  explicit Seeds(fs::path folder) : folder_(std::move(folder)) {}

  void Add(const std::string& target, const std::string& name, const Bytes& bytes) {
    fs::create_directories(folder_ / target);
    std::ofstream(folder_ / target / name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ++counts_[target];
  }
  void Report() const {
    for (const auto& [target, count] : counts_) std::cout << target << ": " << count << " seeds\n";
  }

 private:
  fs::path folder_;
  std::map<std::string, std::size_t> counts_;
};

Bytes PageOf(const Bytes& file, std::size_t page) {
  const auto first = file.begin() + static_cast<std::ptrdiff_t>(page * kPageSize);
  return Bytes(first, first + static_cast<std::ptrdiff_t>(kPageSize));
}
std::uint8_t TypeOf(const Bytes& file, std::size_t page) { return file[page * kPageSize + 1]; }
std::int32_t OwnerOf(const Bytes& file, std::size_t page) {
  const std::uint8_t* at = file.data() + page * kPageSize + 24;
  return static_cast<std::int32_t>(at[0] | at[1] << 8 | at[2] << 16 | static_cast<std::uint32_t>(at[3]) << 24);
}

void Append(Bytes& to, const Bytes& bytes) { to.insert(to.end(), bytes.begin(), bytes.end()); }

// Every seed one file gives, under `stem`.
void CutFile(const fs::path& path, const std::string& stem, Seeds& seeds) {
  const Bytes file = ReadAll(path);
  const std::size_t pages = file.size() / kPageSize;
  if (pages < 2) return;

  // Pages of each type, for the page target (switches off, then all on).
  std::map<std::uint8_t, std::size_t> perType;
  for (std::size_t p = 1; p < pages; ++p) {
    if (perType[TypeOf(file, p)]++ >= kPagesPerType) continue;
    for (std::uint8_t switches : {std::uint8_t{0}, std::uint8_t{3}}) {
      Bytes seed{switches};
      Append(seed, PageOf(file, p));
      seeds.Add("page", stem + "_" + std::to_string(p) + "_" + std::to_string(switches), seed);
    }
  }

  // The catalog: page 0, the boot page and the system tables' data pages.
  Bytes catalog = PageOf(file, 0);
  if (pages > 9) Append(catalog, PageOf(file, 9));
  for (std::size_t p = 1, n = 2; p < pages && n < fuzz::kMostInputPages; ++p)
    if (p != 9 && TypeOf(file, p) == 1 && IsSystemObjectId(OwnerOf(file, p))) Append(catalog, PageOf(file, p)), ++n;
  seeds.Add("catalog", stem, catalog);

  // XML values: binary XML starts DF FF 01 B0 04.
  std::size_t xml = 0;
  static const Bytes kSignature{0xDF, 0xFF, 0x01, 0xB0, 0x04};
  for (auto at = file.begin(); xml < kXmlPerFile;) {
    at = std::search(at, file.end(), kSignature.begin(), kSignature.end());
    if (at == file.end()) break;
    const std::size_t offset = static_cast<std::size_t>(at - file.begin());
    const std::size_t end = (offset / kPageSize + 1) * kPageSize;
    seeds.Add("xml", stem + "_" + std::to_string(xml++), Bytes(at, file.begin() + static_cast<std::ptrdiff_t>(end)));
    ++at;
  }

  ResetSettings();
  OpenedDatabaseFile opened = OpenDatabase(path.string(), 0, nullptr);
  if (!opened.opened()) return;
  DatabaseFile& database = *opened.file;

  // Large values: a data page with complex values and the pages its links name.
  std::size_t values = 0;
  for (std::size_t p = 1; p < pages && values < kValueSeedsPerFile; ++p) {
    if (TypeOf(file, p) != 1) continue;
    auto page = database.ReadDataPage(PageId{1, static_cast<std::int32_t>(p)});
    if (!page) continue;
    std::set<std::int32_t> linked;
    for (const auto& record : page->records) {
      if (!record) continue;
      for (const VarValue& value : record->varValues) {
        if (!value.complex || value.bytes.size() < 16) continue;
        if (value.bytes[0] == 0) linked.insert(ReadRowPointer(value.bytes, 8).page.pageNumber);
        for (std::size_t at = 12; value.bytes[0] != 0 && at + 12 <= value.bytes.size(); at += 12)
          linked.insert(ReadRowPointer(value.bytes, at + 4).page.pageNumber);
      }
    }
    if (linked.empty()) continue;
    Bytes seed = PageOf(file, p);
    std::size_t added = 0;
    for (std::int32_t target : linked)
      if (target > 0 && static_cast<std::size_t>(target) < pages && added++ < kLinkedPages)
        Append(seed, PageOf(file, static_cast<std::size_t>(target)));
    seeds.Add("large_value", stem + "_" + std::to_string(values++), seed);
  }

  // Rows: each table's layouts and its first data page.
  std::size_t tables = 0;
  const std::vector<CatalogObject> objects = opened.catalog->objects;
  for (const CatalogObject& object : objects) {
    if (object.type != "U " || tables >= kTablesPerFile) continue;
    const std::vector<ColumnLayout> layouts = ResolveTableSchema(*opened.catalog, object.name, object.type, {});
    const std::vector<PageId> dataPages = opened.catalog->selected.dataPages;
    if (layouts.empty() || dataPages.empty()) continue;
    auto page = database.ReadPage(dataPages.front());
    if (!page) continue;
    Bytes seed{static_cast<std::uint8_t>(Settings().isSql2000 | 4)};
    Append(seed, fuzz::WriteLayouts(layouts));
    seed.insert(seed.end(), page.get(), page.get() + kPageSize);
    seeds.Add("rows", stem + "_" + std::to_string(tables++), seed);
  }
  ResetSettings();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: quillmark-fuzz-seeds OUTPUT_FOLDER [REAL_FIXTURES_FOLDER]\n";
    return 2;
  }
  LoadCollationList();
  Seeds seeds(argv[1]);
  testing::TempDir dir;

  // Built databases, plain and in every crafted shape.
  for (testing::Layout layout : {testing::Layout::kSql2005Plus, testing::Layout::kSql2000}) {
    const std::string name = layout == testing::Layout::kSql2000 ? "built2000" : "built2005";
    testing::DatabaseSpec spec = testing::DemoShop(layout);
    spec.AddTable("Notes", {testing::Int("Id").NotNull(), testing::Text("Body"),
                            testing::VarChar("Long", -1).Stored(testing::Storage::kInternalNodes, 1000)},
                  {{1, "one", std::string(5000, 'l')}, {2, "two", nullptr}});
    const fs::path plain = spec.Write(dir.path(), name + ".mdf").primary;
    CutFile(plain, name, seeds);
    const Bytes original = ReadAll(plain);
    const std::pair<const char*, testing::ShapeChange (*)(testing::Bytes&)> shapes[] = {
        {"fragment", [](testing::Bytes& f) { return testing::ShapeSharedFragment(f); }},
        {"row", [](testing::Bytes& f) { return testing::ShapeSharedRow(f); }},
        {"object", [](testing::Bytes& f) { return testing::ShapeSharedObjectRow(f, 2); }},
        {"overlap", [](testing::Bytes& f) { return testing::ShapeOverlappingFragments(f); }},
    };
    for (const auto& [shape, make] : shapes) {
      testing::Bytes bytes = original;
      const testing::ShapeChange change = make(bytes);
      const fs::path path = dir / (name + "_" + shape + ".mdf");
      testing::WriteFile(path, bytes);
      CutFile(path, name + "_" + shape, seeds);
      // The crafted pages themselves.
      Bytes pages;
      for (std::int32_t page : change.pages) Append(pages, PageOf(bytes, static_cast<std::size_t>(page)));
      seeds.Add("large_value", name + "_" + shape + "_pages", pages);
    }
  }

  if (argc > 2 && fs::is_directory(argv[2]))
    for (const auto& entry : fs::directory_iterator(argv[2]))
      if (entry.path().extension() == ".mdf") CutFile(entry.path(), entry.path().stem().string(), seeds);

  // A small document, for the xml target: <list><i>item 0</i></list>.
  seeds.Add("xml", "list", Bytes{0xDF, 0xFF, 0x01, 0xB0, 0x04, 0xF0, 0x04, 0x6C, 0x00, 0x69, 0x00, 0x73, 0x00, 0x74,
                                 0x00, 0xEF, 0x00, 0x00, 0x01, 0xF0, 0x01, 0x69, 0x00, 0xEF, 0x00, 0x00, 0x02, 0xF8,
                                 0x01, 0xF8, 0x02, 0x11, 0x06, 'i', 0, 't', 0, 'e', 0, 'm', 0, ' ', 0, '0', 0,
                                 0xF7, 0xF7});
  seeds.Report();
  return 0;
}
