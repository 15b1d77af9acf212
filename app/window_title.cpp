// Each program is built with its own title; the revisions add " VERSION".
#include "app/shell.h"

#if VX_REVISION_TITLE
extern const wchar_t kWindowTitle[] = L"VESPERKITE SF SHOOTING GAME DIRECT 2D VERSION";
#else
extern const wchar_t kWindowTitle[] = L"VESPERKITE SF SHOOTING GAME DIRECT 2D";
#endif
