#include "builder/SystemTableLayouts.h"

#include <algorithm>
#include <stdexcept>

namespace quillmark::testing {
namespace {

using namespace sqltype;

SystemColumn Field(std::string name, std::uint8_t type, std::int16_t offset, std::int16_t length = 0) {
  return SystemColumn{name, TypeOf(Column(name, type, length)), offset};
}

SystemColumn Nullable(SystemColumn column) {
  column.nullable = true;
  return column;
}

// sysname: nvarchar(128).
SystemColumn Name(std::string name = "name") {
  SystemColumn column = Field(std::move(name), kNVarChar, -1, 256);
  column.userType = kSysnameType;
  return column;
}

std::vector<SystemTable> Tables2005() {
  return {
      {systable::kSysRsCols, "sysrscols", 50, 0, 0,
       {Field("rsid", kBigInt, 0), Field("rscolid", kInt, 8), Field("hbcolid", kInt, 12),
        Field("rcmodified", kBigInt, 16), Field("ti", kInt, 24), Field("cid", kInt, 28),
        Field("ordkey", kSmallInt, 32), Field("maxinrowlen", kSmallInt, 34), Field("status", kInt, 36),
        Field("offset", kInt, 40), Field("nullbit", kInt, 44), Field("bitpos", kSmallInt, 48),
        Nullable(Field("colguid", kVarBinary, -1, 16))}},
      {systable::kSysRowsets, "sysrowsets", 53, 0, 0,
       {Field("rowsetid", kBigInt, 0), Field("ownertype", kTinyInt, 8), Field("idmajor", kInt, 9),
        Field("idminor", kInt, 13), Field("numpart", kInt, 17), Field("status", kInt, 21),
        Field("fgidfs", kSmallInt, 25), Field("rcrows", kBigInt, 27), Field("cmprlevel", kTinyInt, 35),
        Field("fillfact", kTinyInt, 36), Field("maxnullbit", kSmallInt, 37), Field("maxleaf", kInt, 39),
        Field("maxint", kSmallInt, 43), Field("minleaf", kSmallInt, 45), Field("minint", kSmallInt, 47),
        Nullable(Field("rsguid", kVarBinary, -1, 16)), Nullable(Field("lockres", kVarBinary, -1, 8)),
        Nullable(Field("scope_id", kInt, 49))}},
      {systable::kSysAllocUnits, "sysallocunits", 65, 0, 0,
       {Field("auid", kBigInt, 0), Field("type", kTinyInt, 8), Field("ownerid", kBigInt, 9),
        Field("status", kInt, 17), Field("fgid", kSmallInt, 21), Field("pgfirst", kBinary, 23, 6),
        Field("pgroot", kBinary, 29, 6), Field("pgfirstiam", kBinary, 35, 6), Field("pcused", kBigInt, 41),
        Field("pcdata", kBigInt, 49), Field("pcreserved", kBigInt, 57)}},
      {systable::kSysFiles, "sysfiles1", 782, 0, 0,
       {Field("status", kInt, 0), Field("fileid", kSmallInt, 4), Field("name", kNChar, 6, 256),
        Field("filename", kNChar, 262, 520)}},
      {systable::kSysSchObjs, "sysschobjs", 44, 1, 1,
       {Field("id", kInt, 0), Name(), Field("nsid", kInt, 4), Field("nsclass", kTinyInt, 8),
        Field("status", kInt, 9), Field("type", kChar, 13, 2), Field("pid", kInt, 15),
        Field("pclass", kTinyInt, 19), Field("intprop", kInt, 20), Field("created", kDateTime, 24),
        Field("modified", kDateTime, 32), Field("status2", kInt, 40)}},
      {systable::kSysColPars, "syscolpars", 41, 1, 1,
       {Field("id", kInt, 0), Field("number", kSmallInt, 4), Field("colid", kInt, 6), Nullable(Name()),
        Field("xtype", kTinyInt, 10), Field("utype", kInt, 11), Field("length", kSmallInt, 15),
        Field("prec", kTinyInt, 17), Field("scale", kTinyInt, 18), Field("collationid", kInt, 19),
        Field("status", kInt, 23), Field("maxinrow", kSmallInt, 27), Field("xmlns", kInt, 29),
        Field("dflt", kInt, 33), Field("chk", kInt, 37), Nullable(Field("idtval", kVarBinary, -1, 64))}},
      {systable::kSysScalarTypes, "sysscalartypes", 45, 1, 1,
       {Field("id", kInt, 0), Field("schid", kInt, 4), Name(), Field("xtype", kTinyInt, 8),
        Field("length", kSmallInt, 9), Field("prec", kTinyInt, 11), Field("scale", kTinyInt, 12),
        Field("collationid", kInt, 13), Field("status", kInt, 17), Field("created", kDateTime, 21),
        Field("modified", kDateTime, 29), Field("dflt", kInt, 37), Field("chk", kInt, 41)}},
      {systable::kSysIdxStats, "sysidxstats", 35, 1, 1,
       {Field("id", kInt, 0), Field("indid", kInt, 4), Nullable(Name()), Field("status", kInt, 8),
        Field("intprop", kInt, 12), Field("fillfact", kTinyInt, 16), Field("type", kTinyInt, 17),
        Field("tinyprop", kTinyInt, 18), Field("dataspace", kInt, 19), Field("lobds", kInt, 23),
        Field("rowset", kBigInt, 27)}},
      {systable::kSysIsCols, "sysiscols", 23, 1, 1,
       {Field("idmajor", kInt, 0), Field("idminor", kInt, 4), Field("subid", kInt, 8), Field("status", kInt, 12),
        Field("intprop", kInt, 16), Field("tinyprop1", kTinyInt, 20), Field("tinyprop2", kTinyInt, 21),
        Field("tinyprop3", kTinyInt, 22)}},
      {systable::kSysObjValues, "sysobjvalues", 13, 1, 1,
       {Field("valclass", kTinyInt, 0), Field("objid", kInt, 1), Field("subobjid", kInt, 5),
        Field("valnum", kInt, 9), Nullable(Field("value", kSqlVariant, -1)),
        Nullable(Field("imageval", kVarBinary, -1, -1))}},
      {systable::kSysSingleObjRefs, "syssingleobjrefs", 21, 1, 1,
       {Field("class", kTinyInt, 0), Field("depid", kInt, 1), Field("depsubid", kInt, 5), Field("indepid", kInt, 9),
        Field("indepsubid", kInt, 13), Field("status", kInt, 17)}},
  };
}

// SQL Server 2000 keeps two bytes free after sysobjects.xtype.
std::vector<SystemTable> Tables2000() {
  return {
      {systable::kSysObjects, "sysobjects", 38, 0, 1,
       {Name(), Field("id", kInt, 0), Field("xtype", kChar, 4, 2), Field("uid", kSmallInt, 8),
        Field("info", kSmallInt, 10), Field("status", kInt, 12), Field("base_schema_ver", kInt, 16),
        Field("replinfo", kInt, 20), Field("parent_obj", kInt, 24), Field("crdate", kDateTime, 28),
        Field("ftcatid", kSmallInt, 36)}},
      {systable::kSysIndexes, "sysindexes", 78, 0, 1,
       {Field("id", kInt, 0), Field("status", kInt, 4), Field("first", kBinary, 8, 6), Field("indid", kSmallInt, 14),
        Field("root", kBinary, 16, 6), Field("minlen", kSmallInt, 22), Field("keycnt", kSmallInt, 24),
        Field("groupid", kSmallInt, 26), Field("dpages", kInt, 28), Field("reserved", kInt, 32),
        Field("used", kInt, 36), Field("rowcnt", kBigInt, 40), Field("rowmodctr", kInt, 48),
        Field("reserved3", kTinyInt, 52), Field("reserved4", kTinyInt, 53), Field("xmaxlen", kSmallInt, 54),
        Field("maxirow", kSmallInt, 56), Field("OrigFillFactor", kTinyInt, 58), Field("StatVersion", kTinyInt, 59),
        Field("reserved2", kInt, 60), Field("FirstIAM", kBinary, 64, 6), Field("impid", kSmallInt, 70),
        Field("lockflags", kSmallInt, 72), Field("pgmodctr", kInt, 74),
        Nullable(Field("keys", kVarBinary, -1, 1088)), Name(), Nullable(Field("statblob", kImage, -1))}},
      {systable::kSysRsCols, "syscolumns", 42, 0, 1,
       {Name(), Field("id", kInt, 0), Field("xtype", kTinyInt, 4), Field("typestat", kTinyInt, 5),
        Field("xusertype", kSmallInt, 6), Field("length", kSmallInt, 8), Field("xprec", kTinyInt, 10),
        Field("xscale", kTinyInt, 11), Field("colid", kSmallInt, 12), Field("xoffset", kSmallInt, 14),
        Field("bitpos", kTinyInt, 16), Field("reserved", kTinyInt, 17), Field("colstat", kSmallInt, 18),
        Field("cdefault", kInt, 20), Field("domain", kInt, 24), Field("number", kSmallInt, 28),
        Field("colorder", kSmallInt, 30), Nullable(Field("autoval", kVarBinary, -1, 8000)),
        Field("offset", kSmallInt, 32), Nullable(Field("collationid", kInt, 34)), Field("language", kInt, 38)}},
      {systable::kSysTypes, "systypes", 24, 0, 1,
       {Name(), Field("xtype", kTinyInt, 0), Field("status", kTinyInt, 1), Field("xusertype", kSmallInt, 2),
        Field("length", kSmallInt, 4), Field("xprec", kTinyInt, 6), Field("xscale", kTinyInt, 7),
        Field("tdefault", kInt, 8), Field("domain", kInt, 12), Field("uid", kSmallInt, 16),
        Field("reserved", kSmallInt, 18), Nullable(Field("collationid", kInt, 20))}},
      {systable::kSysComments, "syscomments", 10, 0, 1,
       {Field("id", kInt, 0), Field("number", kSmallInt, 4), Field("colid", kSmallInt, 6),
        Field("status", kSmallInt, 8), Field("ctext", kVarBinary, -1, 8000)}},
      {systable::kSysFiles, "sysfiles1", 782, 0, 0,
       {Field("status", kInt, 0), Field("fileid", kSmallInt, 4), Field("name", kNChar, 6, 256),
        Field("filename", kNChar, 262, 520)}},
  };
}

}  // namespace

RecordLayout SystemTable::Layout() const {
  RecordLayout layout;
  layout.fixedLength = fixedLength;
  for (const SystemColumn& column : columns) layout.columns.push_back(LayoutColumn{column.type, column.offset});
  return layout;
}

const std::vector<SystemTable>& SystemTables(Layout layout) {
  static const std::vector<SystemTable> modern = Tables2005();
  static const std::vector<SystemTable> legacy = Tables2000();
  return layout == Layout::kSql2000 ? legacy : modern;
}

const SystemTable& SystemTableOf(Layout layout, std::int32_t id) {
  const std::vector<SystemTable>& tables = SystemTables(layout);
  const auto found = std::find_if(tables.begin(), tables.end(), [&](const SystemTable& table) { return table.id == id; });
  if (found == tables.end()) throw std::invalid_argument("no system table " + std::to_string(id));
  return *found;
}

}  // namespace quillmark::testing
