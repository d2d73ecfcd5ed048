#pragma once

namespace kestrane {

void ExitClick();

}  // namespace kestrane
