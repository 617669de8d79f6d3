#include "app/client_session.h"

namespace tarvedde {

ClientSession::ClientSession(const Host& host, const StartOptions& options)
    : host_(host), main_(host_, options) {
    main_.SetOpcDialogs(&opcDialogs_);
}

int ClientSession::RunUntilClosed(const std::function<int()>& runLoop) {
    int result = runLoop();
    while (!main_.FormClose()) {
        result = runLoop();
    }
    return result;
}

}  // namespace tarvedde
