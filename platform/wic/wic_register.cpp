// Kept apart from the factory so that linking the factory alone does not
// pull in the COM runtime's class table.
#include "vx_com.h"
#include "wic/vx_wic.h"

void VxRegisterWicClasses() {
  VxRegisterComClass(CLSID_WICImagingFactory, &VxCreateWicImagingFactory);
  VxRegisterComClass(CLSID_WICImagingFactory2, &VxCreateWicImagingFactory);
}
