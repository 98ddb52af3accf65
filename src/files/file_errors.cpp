#include "files/file_errors.h"

namespace xcpy {

ErrorInfo errorInfoOf(const FileWriteResult& result) {
    return {result.rowError ? kErrorInvalidText : kErrorFileAccess, result.message};
}

ErrorInfo errorInfoOf(const ListReadError& error) {
    return {error.kind == ListReadError::Kind::Unreadable ? kErrorFileAccess : kErrorBadFileContent,
            error.message};
}

} // namespace xcpy
