// Path resolution: the engine's paths are Windows paths. `\` and `/` both
// separate; a path that does not exist as written is matched component by
// component without case ("data/mask.bmp" opens "DATA/Mask.BMP").
#pragma once

#include <sys/stat.h>

#include <string>
#include <string_view>

namespace plat {

// The host path for a Windows-style path: separators become '/', and every
// component that does not exist as written is replaced by the first entry of
// its directory (in byte order) that matches it without case. Components that
// match nothing stay as written, so a path to be created resolves its existing
// directories. An empty path stays empty.
std::string resolvePath(std::string_view path);

enum class PathKind { Any, File, Directory };
// True when the resolved path exists and is of the kind asked for.
bool pathExists(std::string_view path, PathKind kind = PathKind::Any);

// open(2) on the resolved path. Refuses a directory where a file is asked
// for (errno EISDIR), also for O_RDONLY. Returns the descriptor or -1 with
// errno set.
int openResolved(std::string_view path, int flags, int mode = 0666);

// Whether a file of these mode bits is read-only as Windows sees it: its
// owner may not write it. Decided by the bits alone, so a caller that could
// write it anyway (root) is refused as well.
inline bool readOnlyMode(mode_t mode) { return (mode & S_IWUSR) == 0; }

}  // namespace plat
