// GetFolderSizeOnDisk: the space a folder tree takes, each file rounded to whole clusters.
#pragma once

#include <cstdint>
#include <string>

// Adds up every file below folder (a path without trailing backslash). With a
// cluster size above 511 each file is raised to the next multiple of it; with a
// smaller one (0: unknown) the plain sizes are added. Folders that are links
// (junctions, symbolic links, mount points) are not entered: their space is the
// target's, and a link back up the tree would be counted over and over.
// False, with size 0, when folder itself cannot be listed or its listing breaks
// off; a subfolder that cannot be listed adds nothing.
bool GetFolderSizeOnDisk(uint64_t& size, const std::wstring& folder, uint32_t clusterSize);
