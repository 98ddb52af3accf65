#pragma once

#include <QString>

namespace xcpy {

// The run log X.log: what batch files were written and what copies were run.
class RunLog {
public:
    virtual ~RunLog() = default;

    virtual void LogLine(const QString& text) = 0;
    virtual void LogPath(const QString& path) = 0;
    virtual void LogOption(bool on) = 0;
};

} // namespace xcpy
