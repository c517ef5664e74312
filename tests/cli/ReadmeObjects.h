// The objects the real fixtures' README names, file by file, grouped under the
// keys of `objects --json`.
#pragma once

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace quillmark::testing {

using Names = std::vector<std::string>;

// What the README says one group holds: exactly `names`, or, when it gives a
// number, `count` objects among which `names`.
struct Group {
  std::string key;
  Names names;
  int count = -1;
};

struct FixtureObjects {
  std::string file;
  std::vector<Group> groups;
};

// Every real fixture file with the groups its README section states.
const std::vector<FixtureObjects>& ReadmeObjects();

// Expects the names under `group.key` of `groups` to be what the README says.
void ExpectGroup(const nlohmann::json& groups, const Group& group);

}  // namespace quillmark::testing
