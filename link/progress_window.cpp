#include "link/progress_window.h"

namespace rk {

// The window itself arrives with the user-interface layer; until then a
// transfer runs without one.
ProgressSession::ProgressSession(void * /*owner*/, Connection & /*conn*/, uint32_t /*address*/) {}
ProgressSession::~ProgressSession() = default;

}  // namespace rk
