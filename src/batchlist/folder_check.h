#pragma once

#include "batchlist/batch_entry.h"

#include <QString>

#include <cstdint>

namespace xcpy {

struct DriveFacts;

// What a test of one folder text found.
struct FolderVerdict {
    enum class State : std::uint8_t {
        Listable,     // an existing directory that this process may list
        Empty,        // no text at all
        Missing,      // nothing of that name
        FileInTheWay, // a file stands where the folder, or a folder above it, should be
        Unreadable,   // there, or maybe there, but this process may not list or look into it
        NoAnswer,     // no answer in time: a share or drive that stopped answering
    };
    State state = State::NoAnswer;
    // A drive the folder lies on that is not there: the mount folder with no drive in it, or the
    // system table's mount point that is not mounted. Empty when the drive is there.
    QString missingDrive;
    bool driveFromFstab = false;

    bool listable() const { return state == State::Listable; }
};

// Tests `text` as a folder. Listable only for an existing directory that this process may list;
// trailing separators do not matter; a text holding a NUL character names no folder (Missing).
// Its drive is judged from `drives` by the rule the command interpreter refuses a destination
// by. Never throws, never reports.
FolderVerdict examineFolder(const QString& text, const DriveFacts& drives);

// What the tests of a copy pair's two folders found.
struct PairVerdict {
    FolderVerdict source;
    FolderVerdict destination;

    // OK only when both folders are listable; a drive the copy would refuse leaves it as it is.
    CheckMark mark() const;
    // Which folder is a problem and why, one line each, in the user's words: also for a pair
    // marked OK whose destination drive is not there, and for a destination that the copy will
    // make. Empty when there is nothing to say.
    QString notes() const;
};

} // namespace xcpy
