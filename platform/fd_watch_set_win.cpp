// Windows: nothing the program watches is a descriptor, so the set only keeps its watches.
#include "platform/fd_watch_set.h"

namespace tarvedde {

// Only the virtual-time loop calls this on Windows, always without waiting.
bool FdWatchSet::PollAndDispatch(int /*timeoutMs*/, int /*wakeFd*/) {
    return false;
}

}  // namespace tarvedde
