// The secondary data files (.ndf) of a database: found in the primary file's
// folder whatever folder the file table records, registered in the file set,
// and their pages indexed into the page maps.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "catalog/CatalogModel.h"

namespace quillmark {

class DatabaseFile;

// With file-table rows, rewrites each secondary row's physical name to the
// expected path and indexes the files it names (list mode); without any, indexes
// every .ndf file of the folder (search mode). In snapshot mode the page maps
// already hold the secondary files' pages: the files are registered only.
void CheckSecondaryFiles(std::vector<CatalogFile>& files, DatabaseFile& database, const std::string& primaryPath);

// Where a file-table row's secondary file is expected: the primary file's folder,
// the stored name's stem and ".ndf". Empty when the stored name has no usable
// last component.
std::filesystem::path ExpectedSecondaryPath(const std::filesystem::path& folder, const std::u16string& storedName);

}  // namespace quillmark
