// The extension's type library, CalvimoraLib 1.3, as registration writes it.
#pragma once

#include "win/atl_typelib.h"

const win_atl::type_library& calvimora_type_library();
