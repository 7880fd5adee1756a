// The long form of a path written with short 8.3 components, found one
// component at a time by a directory search: how the program expands its
// command line where the system has no service for it. Portable: the search
// is passed in.
#pragma once

#include <cstddef>

// Looks up the entry that query names; on success writes its name as stored
// on disk (NUL-terminated, at most nameSize bytes) and returns true.
using EntryLookup = bool (*)(const char* query, char* name, size_t nameSize);

// Component by component, split at every backslash byte: a component holding a
// colon is kept as it stands with no backslash before it; any other gets a
// backslash and, unless empty, the name that the search of the source up to
// and including it finds, or itself when none is found. A trailing backslash
// is not reproduced. Never writes more than size bytes, the NUL included; a
// long form that does not fit gives the source itself (cut to fit only when
// that does not fit either). Returns the length of the long form when the walk
// resolved the path: it begins with a drive and the search found every later
// component; otherwise 0, and what it wrote is not the path's long form.
int WalkLongPath(const char* source, char* destination, size_t size, EntryLookup lookup);
