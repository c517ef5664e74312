// Shared set-up of the engine tests: the settings start from their initial
// values in every test, and pages can be built straight from fixture bytes.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/AppSettings.h"
#include "engine/DatabaseFile.h"
#include "engine/PageBuffer.h"
#include "builder/FixtureBuilder.h"

namespace quillmark::testing {

inline PageBuffer BufferOf(const Bytes& page) {
  PageBuffer buffer = AllocatePageBuffer();
  std::copy_n(page.begin(), std::min(page.size(), kPageSize), buffer.get());
  return buffer;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { Reset(); }

 private:
  static void Reset() {
    ResetSettings();
    DatabaseFile::SetSnapshotLoader(nullptr);
  }
};

}  // namespace quillmark::testing
