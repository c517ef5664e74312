// Collects the rows of the system tables and turns them into allocation units,
// each table's rows in the order of its clustered key, as SQL Server keeps them.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "builder/DatabasePlan.h"
#include "builder/SystemTableLayouts.h"

namespace quillmark::testing {

// The placement key of a system table's unit: its allocation unit id in 2005
// and later (index id in bits 48-63, object id in bits 16-47).
std::int64_t SystemUnitKey(Layout layout, const SystemTable& table);

class SystemRows {
 public:
  explicit SystemRows(Layout layout) : layout_(layout) {}

  // Values in column id order; a ghost row is a deleted one left on the page.
  void Add(std::int32_t tableId, Row values, bool ghost = false);
  // One unit per system table of the layout, in object id order.
  std::vector<UnitImage> Units() const;

 private:
  struct Entry {
    Row values;
    bool ghost;
  };
  Layout layout_;
  std::map<std::int32_t, std::vector<Entry>> rows_;
};

// Writes the rows of every system table of a layout, in one order for both:
// the file table, the types, the system tables themselves, the user tables
// with their constraints, the modules.
class CatalogWriter {
 public:
  CatalogWriter(Layout layout, const DatabasePlan& plan, const Placements& placements);
  virtual ~CatalogWriter() = default;
  std::vector<UnitImage> Units();

 protected:
  virtual void AddTypes() = 0;
  virtual void AddSystemTable(const SystemTable& table) = 0;
  virtual void AddUserTable(const PlannedTable& table) = 0;
  virtual void AddModule(const PlannedModule& module) = 0;

  const DatabasePlan& plan_;
  const Placements& placements_;
  SystemRows rows_;
  std::int32_t collation_;

 private:
  Layout layout_;
  // The file table (the same in both layouts): the primary file, the log file
  // and the secondary files, unless fileTableRows is off.
  void AddFileRows();
};

}  // namespace quillmark::testing
