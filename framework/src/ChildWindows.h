// Child windows shown through their parent form's pixels. A form's window
// may hold the windows of other forms (an active form sited in a host's
// window), possibly of another module with its own copy of the framework and
// its own display connection, so the two sides meet only through the
// platform: the parent asks each visible child to print itself into a memory
// device context (WM_PRINTCLIENT) and lays those pixels over its own, and a
// child that painted tells its parent to draw that area again, and the
// parent passes the mouse over a child on to it. Display backends then only
// ever show top-level forms and read their input.
#pragma once

#include <windows.h>

#include "Graphics.h"

class TCanvas;
class TSurface;

namespace qorv::framework {

// Lays the pixels of the parent's visible child windows that answer
// WM_PRINTCLIENT over the canvas (the parent's client coordinates), the
// bottom one of the z order first, inside area only.
void PaintChildWindows(HWND parent, TCanvas& canvas, const TRect& area);
// WM_PRINTCLIENT's answer: the surface copied to the top-left of the 32-bit
// DIB section selected into hdc; false when hdc holds none.
bool PrintSurfaceInto(HDC hdc, TSurface& surface);
// A child window painted area (its own client coordinates): its parent
// draws the same pixels again. Nothing for a top-level window.
void InvalidateInParent(HWND child, const TRect& area);

// Extra window bytes a parent's class reserves for the child that took a
// button press.
constexpr int kMouseRouteBytes = sizeof(LONG_PTR);
// The pointer over a child window is the child's, as if the child had its own
// window on the display: the child for a mouse message of the parent is the
// topmost visible, enabled one under the point, or the one that took a button
// press until its release. Null while the parent holds the mouse itself and
// for WM_MOUSELEAVE.
HWND MouseChild(HWND parent, bool parentHoldsMouse, UINT message, LPARAM lParam);
// Sends the parent's mouse message to the child in the child's client
// coordinates, and remembers a press until its release.
void PassMouseTo(HWND parent, HWND child, UINT message, WPARAM wParam, LPARAM lParam);
// WM_MOUSELEAVE to every visible child but keep (which may be null).
void LeaveChildrenBut(HWND parent, HWND keep);
// A press on the parent's own area takes the focus back from a window inside
// it, so the keys the display gives the parent are the parent's again.
void TakeFocusOnPress(HWND parent, UINT message);
// The display gives its keys to the top-level window, which has no way of
// knowing the focus of the thread that owns it; the window passes a key on
// to the window with the focus when that lies inside it (a sited form that
// took a press), as if the display had given the key to it. True when the
// key was passed on.
bool PassKeyToFocus(HWND parent, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace qorv::framework
