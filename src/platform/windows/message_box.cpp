// Message boxes: the system's own, with one failure value.
#include "platform/windows/win.hpp"

namespace conlib::win {

int MessageBoxA(HWND hWnd, LPCSTR lpText, LPCSTR lpCaption, UINT uType) {
    const int answer = ::MessageBoxA(hWnd, lpText, lpCaption, uType);
    // A box that could not be created at all is reported as -1 by some implementations (Wine
    // with no display does so at once, with the last error set): 0 is the failure value callers
    // test for, and the last error still says why.
    return answer < 0 ? 0 : answer;
}

}  // namespace conlib::win
