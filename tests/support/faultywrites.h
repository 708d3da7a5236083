#pragma once

// Writes that fail as on a full or failing disk. While set, every write(2)
// to a file whose path begins with the given prefix fails with the given
// error (ENOSPC, EIO, ...); a file written beside its target and renamed
// over it ("name.XXXXXX") begins with the target's path, so it fails too.
// Linking this stands in for the C library's write in the whole test
// program, Qt's own writes included.

#include <QString>

namespace FaultyWrites {
void failWritesTo(const QString &pathPrefix, int error);
void stop();

// For the scope of one test step.
struct Scope
{
    Scope(const QString &pathPrefix, int error) { failWritesTo(pathPrefix, error); }
    ~Scope() { stop(); }
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;
};
} // namespace FaultyWrites
