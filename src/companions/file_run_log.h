#pragma once

#include "companions/run_log.h"

#include <QString>

namespace xcpy {

// Appends one UTF-8 line per entry: local time stamp, tab, text. Each entry opens the file
// anew, so a log that was moved, deleted or could not be written for a while gets the later
// lines. A line that cannot be written whole is lost whole, and never stops the program.
class FileRunLog : public RunLog {
public:
    void LogLine(const QString& text) override;
    void LogPath(const QString& path) override;
    void LogOption(bool on) override;

private:
    QString path_;
    bool on_ = false;
};

} // namespace xcpy
