#pragma once

#include "app/page.h"

namespace v36 {

// The pages and tool dialogs of this build, for AppOptions::factories.
UiFactories pageFactories();

}  // namespace v36
