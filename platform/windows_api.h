// windows.h for this project's Windows files. Its CreateDirectory macro would rename
// FileSystem::CreateDirectory to CreateDirectoryW in every file a unity build puts after
// the one that included it, and the names would no longer link.
#pragma once

#include <windows.h>

#undef CreateDirectory
