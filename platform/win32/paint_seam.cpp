// Test seam: whether a window has an invalidation waiting.
#include "testing/vx_testing.h"
#include "win32/win32_internal.h"

namespace vxtest {

bool PaintPending(HWND hwnd) {
  std::shared_ptr<vxw::Window> window = vxw::FindWindow(hwnd);
  return window && window->paintPending.load();
}

}  // namespace vxtest
