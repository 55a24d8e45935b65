// Bodies of the pure virtual destructors of the window application bases.
#include "framework/gluty_api.h"

namespace vorn {

glutyAPI::~glutyAPI() = default;
glutyAPI4::~glutyAPI4() = default;

}  // namespace vorn
