#pragma once

#include <QString>

namespace xcpy {

// Result of the folder check made when a row is created; shown only, never read back.
enum class CheckMark { OK, NG };

// Key of the mark's picture ("OK" or "NG").
inline QString checkMarkKey(CheckMark mark) {
    return mark == CheckMark::OK ? QStringLiteral("OK") : QStringLiteral("NG");
}

// One row of the batch list: a copy pair, texts exactly as typed, picked or read.
struct BatchEntry {
    QString source;
    QString destination;
    CheckMark mark = CheckMark::NG;
    // What the folder test found beyond the mark, one line per finding, for the row's tooltip.
    QString notes{};
};

} // namespace xcpy
