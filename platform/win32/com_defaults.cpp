// Empty class registrations for builds without the imaging or DirectShow
// family. Weak, and placed last in the archive: a family's own definition
// wins wherever it exists (see platform/CMakeLists.txt).
#include <vx_com.h>

__attribute__((weak)) void VxRegisterWicClasses() {}
__attribute__((weak)) void VxRegisterDShowClasses() {}
