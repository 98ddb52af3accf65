#pragma once

#include "companions/run_log.h"

#include <QFile>

namespace xcpy {

// Appends one UTF-8 line per entry: local time stamp, tab, text. A log that cannot be
// written loses its lines and never stops the program.
class FileRunLog : public RunLog {
public:
    void LogLine(const QString& text) override;
    void LogPath(const QString& path) override;
    void LogOption(bool on) override;

private:
    QFile file_;
    bool on_ = false;
};

} // namespace xcpy
