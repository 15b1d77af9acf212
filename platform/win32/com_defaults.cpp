// Empty class registrations for builds without the imaging or DirectShow
// family. The build links this object last, so a family's own definition,
// wherever it exists, is the one the linker picks from the archive.
#include <vx_com.h>

__attribute__((weak)) void VxRegisterWicClasses() {}
__attribute__((weak)) void VxRegisterDShowClasses() {}
