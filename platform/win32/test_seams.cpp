// Test seams of the windowing family and the COM runtime.
#include "testing/vx_testing.h"
#include "vx_com.h"
#include "win32/win32_internal.h"

namespace vxtest {

bool PaintPending(HWND hwnd) {
  std::shared_ptr<vxw::Window> window = vxw::FindWindow(hwnd);
  return window && window->paintPending.load();
}

long LiveComObjects() { return VxLiveComObjects().load(); }

}  // namespace vxtest
