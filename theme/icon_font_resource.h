// The resource number of the fallback icon font inside the executable
// (RCDATA, a TrueType file). Read by the resource compiler as well.
#pragma once

#define QUILLET_ICON_FONT_RESOURCE 300
