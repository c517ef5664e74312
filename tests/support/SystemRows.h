// Collects the rows of the system tables and turns them into allocation units,
// each table's rows in the order of its clustered key, as SQL Server keeps them.
#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "tests/support/DatabasePlan.h"
#include "tests/support/SystemTableLayouts.h"

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

// The file table (the same in both layouts): the primary file, the log file
// and the secondary files, unless the spec asks for none.
void AddFileRows(SystemRows& rows, const DatabasePlan& plan);

}  // namespace quillmark::testing
