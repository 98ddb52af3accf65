#pragma once

#include "companions/prompt_box.h"
#include "files/list_file.h"
#include "files/safe_write.h"

namespace xcpy {

// Error numbers of the error report, after the run-time errors users may know them by.
inline constexpr qint32 kErrorInvalidText = 5;     // a text the file cannot hold
inline constexpr qint32 kErrorFileAccess = 75;     // the file could not be written
inline constexpr qint32 kErrorBadFileContent = 62; // the file could not be read to its end

ErrorInfo errorInfoOf(const FileWriteResult& result);
ErrorInfo errorInfoOf(const ListReadError& error);

} // namespace xcpy
