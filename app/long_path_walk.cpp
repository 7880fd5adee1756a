#include "app/long_path_walk.h"

#include <cstdio>
#include <cstring>

namespace {

// Appends without passing the destination's size; false when it did not fit.
bool Append(char* destination, size_t size, size_t* length, const char* text, size_t count) {
  if (*length + count >= size) return false;
  memcpy(destination + *length, text, count);
  *length += count;
  destination[*length] = '\0';
  return true;
}

// Longer queries name nothing that the search could find.
constexpr size_t kQuerySize = 260;
constexpr size_t kNameSize = 260;

}  // namespace

int WalkLongPath(const char* source, char* destination, size_t size, EntryLookup lookup) {
  if (source == nullptr || destination == nullptr || size == 0) return 0;
  destination[0] = '\0';
  size_t length = 0;
  bool fits = true;
  bool resolved = *source != '\0';
  const char* component = source;
  while (fits && *component != '\0') {
    const char* end = strchr(component, '\\');
    size_t componentLength = end ? static_cast<size_t>(end - component) : strlen(component);
    if (memchr(component, ':', componentLength) != nullptr) {
      // Only a drive in front is resolved as it stands.
      resolved = resolved && component == source;
      fits = Append(destination, size, &length, component, componentLength);
    } else {
      // Behind the added backslash, a first component without a drive (a
      // relative, rooted or network path) or an empty one names another path.
      resolved = resolved && component != source && componentLength > 0;
      fits = Append(destination, size, &length, "\\", 1);
      if (fits && componentLength > 0) {
        // The query is the source as written up to this component, not what
        // has been appended so far.
        size_t queryLength = static_cast<size_t>(component - source) + componentLength;
        char query[kQuerySize];
        char name[kNameSize];
        bool found =
            queryLength < sizeof query &&
            snprintf(query, sizeof query, "%.*s", static_cast<int>(queryLength), source) >= 0 &&
            lookup(query, name, sizeof name);
        resolved = resolved && found;
        fits = found ? Append(destination, size, &length, name, strlen(name))
                     : Append(destination, size, &length, component, componentLength);
      }
    }
    if (end == nullptr) break;
    component = end + 1;
  }
  // The short form still names the file; a cut long form would not.
  if (!fits) snprintf(destination, size, "%s", source);
  return fits && resolved ? static_cast<int>(length) : 0;
}
