// SQL Server's binary XML back to XML text. The stream has no end token and no
// tree: a run of tokens, each one byte, some followed by a payload. Names are
// defined once into a name table (strings) and a qname table (namespace,
// prefix, local name) and referred to by index from then on.
#include "values/XmlDecoder.h"

#include <deque>
#include <new>
#include <optional>
#include <string_view>
#include <unordered_map>

#include "values/BinaryXmlReader.h"
#include "values/XmlDecoderLimits.h"
#include "values/XmlTextOut.h"
#include "values/XmlTypedValues.h"

namespace quillmark {

namespace binxml {

namespace {

// Metadata: may stand wherever an item may start.
constexpr std::uint8_t kFlushNames = 0xE9;  // empties both tables
constexpr std::uint8_t kExtension = 0xEA;   // opaque bytes to skip
constexpr std::uint8_t kQNameDef = 0xEF;    // three name indexes: namespace, prefix, local name
constexpr std::uint8_t kNameDef = 0xF0;     // a string
// Items.
constexpr std::uint8_t kEndNest = 0xEB;
constexpr std::uint8_t kNest = 0xEC;    // a whole document, header included
constexpr std::uint8_t kRawXml = 0xED;  // markup, written as it is
constexpr std::uint8_t kEndCData = 0xF1;
constexpr std::uint8_t kCData = 0xF2;
constexpr std::uint8_t kComment = 0xF3;
constexpr std::uint8_t kPi = 0xF4;  // a target from the name table, then the data
constexpr std::uint8_t kEndAttributes = 0xF5;
constexpr std::uint8_t kAttribute = 0xF6;
constexpr std::uint8_t kEndElement = 0xF7;
constexpr std::uint8_t kElement = 0xF8;
constexpr std::uint8_t kSubset = 0xF9;
constexpr std::uint8_t kPublic = 0xFA;
constexpr std::uint8_t kSystem = 0xFB;
constexpr std::uint8_t kDoctype = 0xFC;
constexpr std::uint8_t kEncoding = 0xFD;
constexpr std::uint8_t kXmlDecl = 0xFE;

constexpr std::u16string_view kXmlNamespace = u"http://www.w3.org/XML/1998/namespace";
constexpr std::u16string_view kXmlnsNamespace = u"http://www.w3.org/2000/xmlns/";

// A string of a name table, and whether it can be written as a name: judged
// once, where it is defined, however often it is used.
struct NameText {
  std::u16string text;
  bool isName = false;
};
using Name = const NameText*;

struct QName {
  std::u16string_view ns;
  std::u16string_view prefix;
  std::u16string_view local;
  bool writable = false;  // the local name, and the prefix if any, are names
};

// The tables a document defines as it goes; a nested document has its own.
struct Tables {
  std::vector<Name> names;    // index 0 is the empty name
  std::vector<QName> qnames;  // index 0 is never valid
};

// Values in a row read as one text: strings join as they are, anything else
// with one space between.
struct ValueRun {
  std::u16string text;
  std::size_t count = 0;
  bool lastIsString = false;
  bool onlyUnicodeText = true;
};

// A prefix and the namespace a name in a start tag needs it bound to.
struct NamespaceUse {
  std::u16string_view prefix;
  std::u16string_view uri;
};

struct Binding {
  std::u16string_view uri;
  std::size_t depth;  // of the element that made it; 0 for the built-in ones
};

// An open element, or an open nested document.
struct Frame {
  bool nest = false;
  QName name;
  std::vector<std::u16string_view> bound;  // the prefixes the element bound
  Tables parentTables;                     // a nested document's parent's tables
};

// What may still come before a document's content: the XML declaration only
// first, the document type only before anything but comments and PIs.
enum class Prolog { Declaration, Doctype, Closed };

class Decoder {
 public:
  Decoder(ByteSpan bytes, std::size_t maxUnits);
  std::u16string Run();

 private:
  void StartDocument();
  void ResetTables();
  std::optional<std::uint8_t> PeekToken();
  std::optional<std::uint8_t> NextToken();
  void Metadata(std::uint8_t token);
  void AdvanceProlog(std::uint8_t token);
  void Item(std::uint8_t token);

  Name NameAt(std::uint32_t index) const;
  QName QNameAt(std::uint32_t index) const;
  void WriteName(const QName& name);
  void WriteAttribute(std::u16string_view prefix, std::u16string_view local, std::u16string_view value);
  void Literal(std::u16string_view lead, std::u16string_view value);

  void StartElement();
  void Attributes(std::vector<NamespaceUse>& uses);
  void Declare(std::u16string_view attribute, const ValueRun& value);
  void FixNamespaces(const std::vector<NamespaceUse>& uses);
  std::optional<std::u16string_view> Lookup(std::u16string_view prefix) const;
  void Bind(std::u16string_view prefix, std::u16string_view uri);
  void EndElement();
  void CloseElement();

  void Value(std::uint8_t token, ValueRun& run, std::vector<NamespaceUse>* uses);
  std::u16string QNameValue(std::vector<NamespaceUse>* uses);
  void FlushText();
  void Comment();
  void ProcessingInstruction();
  void CData();
  void RawXml();
  std::optional<std::u16string> OptionalText(std::uint8_t token);
  void XmlDeclaration();
  void Doctype();
  void Nest();
  void EndNest();

  Reader in_;
  TextOut out_;
  // Every name and declared namespace, the empty name first. It only grows,
  // so the tables and scopes can point into it.
  std::deque<NameText> strings_;
  Tables tables_;
  std::vector<Frame> stack_;
  std::size_t nests_ = 0;
  Prolog prolog_ = Prolog::Declaration;
  ValueRun text_;  // the text node being read
  std::unordered_map<std::u16string_view, std::vector<Binding>> scopes_;
};

Decoder::Decoder(ByteSpan bytes, std::size_t maxUnits) : in_(bytes), out_(maxUnits), strings_(1) {
  scopes_[u""] = {{u"", 0}};
  scopes_[u"xml"] = {{kXmlNamespace, 0}};
  scopes_[u"xmlns"] = {{kXmlnsNamespace, 0}};
}

// The stream ends where the bytes end; anything still open means it was cut.
std::u16string Decoder::Run() {
  StartDocument();
  while (std::optional<std::uint8_t> token = NextToken()) Item(*token);
  if (!stack_.empty()) Fail();
  FlushText();
  return out_.Take();
}

void Decoder::StartDocument() {
  in_.Header();
  ResetTables();
  prolog_ = Prolog::Declaration;
}

void Decoder::ResetTables() {
  tables_.names.assign(1, &strings_.front());
  tables_.qnames.assign(1, QName{});
}

// The next item's token, with the metadata before it applied.
std::optional<std::uint8_t> Decoder::PeekToken() {
  while (!in_.AtEnd()) {
    std::uint8_t token = in_.Peek();
    if (token != kNameDef && token != kQNameDef && token != kExtension && token != kFlushNames) return token;
    in_.Byte();
    Metadata(token);
  }
  return std::nullopt;
}

std::optional<std::uint8_t> Decoder::NextToken() {
  std::optional<std::uint8_t> token = PeekToken();
  if (token) in_.Byte();
  return token;
}

void Decoder::Metadata(std::uint8_t token) {
  if (token == kNameDef) {
    std::u16string text = in_.TextData();
    bool isName = IsNameText(text);
    tables_.names.push_back(&strings_.emplace_back(NameText{std::move(text), isName}));
  } else if (token == kQNameDef) {
    Name ns = NameAt(in_.Mb32());
    Name prefix = NameAt(in_.Mb32());
    Name local = NameAt(in_.Mb32());
    bool writable = local->isName && (prefix->text.empty() || prefix->isName);
    tables_.qnames.push_back({ns->text, prefix->text, local->text, writable});
  } else if (token == kExtension) {
    in_.Take(in_.Mb32());
  } else {
    ResetTables();
  }
}

void Decoder::AdvanceProlog(std::uint8_t token) {
  if (token == kXmlDecl) {
    if (prolog_ != Prolog::Declaration) Fail();
    prolog_ = Prolog::Doctype;
  } else if (token == kDoctype) {
    if (prolog_ == Prolog::Closed) Fail();
    prolog_ = Prolog::Closed;
  } else if (token == kComment || token == kPi) {
    if (prolog_ == Prolog::Declaration) prolog_ = Prolog::Doctype;
  } else {
    prolog_ = Prolog::Closed;
  }
}

void Decoder::Item(std::uint8_t token) {
  AdvanceProlog(token);
  if (IsAtomicToken(token)) return Value(token, text_, nullptr);
  FlushText();
  switch (token) {
    case kElement:
      return StartElement();
    case kEndElement:
      return EndElement();
    case kComment:
      return Comment();
    case kPi:
      return ProcessingInstruction();
    case kCData:
      return CData();
    case kRawXml:
      return RawXml();
    case kXmlDecl:
      return XmlDeclaration();
    case kDoctype:
      return Doctype();
    case kNest:
      return Nest();
    case kEndNest:
      return EndNest();
  }
  Fail();
}

// Every reference must name an entry already defined.
Name Decoder::NameAt(std::uint32_t index) const {
  if (index >= tables_.names.size()) Fail();
  return tables_.names[index];
}

QName Decoder::QNameAt(std::uint32_t index) const {
  if (index == 0 || index >= tables_.qnames.size()) Fail();
  return tables_.qnames[index];
}

void Decoder::WriteName(const QName& name) {
  if (!name.writable) Fail();
  if (!name.prefix.empty()) {
    out_.Raw(name.prefix);
    out_.Raw(u':');
  }
  out_.Raw(name.local);
}

void Decoder::WriteAttribute(std::u16string_view prefix, std::u16string_view local, std::u16string_view value) {
  out_.Raw(u' ');
  if (!prefix.empty()) {
    out_.Raw(prefix);
    out_.Raw(u':');
  }
  out_.Raw(local);
  out_.Raw(u"=\"");
  out_.AttributeValue(value);
  out_.Raw(u'"');
}

// A quoted literal of the declaration or the document type, where no escape
// can stand.
void Decoder::Literal(std::u16string_view lead, std::u16string_view value) {
  if (value.find(u'"') != std::u16string_view::npos || HasIllegalCharacter(value)) Fail();
  out_.Raw(lead);
  out_.Raw(u'"');
  out_.Raw(value);
  out_.Raw(u'"');
}

// F8 qname, attributes closed by F5 only when there are any, content, F7. An
// F7 right after the start tag makes an empty element.
void Decoder::StartElement() {
  if (stack_.size() >= kMaxXmlDepth) Fail();
  QName name = QNameAt(in_.Mb32());
  out_.Raw(u'<');
  WriteName(name);
  stack_.emplace_back().name = name;
  std::vector<NamespaceUse> uses{{name.prefix, name.ns}};
  if (PeekToken() == kAttribute) Attributes(uses);
  FixNamespaces(uses);
  if (PeekToken() != kEndElement) return out_.Raw(u'>');
  in_.Byte();
  out_.Raw(u"/>");
  CloseElement();
}

// Each F6 qname is followed by its values (none means ""); F5 ends the list.
void Decoder::Attributes(std::vector<NamespaceUse>& uses) {
  std::optional<std::uint8_t> token = NextToken();
  while (token == kAttribute) {
    QName name = QNameAt(in_.Mb32());
    ValueRun value;
    while ((token = NextToken()) && IsAtomicToken(*token)) Value(*token, value, &uses);
    if (name.ns.empty() && name.local.empty()) {
      Declare(name.prefix, value);
      continue;
    }
    // An unprefixed attribute is in no namespace.
    if (!name.writable || (name.prefix.empty() && !name.ns.empty())) Fail();
    if (!name.prefix.empty()) uses.push_back({name.prefix, name.ns});
    WriteAttribute(name.prefix, name.local, value.text);
  }
  if (token != kEndAttributes) Fail();
}

// A namespace declaration is an attribute whose namespace and local name are
// both empty and whose prefix is the whole attribute name: "xmlns" or
// "xmlns:p". Its value is one Unicode string, empty only for "xmlns".
void Decoder::Declare(std::u16string_view attribute, const ValueRun& value) {
  if (value.count > 1 || !value.onlyUnicodeText) Fail();
  std::u16string_view prefix;
  if (attribute.starts_with(u"xmlns:")) {
    prefix = attribute.substr(6);
    if (!IsNameText(prefix) || value.text.empty()) Fail();
  } else if (attribute != u"xmlns") {
    Fail();
  }
  Bind(prefix, strings_.emplace_back(NameText{value.text}).text);
  WriteAttribute(u"", attribute, value.text);
}

// Names carry their namespace, and the stream may leave out the declarations
// text XML needs for them. Declare every prefix whose binding in scope differs,
// the empty prefix too (xmlns="" under a default namespace).
void Decoder::FixNamespaces(const std::vector<NamespaceUse>& uses) {
  for (const auto& [prefix, uri] : uses) {
    if (prefix == u"xml" || prefix == u"xmlns" || Lookup(prefix) == uri) continue;
    if (!prefix.empty() && uri.empty()) Fail();  // a prefix cannot be bound to no namespace
    Bind(prefix, uri);
    if (prefix.empty())
      WriteAttribute(u"", u"xmlns", uri);
    else
      WriteAttribute(u"xmlns", prefix, uri);
  }
}

std::optional<std::u16string_view> Decoder::Lookup(std::u16string_view prefix) const {
  auto found = scopes_.find(prefix);
  if (found == scopes_.end() || found->second.empty()) return std::nullopt;
  return found->second.back().uri;
}

// `prefix` and `uri` point into strings_ or at constants: they outlive the scope.
void Decoder::Bind(std::u16string_view prefix, std::u16string_view uri) {
  std::vector<Binding>& bindings = scopes_[prefix];
  if (!bindings.empty() && bindings.back().depth == stack_.size()) Fail();  // bound twice in one start tag
  bindings.push_back({uri, stack_.size()});
  stack_.back().bound.push_back(prefix);
}

void Decoder::EndElement() {
  if (stack_.empty() || stack_.back().nest) Fail();
  out_.Raw(u"</");
  WriteName(stack_.back().name);
  out_.Raw(u'>');
  CloseElement();
}

void Decoder::CloseElement() {
  for (std::u16string_view prefix : stack_.back().bound) scopes_[prefix].pop_back();
  stack_.pop_back();
}

// Every atomic value in content is text. `uses` is given while a start tag is
// still open, so that the prefix of a qname value can be declared on it.
void Decoder::Value(std::uint8_t token, ValueRun& run, std::vector<NamespaceUse>* uses) {
  bool isString = IsStringToken(token);
  std::u16string text = token == kQNameValue ? QNameValue(uses) : ReadAtomicText(token, in_);
  if (run.count > 0 && !(isString && run.lastIsString)) text.insert(text.begin(), u' ');
  out_.CheckRoom(run.text.size() + text.size());
  run.text += text;
  ++run.count;
  run.lastIsString = isString;
  run.onlyUnicodeText = run.onlyUnicodeText && IsUnicodeTextToken(token);
}

std::u16string Decoder::QNameValue(std::vector<NamespaceUse>* uses) {
  QName name = QNameAt(in_.Mb32());
  if (!name.writable) Fail();
  if (uses && !name.prefix.empty()) uses->push_back({name.prefix, name.ns});
  std::u16string text(name.prefix);
  if (!text.empty()) text += u':';
  return text.append(name.local);
}

void Decoder::FlushText() {
  if (text_.count == 0) return;
  out_.Text(text_.text);
  text_ = ValueRun();
}

// Comments, PIs and CDATA are written verbatim: nothing can be escaped in them,
// so text that would end them early means damage.
void Decoder::Comment() {
  std::u16string text = in_.TextData();
  if (HasIllegalCharacter(text) || text.find(u"--") != std::u16string::npos || text.ends_with(u'-')) Fail();
  out_.Raw(u"<!--");
  out_.Raw(text);
  out_.Raw(u"-->");
}

void Decoder::ProcessingInstruction() {
  Name target = NameAt(in_.Mb32());
  std::u16string data = in_.TextData();
  if (!target->isName || HasIllegalCharacter(data) || data.find(u"?>") != std::u16string::npos) Fail();
  out_.Raw(u"<?");
  out_.Raw(target->text);
  if (!data.empty()) {
    out_.Raw(u' ');
    out_.Raw(data);
  }
  out_.Raw(u"?>");
}

// One or more F2 chunks, closed by F1, make one section. A "]]>" inside is
// split across two sections.
void Decoder::CData() {
  std::u16string text = in_.TextData();
  std::optional<std::uint8_t> token;
  while ((token = NextToken()) == kCData) text += in_.TextData();
  if (token != kEndCData || HasIllegalCharacter(text)) Fail();
  std::u16string_view rest = text;
  out_.Raw(u"<![CDATA[");
  for (std::size_t end; (end = rest.find(u"]]>")) != std::u16string_view::npos; rest.remove_prefix(end + 2)) {
    out_.Raw(rest.substr(0, end + 2));
    out_.Raw(u"]]><![CDATA[");
  }
  out_.Raw(rest);
  out_.Raw(u"]]>");
}

void Decoder::RawXml() {
  std::u16string markup = in_.TextData();
  if (HasIllegalCharacter(markup)) Fail();
  out_.Raw(markup);
}

std::optional<std::u16string> Decoder::OptionalText(std::uint8_t token) {
  if (in_.AtEnd() || in_.Peek() != token) return std::nullopt;
  in_.Byte();
  return in_.TextData();
}

// FE version [FD encoding] standalone (0 absent, 1 yes, 2 no). A nested
// document's declaration is read and dropped.
void Decoder::XmlDeclaration() {
  std::u16string version = in_.TextData();
  std::optional<std::u16string> encoding = OptionalText(kEncoding);
  std::uint8_t standalone = in_.Byte();
  if (standalone > 2) Fail();
  if (nests_ > 0) return;
  out_.Raw(u"<?xml");
  Literal(u" version=", version);
  if (encoding) Literal(u" encoding=", *encoding);
  if (standalone != 0) Literal(u" standalone=", standalone == 1 ? u"yes" : u"no");
  out_.Raw(u"?>");
}

// FC name [FB system] [FA public] [F9 subset], in that order; text puts the
// public id first. A nested document's doctype is read and dropped.
void Decoder::Doctype() {
  std::u16string name = in_.TextData();
  std::optional<std::u16string> system = OptionalText(kSystem);
  std::optional<std::u16string> publicId = OptionalText(kPublic);
  std::optional<std::u16string> subset = OptionalText(kSubset);
  if (nests_ > 0) return;
  if (!IsNameText(name)) Fail();
  out_.Raw(u"<!DOCTYPE ");
  out_.Raw(name);
  if (publicId) Literal(u" PUBLIC ", *publicId);
  if (system) Literal(publicId ? u" " : u" SYSTEM ", *system);
  if (subset) {
    if (HasIllegalCharacter(*subset)) Fail();
    out_.Raw(u" [");
    out_.Raw(*subset);
    out_.Raw(u']');
  }
  out_.Raw(u'>');
}

// EC starts a whole document, header and all, written in place; it has tables
// of its own until EB and shares the namespaces in scope.
void Decoder::Nest() {
  if (stack_.size() >= kMaxXmlDepth) Fail();
  Frame& frame = stack_.emplace_back();
  frame.nest = true;
  frame.parentTables = std::move(tables_);
  ++nests_;
  StartDocument();
}

void Decoder::EndNest() {
  if (stack_.empty() || !stack_.back().nest) Fail();
  tables_ = std::move(stack_.back().parentTables);
  stack_.pop_back();
  --nests_;
}

}  // namespace

std::u16string Decode(ByteSpan bytes, std::size_t maxTextBytes) {
  try {
    return Decoder(bytes, maxTextBytes / sizeof(char16_t)).Run();
  } catch (const std::exception&) {  // Malformed, or out of memory
    return {};
  }
}

std::u16string DecodeChunks(std::vector<ByteVector>& chunks, std::size_t maxBytes) {
  std::uint64_t total = 0;
  for (const ByteVector& chunk : chunks) total += chunk.size();
  bool wanted = total > 0 && total <= maxBytes;
  ByteVector joined;
  try {
    if (wanted) joined.reserve(total);
  } catch (const std::bad_alloc&) {
    wanted = false;
  }
  for (ByteVector& chunk : chunks) {
    if (wanted) joined.insert(joined.end(), chunk.begin(), chunk.end());
    ByteVector().swap(chunk);
  }
  return wanted ? Decode(joined, maxBytes) : std::u16string();
}

}  // namespace binxml

std::u16string DecodeXmlValue(ByteSpan bytes) { return binxml::Decode(bytes, binxml::kMaxXmlBytes); }

std::u16string DecodeXmlChunks(std::vector<ByteVector>& chunks) {
  return binxml::DecodeChunks(chunks, binxml::kMaxXmlBytes);
}

}  // namespace quillmark
