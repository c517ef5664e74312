#include "engine/LargeObjects.h"

#include <fmt/format.h>

#include <map>
#include <optional>
#include <set>

#include "engine/RecordPage.h"
#include "platform/CodePage.h"
#include "tests/engine/EngineTest.h"
#include "tests/support/RealFixtures.h"

namespace quillmark::testing {
namespace {

constexpr std::uint8_t kTextMixPageType = 3;
constexpr std::int32_t kTextOwner = 77;  // the object id in the header of the test's text pages
constexpr std::uint16_t kSmallRoot = 0;
constexpr std::uint16_t kInternal = 2;
constexpr std::uint16_t kData = 3;
constexpr std::uint16_t kLargeRoot = 5;
constexpr LobFlags kText{};
constexpr LobFlags kBinary{.binary = true};
constexpr LobFlags kUnicode{.unicode = true};
constexpr LobFlags kVariant{.variant = true};

Bytes Ascii(const std::string& text) { return Bytes(text.begin(), text.end()); }
std::string Utf8(const std::u16string& text) { return platform::Utf16ToUtf8(text); }

std::string Hex(const Bytes& bytes) {
  std::string hex;
  for (std::uint8_t byte : bytes) hex += fmt::format("{:02X}", byte);
  return hex;
}

// A row pointer as links store it: page number, file id, slot.
Bytes RowBytes(RowId row) {
  Bytes bytes(8, 0);
  PutPagePointer(bytes, 0, row.page.pageNumber, row.page.fileId);
  PutU16(bytes, 6, row.slot);
  return bytes;
}

// A fragment as a text record holds it from the blob id on: blob id, type, body.
Bytes Fragment(std::uint16_t type, const Bytes& body) {
  Bytes head(10, 0);
  PutU32(head, 0, 0x0BADF00D);
  PutU16(head, 8, type);
  return Concat({head, body});
}

Bytes SmallRoot(const Bytes& data, std::optional<std::uint16_t> claimedLength = std::nullopt) {
  Bytes head(6, 0);
  PutU16(head, 0, claimedLength.value_or(static_cast<std::uint16_t>(data.size())));
  return Fragment(kSmallRoot, Concat({head, data}));
}

Bytes Data(const Bytes& data) { return Fragment(kData, data); }

// Internal: (kept), link count, (kept); links of a 64-bit offset and a row pointer.
Bytes Internal(const std::vector<RowId>& links) {
  Bytes body(6 + 16 * links.size(), 0);
  PutU16(body, 2, static_cast<std::uint16_t>(links.size()));
  for (std::size_t i = 0; i < links.size(); ++i) PutBytes(body, 6 + 16 * i + 8, RowBytes(links[i]));
  return Fragment(kInternal, body);
}

// LargeRootYukon: (kept), link count, (kept), 4 bytes (kept); links of a size and a row pointer.
Bytes LargeRoot(const std::vector<RowId>& links) {
  Bytes body(10 + 12 * links.size(), 0);
  PutU16(body, 2, static_cast<std::uint16_t>(links.size()));
  for (std::size_t i = 0; i < links.size(); ++i) {
    PutU32(body, 10 + 12 * i, 8000);
    PutBytes(body, 10 + 12 * i + 4, RowBytes(links[i]));
  }
  return Fragment(kLargeRoot, body);
}

// A record of a text page: status A (blob fragment), status B, fixedEnd, the fragment.
Bytes TextRecordOf(const Bytes& fragment) {
  Bytes head(4, 0);
  head[0] = StatusA(kBlobFragment, false, false);
  PutU16(head, 2, static_cast<std::uint16_t>(4 + fragment.size()));
  return Concat({head, fragment});
}

Bytes TextPointer(RowId row) { return Concat({Repeat(0, 8), RowBytes(row)}); }

struct RootLink {
  RowId row;
  std::int32_t size = 100;
};
Bytes InRowRoot(const std::vector<RootLink>& links) {
  Bytes root(12 + 12 * links.size(), 0);
  root[0] = 4;
  for (std::size_t i = 0; i < links.size(); ++i) {
    PutU32(root, 12 + 12 * i, static_cast<std::uint32_t>(links[i].size));
    PutBytes(root, 12 + 12 * i + 4, RowBytes(links[i].row));
  }
  return root;
}

std::u16string ReadAlone(const Bytes& fragment, LobFlags flags) {
  return ReadFragment(fragment, static_cast<std::int32_t>(fragment.size()) - 10, nullptr, flags);
}

// Builds a database whose text pages (20 and above) hold the fragments a test puts there.
class LargeObjectsTest : public EngineTest {
 protected:
  RowId Put(std::int32_t page, const Bytes& fragment) {
    PageBuilder& builder = pages_.try_emplace(page, kTextMixPageType, kTextOwner, page).first->second;
    auto slot = static_cast<std::uint16_t>(builder.SlotsAdded());
    builder.AddRecord(TextRecordOf(fragment));
    return RowId{PageId{kPrimaryFileId, page}, slot};
  }
  PageContext Open() {
    std::size_t pageCount = pages_.empty() ? 16 : static_cast<std::size_t>(pages_.rbegin()->first) + 1;
    FileBuilder file = FileBuilder::MinimalDatabase(pageCount);
    for (const auto& [number, page] : pages_) file.SetPage(static_cast<std::size_t>(number), page.Build());
    db_ = DatabaseFile::Open(file.Write(dir_ / "lob.mdf").string(), 0, nullptr);
    EXPECT_TRUE(db_->opened);
    return PageContext{nullptr, db_.get(), nullptr};
  }

  TempDir dir_;
  std::map<std::int32_t, PageBuilder> pages_;
  std::unique_ptr<DatabaseFile> db_;
};

TEST_F(LargeObjectsTest, DataFragmentsShowTheirBytesByTheValueFlags) {
  Bytes variantVarchar = Concat({Bytes{167, 1, 0, 0, 0, 0, 0, 0}, Ascii("variant text")});
  Bytes variantBinary = Concat({Bytes{165, 1, 0, 0, 0, 0, 0, 0}, Bytes{0xCA, 0xFE}});
  struct Case {
    const char* what;
    Bytes fragment;
    LobFlags flags;
    std::string text;
  } cases[] = {
      {"ntext hello in one small root", SmallRoot(Utf16(u"hello")), kUnicode, "hello"},
      {"hello stored as UTF-16LE without the unicode flag", SmallRoot(Utf16(u"hello")), kText, "hello"},
      {"image small root: every byte, zeros included", SmallRoot({1, 0, 2, 0}), kBinary, "01000200"},
      {"ntext Cyrillic in a small root", SmallRoot(Utf16(u"Привет")), kUnicode, "Привет"},
      {"ntext Cyrillic in a data fragment", Data(Utf16(u"Привет")), kUnicode, "Привет"},
      {"unicode ends at the first NUL code unit", Data(Utf16(std::u16string(u"hi\0there", 8))), kUnicode, "hi"},
      {"image data fragment", Data({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}), kBinary, "0102030405060708090A0B0C"},
      {"a data body shorter than 10 bytes is data all the same", Data({1, 2, 0xFF}), kBinary, "0102FF"},
      {"a small root body shorter than 10 bytes", SmallRoot({1, 2}), kBinary, ""},
      {"8-bit text in the ANSI code page, up to the first zero", Data(Ascii(std::string("M\xFCnchen\0rest", 12))),
       kText, "München"},
      {"sql_variant varchar small root", SmallRoot(variantVarchar), kVariant, "variant text"},
      {"sql_variant varbinary small root", SmallRoot(variantBinary), kVariant, "CAFE"},
      {"sql_variant in a data fragment", Data(variantVarchar), kVariant, "variant text"},
      {"fragment type 1", Fragment(1, Repeat('x', 20)), kText, ""},
      {"fragment type 7", Fragment(7, Repeat('x', 20)), kText, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Utf8(ReadAlone(c.fragment, c.flags)), c.text) << c.what;
}

TEST_F(LargeObjectsTest, SmallRootTakesOnlyTheDataInsideItsFragment) {
  Bytes data = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B,
                0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27};
  Bytes claimsMore = SmallRoot(data, 8000);
  ASSERT_EQ(claimsMore.size(), 40u);
  // Bytes after the fragment (the rest of the page) are not part of it.
  Bytes followed = Concat({claimsMore, Repeat(0xEE, 64)});
  EXPECT_EQ(Utf8(ReadFragment(followed, 30, nullptr, kBinary)), Hex(data));
  EXPECT_EQ(Utf8(ReadAlone(SmallRoot(data, 4), kBinary)), "10111213");
  EXPECT_EQ(Utf8(ReadAlone(SmallRoot(data, 0), kBinary)), "");
  EXPECT_EQ(Utf8(ReadAlone(SmallRoot(data, 8193), kBinary)), "");
}

TEST_F(LargeObjectsTest, LinksAreTakenOnlyWhollyInsideTheirFragment) {
  RowId first = Put(20, Data(Ascii("first link")));
  RowId second = Put(20, Data(Ascii("second link")));
  PageContext page = Open();
  for (Bytes fragment : {Internal({first, second}), LargeRoot({first, second})}) {
    auto body = static_cast<std::int32_t>(fragment.size()) - 10;
    EXPECT_EQ(Utf8(ReadFragment(fragment, body, page.file, kText)), "first linksecond link");
    // The fragment ends 8 bytes into the second link.
    EXPECT_EQ(Utf8(ReadFragment(fragment, body - 8, page.file, kText)), "first link");
  }
  // A link count above what the fragment holds.
  Bytes claimsThree = Internal({first, second});
  PutU16(claimsThree, 12, 3);
  EXPECT_EQ(Utf8(ReadFragment(claimsThree, static_cast<std::int32_t>(claimsThree.size()) - 10, page.file, kText)),
            "first linksecond link");
}

TEST_F(LargeObjectsTest, InRowRootTakesOnlyLinksInsideTheValue) {
  RowId first = Put(20, Data(Ascii("first link")));
  RowId second = Put(20, Data(Ascii("second link")));
  PageContext page = Open();
  const Bytes root = InRowRoot({{first}, {second}});
  const std::pair<std::size_t, const char*> cases[] = {
      {12, ""}, {20, ""}, {23, ""}, {24, "first link"}, {35, "first link"}, {36, "first linksecond link"}};
  for (const auto& [length, text] : cases)
    EXPECT_EQ(Utf8(ReadInRowRoot(ByteSpan(root).first(length), page, kText)), text) << "length " << length;
}

TEST_F(LargeObjectsTest, InRowRootLinksOfNoSizeAreSkippedAndHighFileIdsNameFileOne) {
  RowId data = Put(20, Data(Ascii("linked data")));
  PageContext page = Open();
  RowId farFile = data;
  farFile.page.fileId = 5000;
  RowId thirdFile = data;
  thirdFile.page.fileId = 3;
  const std::pair<RootLink, const char*> cases[] = {
      {{data}, "linked data"}, {{farFile}, "linked data"}, {{thirdFile}, ""}, {{data, 0}, ""}, {{data, -1}, ""}};
  for (const auto& [link, text] : cases)
    EXPECT_EQ(Utf8(ReadInRowRoot(InRowRoot({link}), page, kText)), text)
        << "file " << link.row.page.fileId << ", size " << link.size;
}

TEST_F(LargeObjectsTest, TextPointerToNothingGivesABlank) {
  RowId data = Put(20, Data(Ascii("pointed-at text")));
  RowId emptyRecord{PageId{kPrimaryFileId, 21}, 0};
  pages_.try_emplace(21, kTextMixPageType, kTextOwner, 21)
      .first->second.AddRecord({StatusA(kBlobFragment, false, false), 0, 4, 0});
  PageContext page = Open();
  EXPECT_EQ(Utf8(ReadTextPointer(TextPointer(data), page, kText)), "pointed-at text");
  const std::pair<RowId, const char*> nothing[] = {
      {emptyRecord, "a record without a fragment"},
      {RowId{data.page, 7}, "a slot the page does not have"},
      {RowId{PageId{kPrimaryFileId, 900}, 0}, "a page past the end of the file"},
      {RowId{PageId{2, 20}, 0}, "a file that is not there"},
  };
  for (const auto& [row, what] : nothing) EXPECT_EQ(Utf8(ReadTextPointer(TextPointer(row), page, kText)), " ") << what;
  EXPECT_EQ(Utf8(ReadTextPointer(Bytes(12, 0), page, kText)), " ") << "a pointer too short for its row";
}

// Text pointer -> LargeRootYukon (page 20) -> [Internal (page 21) -> [data, small root], data], each on
// another page.
class LargeObjectsTreeTest : public LargeObjectsTest {
 protected:
  void SetUp() override {
    LargeObjectsTest::SetUp();
    RowId one = Put(22, Data(Ascii("Large values ")));
    RowId two = Put(23, SmallRoot(Ascii("are kept ")));
    RowId three = Put(22, Data(Ascii("in pieces.")));
    RowId internal = Put(21, Internal({one, two}));
    root_ = Put(20, LargeRoot({internal, three}));
    singleLinkRoot_ = Put(24, LargeRoot({three}));
    page_ = Open();
  }
  RowId root_;
  RowId singleLinkRoot_;
  PageContext page_;
};

TEST_F(LargeObjectsTreeTest, ReadsTheLinksOfEveryLevelInOrder) {
  EXPECT_EQ(Utf8(ReadTextPointer(TextPointer(root_), page_, kText)), "Large values are kept in pieces.");
  EXPECT_EQ(Utf8(ReadInRowRoot(InRowRoot({{root_}}), page_, kText)), "Large values are kept in pieces.");
  // The hex of a value stays whole, whether spread over several links or behind a single one.
  EXPECT_EQ(Utf8(ReadTextPointer(TextPointer(root_), page_, kBinary)), Hex(Ascii("Large values are kept in pieces.")));
  EXPECT_EQ(Utf8(ReadTextPointer(TextPointer(singleLinkRoot_), page_, kBinary)), Hex(Ascii("in pieces.")));
}

TEST_F(LargeObjectsTreeTest, CollectModeAppendsTheDataChunksInOrder) {
  LobChunks chunks;
  EXPECT_EQ(ReadInRowRoot(InRowRoot({{root_}}), page_, kBinary, &chunks), u"");
  EXPECT_EQ(chunks, (LobChunks{Ascii("Large values "), Ascii("are kept "), Ascii("in pieces.")}));
}

TEST_F(LargeObjectsTest, ALinkIsFollowedOncePerValue) {
  // Each Internal is the first record of its page.
  RowId self{PageId{kPrimaryFileId, 20}, 0};
  RowId a{PageId{kPrimaryFileId, 21}, 0};
  RowId b{PageId{kPrimaryFileId, 22}, 0};
  RowId x = Put(23, Data(Ascii("before the cycle ")));
  RowId y = Put(23, Data(Ascii("after the cycle")));
  Put(20, Internal({self}));
  Put(21, Internal({x, b}));
  Put(22, Internal({a, y}));
  PageContext page = Open();

  EXPECT_EQ(Utf8(ReadInRowRoot(InRowRoot({{self}}), page, kText)), "");
  EXPECT_EQ(Utf8(ReadTextPointer(TextPointer(self), page, kText)), " ");
  EXPECT_EQ(Utf8(ReadTextPointer(TextPointer(a), page, kText)), "before the cycle after the cycle");
  EXPECT_EQ(Utf8(ReadInRowRoot(InRowRoot({{x}, {x}, {y}}), page, kText)), "before the cycle after the cycle");
}

TEST_F(LargeObjectsTest, LinksDeeperThanSixteenAreNotFollowed) {
  // Level k (one a page) links to its data and to level k + 1.
  std::string expected;
  for (std::int32_t level = 1; level <= 20; ++level) {
    std::string data = fmt::format("[level {:02}]", level);
    RowId dataRow = Put(19 + level, Data(Ascii(data)));
    Put(19 + level, Internal({dataRow, RowId{PageId{kPrimaryFileId, 20 + level}, 1}}));
    // The pointer's own link is the first: level k's data is link k + 1.
    if (level + 1 <= kMaxLinkDepth) expected += data;
  }
  PageContext page = Open();
  EXPECT_EQ(Utf8(ReadTextPointer(TextPointer(RowId{PageId{kPrimaryFileId, 20}, 1}), page, kText)), expected);
}

TEST_F(LargeObjectsTest, AValueStopsGrowingAt64MiB) {
  // Each page holds 8000 bytes, 32000 bytes of hex text: 2100 pages make more than 64 MiB.
  std::vector<RootLink> links;
  links.reserve(2100);
  for (std::int32_t n = 0; n < 2100; ++n)
    links.push_back({Put(20 + n, Data(Repeat(static_cast<std::uint8_t>(n), 8000)))});
  PageContext page = Open();
  std::u16string text = ReadInRowRoot(InRowRoot(links), page, kBinary);
  ASSERT_EQ(text.size() * sizeof(char16_t), kMaxValueBytes);
  EXPECT_EQ(text.substr(0, 4), u"0000");
  EXPECT_EQ(text.substr(text.size() - 4), u"3131");  // link 2097 (bytes 0x31) is the last one begun
}

// ---- real files ---------------------------------------------------------------------------------

bool IsTextPointer(const ByteVector& value) { return value.size() == 16 && value[0] == 0; }
bool IsInRowRoot(const ByteVector& value) { return !value.empty() && (value[0] == 2 || value[0] == 4); }

// The text pointers and in-row roots in the records of the user tables: allocation units of
// SQL Server 2005 and later (negative keys) and the objects of SQL Server 2000, whose ids
// are far above those of the system tables.
std::vector<ByteVector> LargeValuePointers(DatabaseFile& db) {
  std::vector<ByteVector> found;
  for (const auto& [key, pages] : db.dataPages) {
    if (key >= 0 && key < 100) continue;
    for (const PageEntry& entry : pages) {
      auto page = db.ReadDataPage(entry.Page());
      if (!page) continue;
      for (const auto& record : page->records) {
        if (!record || record->invalid) continue;
        for (const VarValue& value : record->varValues)
          if (value.complex && (IsTextPointer(value.bytes) || IsInRowRoot(value.bytes))) found.push_back(value.bytes);
      }
    }
  }
  return found;
}

class LargeObjectsRealTest : public EngineTest {
 protected:
  // The text of every pointer in the user tables of a fixture.
  std::vector<std::u16string> Values(const std::string& file, LobFlags flags) {
    auto db = DatabaseFile::Open(RealFixture(file).string(), 0, nullptr);
    EXPECT_TRUE(db->opened) << file;
    PageContext page{nullptr, db.get(), nullptr};
    std::vector<std::u16string> texts;
    for (const ByteVector& pointer : LargeValuePointers(*db))
      texts.push_back(IsTextPointer(pointer) ? ReadTextPointer(pointer, page, flags)
                                             : ReadInRowRoot(pointer, page, flags));
    return texts;
  }
};

TEST_F(LargeObjectsRealTest, EveryPointerInTheUserTablesLeadsToData) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::map<std::string, std::size_t> expected = {
      {"sql2000_northwind.mdf", 39},   {"sql2008_northwind_junktail.mdf", 39},
      {"sql2008r2_northwind.mdf", 39}, {"sql2005_pubs.mdf", 16},
      {"sql2008_pubs.mdf", 16},        {"sql2014_pubs.mdf", 16},
      {"sql2008_reportserver.mdf", 5}, {"sql2008r2_aspnetdb.mdf", 1}};
  for (const std::filesystem::path& path : RealFixtureFiles()) {
    const std::string file = path.filename().string();
    auto db = DatabaseFile::Open(path.string(), 0, nullptr);
    PageContext page{nullptr, db.get(), nullptr};
    std::vector<ByteVector> pointers = LargeValuePointers(*db);
    EXPECT_EQ(pointers.size(), expected.contains(file) ? expected.at(file) : 0u) << file;
    for (const ByteVector& pointer : pointers) {
      if (IsTextPointer(pointer)) {
        std::u16string hex = ReadTextPointer(pointer, page, kBinary);
        EXPECT_TRUE(hex != u" " && hex.size() % 2 == 0) << file;
        continue;
      }
      // Collect mode gathers the bytes whose hex the text shows.
      LobChunks chunks;
      ReadInRowRoot(pointer, page, kBinary, &chunks);
      Bytes joined;
      for (const ByteVector& chunk : chunks) joined.insert(joined.end(), chunk.begin(), chunk.end());
      EXPECT_FALSE(joined.empty()) << file;
      EXPECT_EQ(Utf8(ReadInRowRoot(pointer, page, kBinary)), Hex(joined)) << file;
    }
  }
}

TEST_F(LargeObjectsRealTest, PubsPublisherTextsAreWholeInEveryVersion) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::u16string prefix = u"This is sample text data for ";
  std::vector<std::u16string> first;
  for (const char* file : {"sql2005_pubs.mdf", "sql2008_pubs.mdf", "sql2014_pubs.mdf"}) {
    std::vector<std::u16string> prInfo;
    for (const std::u16string& text : Values(file, kText))
      if (text.starts_with(prefix)) prInfo.push_back(text);
    ASSERT_EQ(prInfo.size(), 8u) << file;
    // New Moon Books's text fills more than eight data fragments under a root and an internal fragment.
    const std::u16string& longest =
        *std::max_element(prInfo.begin(), prInfo.end(), [](auto& a, auto& b) { return a.size() < b.size(); });
    EXPECT_EQ(longest.size(), 65071u) << file;
    EXPECT_TRUE(
        longest.starts_with(u"This is sample text data for New Moon Books, publisher 0736 in the pubs "
                            u"database. New Moon Books is located in Boston, Massachusetts."))
        << file;
    if (first.empty()) first = prInfo;
    EXPECT_EQ(prInfo, first) << file;
  }
}

TEST_F(LargeObjectsRealTest, NorthwindCategoriesAndEmployeesReadWhole) {
  QM_REQUIRE_REAL_FIXTURES();
  const std::vector<std::string> descriptions = {"Soft drinks, coffees, teas, beers, and ales",
                                                 "Sweet and savory sauces, relishes, spreads, and seasonings",
                                                 "Desserts, candies, and sweet breads",
                                                 "Cheeses",
                                                 "Breads, crackers, pasta, and cereal",
                                                 "Prepared meats",
                                                 "Dried fruit and bean curd",
                                                 "Seaweed and fish"};
  for (const char* file : {"sql2000_northwind.mdf", "sql2008_northwind_junktail.mdf", "sql2008r2_northwind.mdf"}) {
    std::vector<std::string> ntext;
    for (const std::u16string& text : Values(file, kUnicode)) ntext.push_back(Utf8(text));
    for (const std::string& description : descriptions)
      EXPECT_NE(std::find(ntext.begin(), ntext.end(), description), ntext.end()) << file << ": " << description;
    // Category pictures and employee photos are OLE objects (header 15 1C 2F 00) of several data fragments.
    std::multiset<std::size_t> oleSizes;
    for (const std::u16string& hex : Values(file, kBinary))
      if (hex.starts_with(u"151C2F00")) oleSizes.insert(hex.size() / 2);
    EXPECT_EQ(oleSizes.count(10746), 8u) << file << ": category pictures";
    EXPECT_EQ(oleSizes.count(21626) + oleSizes.count(21722), 9u) << file << ": employee photos";
  }
}

TEST_F(LargeObjectsRealTest, ReportServerKeepsNtextInAnInRowRoot) {
  QM_REQUIRE_REAL_FIXTURES();
  std::vector<std::string> texts;
  for (const std::u16string& text : Values("sql2008_reportserver.mdf", kUnicode)) texts.push_back(Utf8(text));
  EXPECT_EQ(
      std::count_if(texts.begin(), texts.end(),
                    [](const std::string& text) { return text.starts_with("<Policies><Policy><GroupUserName>"); }),
      2);
}

}  // namespace
}  // namespace quillmark::testing
