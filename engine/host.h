// What the engine needs of the world. The desktop, headless and scenario programs each
// put their own implementations behind these references.
#pragma once

#include "platform/clock.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/operator.h"
#include "platform/shell.h"

namespace tarvedde {

struct Host {
    FileSystem& files;
    Clock& clock;
    EventLoop& loop;
    Operator& op;
    Shell& shell;
};

}  // namespace tarvedde
