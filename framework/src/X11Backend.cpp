#include "GuiBackend.h"

namespace qorv::framework {

std::unique_ptr<TGuiBackend> CreateX11Backend() { return nullptr; }

}  // namespace qorv::framework
