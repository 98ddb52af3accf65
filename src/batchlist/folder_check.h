#pragma once

#include "batchlist/batch_entry.h"

#include <QString>

namespace xcpy {

// True only when `text` names an existing directory that this process may list. Files, missing
// paths, directories without read permission, unreachable mounts, empty texts and texts holding a
// NUL character give false. Trailing separators do not matter. Never throws, never reports.
bool folderExists(const QString& text);

// Mark of a copy pair: OK only when both folders pass folderExists. Both are always tested.
CheckMark checkFolders(const QString& source, const QString& destination);

} // namespace xcpy
