// Windows, message queues and timers.
//
// Threads and queues: every thread gets one message queue the first time it
// calls any function here. A window belongs to the thread that created it, and
// its window procedure runs only on that thread. A message sent to a window of
// another thread waits in that thread's queue and is handled when the owner
// reads its queue (GetMessageA, PeekMessageA, WaitMessage) or while the owner
// is itself blocked in SendMessageA/SendMessageTimeoutA without SMTO_BLOCK;
// MsgWaitForMultipleObjects only returns for it. A send to a window of the
// calling thread calls the procedure directly.
//
// Retrieval order, as on Windows: sent messages, posted messages (input
// included, in posting order), WM_QUIT, WM_PAINT, WM_TIMER. WM_PAINT stays until
// the window is validated; WM_TIMER is made when a timer is due and nothing
// more urgent matches, at most one per timer, and the next period counts from
// its removal, so timers never pile up.
//
// GetMessageA waits for a message it can return. MsgWaitForMultipleObjects and
// WaitMessage wait, as on Windows, for input that is new since the thread last
// looked at its queue (PeekMessageA, GetMessageA, GetQueueStatus): a loop that
// waits there must read everything before waiting again. Re-posting with
// PostQuitMessage the WM_QUIT that the last look removed adds nothing new, so
// a pump that keeps WM_QUIT for an outer loop does not spin in such a wait.
//
// Exceptions: a window procedure or timer procedure that throws on the calling
// thread's own stack (DispatchMessageA, a send to a window of the same thread)
// throws through the call. A procedure serving a message sent from another
// thread that throws gets its sender released with result 0 first; the
// exception then continues out of the call that served it.
#pragma once

#include "wintypes.h"

using PDWORD_PTR = DWORD_PTR*;

using WNDPROC = LRESULT(CALLBACK*)(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
using TIMERPROC = void(CALLBACK*)(HWND hWnd, UINT uMsg, UINT_PTR idEvent, DWORD dwTime);
using WNDENUMPROC = BOOL(CALLBACK*)(HWND hWnd, LPARAM lParam);

// ---- Messages --------------------------------------------------------------
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ERASEBKGND = 0x0014;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_FONTCHANGE = 0x001D;
constexpr UINT WM_SETCURSOR = 0x0020;
constexpr UINT WM_MOUSEACTIVATE = 0x0021;
constexpr UINT WM_GETMINMAXINFO = 0x0024;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_WINDOWPOSCHANGING = 0x0046;
constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
constexpr UINT WM_NCCREATE = 0x0081;
constexpr UINT WM_NCDESTROY = 0x0082;
constexpr UINT WM_KEYFIRST = 0x0100;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_SYSCHAR = 0x0106;
constexpr UINT WM_KEYLAST = 0x0109;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_MOUSEFIRST = 0x0200;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MOUSEWHEEL = 0x020A;
constexpr UINT WM_MOUSELAST = 0x020E;
constexpr UINT WM_MOUSELEAVE = 0x02A3;
// wParam: a memory device context the window draws its client area into
// (its top-left corner at the bitmap's); lParam: PRF_* flags.
constexpr UINT WM_PRINTCLIENT = 0x0318;
constexpr LPARAM PRF_CLIENT = 0x00000004;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// WM_SYSCOMMAND codes.
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_MAXIMIZE = 0xF030;
constexpr WPARAM SC_RESTORE = 0xF120;
// WM_SIZE kinds.
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;
// WM_ACTIVATE states.
constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;
constexpr WORD WA_CLICKACTIVE = 2;
// Mouse message key flags (wParam).
constexpr WPARAM MK_LBUTTON = 0x0001;
constexpr WPARAM MK_RBUTTON = 0x0002;
constexpr WPARAM MK_SHIFT = 0x0004;
constexpr WPARAM MK_CONTROL = 0x0008;
constexpr WPARAM MK_MBUTTON = 0x0010;

// ---- Virtual keys ----------------------------------------------------------
constexpr int VK_LBUTTON = 0x01;
constexpr int VK_RBUTTON = 0x02;
constexpr int VK_CANCEL = 0x03;
constexpr int VK_MBUTTON = 0x04;
constexpr int VK_BACK = 0x08;
constexpr int VK_TAB = 0x09;
constexpr int VK_CLEAR = 0x0C;
constexpr int VK_RETURN = 0x0D;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr int VK_PAUSE = 0x13;
constexpr int VK_CAPITAL = 0x14;
constexpr int VK_ESCAPE = 0x1B;
constexpr int VK_SPACE = 0x20;
constexpr int VK_PRIOR = 0x21;
constexpr int VK_NEXT = 0x22;
constexpr int VK_END = 0x23;
constexpr int VK_HOME = 0x24;
constexpr int VK_LEFT = 0x25;
constexpr int VK_UP = 0x26;
constexpr int VK_RIGHT = 0x27;
constexpr int VK_DOWN = 0x28;
constexpr int VK_INSERT = 0x2D;
constexpr int VK_DELETE = 0x2E;
constexpr int VK_NUMPAD0 = 0x60;
constexpr int VK_MULTIPLY = 0x6A;
constexpr int VK_ADD = 0x6B;
constexpr int VK_SUBTRACT = 0x6D;
constexpr int VK_DECIMAL = 0x6E;
constexpr int VK_DIVIDE = 0x6F;
constexpr int VK_F1 = 0x70;
constexpr int VK_F2 = 0x71;
constexpr int VK_F3 = 0x72;
constexpr int VK_F4 = 0x73;
constexpr int VK_F5 = 0x74;
constexpr int VK_F6 = 0x75;
constexpr int VK_F7 = 0x76;
constexpr int VK_F8 = 0x77;
constexpr int VK_F9 = 0x78;
constexpr int VK_F10 = 0x79;
constexpr int VK_F11 = 0x7A;
constexpr int VK_F12 = 0x7B;
constexpr int VK_NUMLOCK = 0x90;
constexpr int VK_LSHIFT = 0xA0;
constexpr int VK_RSHIFT = 0xA1;
constexpr int VK_LCONTROL = 0xA2;
constexpr int VK_RCONTROL = 0xA3;
constexpr int VK_LMENU = 0xA4;
constexpr int VK_RMENU = 0xA5;
// Letters and digits use their upper-case ASCII codes ('A'..'Z', '0'..'9').

// ---- Window styles ---------------------------------------------------------
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_GROUP = 0x00020000;
constexpr DWORD WS_TABSTOP = 0x00010000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;
constexpr DWORD WS_POPUPWINDOW = WS_POPUP | WS_BORDER | WS_SYSMENU;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
constexpr DWORD WS_EX_LAYOUTRTL = 0x00400000;
constexpr DWORD WS_EX_RTLREADING = 0x00002000;
constexpr DWORD WS_EX_CONTROLPARENT = 0x00010000;

// Class styles (accepted and kept; double clicks are made by whoever feeds
// mouse input).
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr UINT CS_OWNDC = 0x0020;
constexpr UINT CS_GLOBALCLASS = 0x4000;

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

inline const HWND HWND_DESKTOP = nullptr;
inline const HWND HWND_BROADCAST = reinterpret_cast<HWND>(static_cast<LONG_PTR>(0xFFFF));
inline const HWND HWND_MESSAGE = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-3));
inline const HWND HWND_TOP = reinterpret_cast<HWND>(static_cast<LONG_PTR>(0));
inline const HWND HWND_BOTTOM = reinterpret_cast<HWND>(static_cast<LONG_PTR>(1));
inline const HWND HWND_TOPMOST = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1));
inline const HWND HWND_NOTOPMOST = reinterpret_cast<HWND>(static_cast<LONG_PTR>(-2));

// ---- Classes and windows ---------------------------------------------------
struct WNDCLASSA {
  UINT style;
  WNDPROC lpfnWndProc;
  int cbClsExtra;
  int cbWndExtra;  // zeroed bytes per window, read with Get/SetWindowLong(Ptr)A
  HINSTANCE hInstance;
  HICON hIcon;
  HCURSOR hCursor;
  HBRUSH hbrBackground;
  LPCSTR lpszMenuName;
  LPCSTR lpszClassName;
};
using LPWNDCLASSA = WNDCLASSA*;

struct CREATESTRUCTA {
  LPVOID lpCreateParams;
  HINSTANCE hInstance;
  HMENU hMenu;
  HWND hwndParent;
  int cy;
  int cx;
  int y;
  int x;
  LONG style;
  LPCSTR lpszName;
  LPCSTR lpszClass;
  DWORD dwExStyle;
};
using LPCREATESTRUCTA = CREATESTRUCTA*;

// A class name may be a string or an atom from RegisterClassA (MAKEINTATOM).
inline LPCSTR MAKEINTATOM(ATOM atom) { return reinterpret_cast<LPCSTR>(static_cast<ULONG_PTR>(atom)); }

// Class names compare without regard to ASCII case. Fails with
// ERROR_CLASS_ALREADY_EXISTS (1410) for a name already registered, or
// ERROR_INVALID_PARAMETER for no name, no procedure or negative/oversized extra
// byte counts.
ATOM WINAPI RegisterClassA(const WNDCLASSA* lpWndClass);
// ERROR_CLASS_DOES_NOT_EXIST (1411); ERROR_CLASS_HAS_WINDOWS (1412) while a
// window of the class exists.
BOOL WINAPI UnregisterClassA(LPCSTR lpClassName, HINSTANCE hInstance);
// Copies the class name; 0 with ERROR_INVALID_WINDOW_HANDLE for no window.
int WINAPI GetClassNameA(HWND hWnd, LPSTR lpClassName, int nMaxCount);

// hWndParent: a parent for WS_CHILD, an owner otherwise, HWND_MESSAGE for a
// message-only window (never shown, enumerated or broadcast to). Sends
// WM_NCCREATE (FALSE ends the creation) and WM_CREATE (-1 ends it) with a
// CREATESTRUCTA, then WM_SIZE and WM_MOVE, and WM_SHOWWINDOW when WS_VISIBLE.
// Fails with 1411 for an unknown class, 1400 for a bad parent, and
// ERROR_TLW_WITH_WSCHILD (1406) for WS_CHILD without a parent.
HWND WINAPI CreateWindowExA(DWORD dwExStyle, LPCSTR lpClassName, LPCSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam);
// Only the owner thread may destroy (else ERROR_ACCESS_DENIED). Owned windows
// go first; then WM_DESTROY to the window and its children (parent first) and
// WM_NCDESTROY (children first). Messages posted to the window are dropped;
// senders still waiting for it are released with a failure; its timers end.
BOOL WINAPI DestroyWindow(HWND hWnd);
BOOL WINAPI IsWindow(HWND hWnd);
// Handles WM_NCCREATE (takes the title), WM_SETTEXT, WM_GETTEXT,
// WM_GETTEXTLENGTH, WM_CLOSE (destroys), WM_SYSCOMMAND SC_CLOSE (sends WM_CLOSE),
// WM_SYSKEYDOWN Alt+F4 (SC_CLOSE), WM_PAINT (validates); 0 for the rest.
LRESULT WINAPI DefWindowProcA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
LRESULT WINAPI CallWindowProcA(WNDPROC lpPrevWndFunc, HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

// Window values. A non-negative index is a byte offset into the window's extra
// bytes: the value must lie wholly inside them (4 bytes for the Long calls,
// pointer-sized for the Ptr calls) or the call fails with ERROR_INVALID_INDEX
// (1413). On this 64-bit host the 32-bit calls refuse the pointer-valued
// indices (GWL_WNDPROC, GWL_HINSTANCE, GWL_HWNDPARENT) with 1413 rather than
// truncate a pointer; use the Ptr calls for them. Set* return the previous
// value and, as on Windows, leave the last error untouched on success.
constexpr int GWL_WNDPROC = -4;
constexpr int GWL_HINSTANCE = -6;
constexpr int GWL_HWNDPARENT = -8;
constexpr int GWL_ID = -12;
constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWL_USERDATA = -21;
constexpr int GWLP_WNDPROC = -4;
constexpr int GWLP_HINSTANCE = -6;
constexpr int GWLP_HWNDPARENT = -8;
constexpr int GWLP_ID = -12;
constexpr int GWLP_USERDATA = -21;
LONG WINAPI GetWindowLongA(HWND hWnd, int nIndex);
LONG WINAPI SetWindowLongA(HWND hWnd, int nIndex, LONG dwNewLong);
LONG_PTR WINAPI GetWindowLongPtrA(HWND hWnd, int nIndex);
LONG_PTR WINAPI SetWindowLongPtrA(HWND hWnd, int nIndex, LONG_PTR dwNewLong);

// ---- Messages and queues ---------------------------------------------------
struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;  // GetTickCount when posted
  POINT pt;
};
using LPMSG = MSG*;

constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

// Queue status bits (MsgWaitForMultipleObjects, GetQueueStatus, and PM_QS_*
// filters in the high word of PeekMessageA's flags). Posted key messages count
// as QS_KEY and mouse messages as QS_MOUSE*, since posting is how input arrives.
constexpr UINT QS_KEY = 0x0001;
constexpr UINT QS_MOUSEMOVE = 0x0002;
constexpr UINT QS_MOUSEBUTTON = 0x0004;
constexpr UINT QS_POSTMESSAGE = 0x0008;
constexpr UINT QS_TIMER = 0x0010;
constexpr UINT QS_PAINT = 0x0020;
constexpr UINT QS_SENDMESSAGE = 0x0040;
constexpr UINT QS_HOTKEY = 0x0080;
constexpr UINT QS_ALLPOSTMESSAGE = 0x0100;
constexpr UINT QS_RAWINPUT = 0x0400;
constexpr UINT QS_MOUSE = QS_MOUSEMOVE | QS_MOUSEBUTTON;
constexpr UINT QS_INPUT = QS_MOUSE | QS_KEY | QS_RAWINPUT;
constexpr UINT QS_ALLEVENTS = QS_INPUT | QS_POSTMESSAGE | QS_TIMER | QS_PAINT | QS_HOTKEY;
constexpr UINT QS_ALLINPUT = QS_ALLEVENTS | QS_SENDMESSAGE;
constexpr UINT PM_QS_INPUT = QS_INPUT << 16;
constexpr UINT PM_QS_POSTMESSAGE = (QS_POSTMESSAGE | QS_HOTKEY | QS_TIMER) << 16;
constexpr UINT PM_QS_PAINT = QS_PAINT << 16;
constexpr UINT PM_QS_SENDMESSAGE = QS_SENDMESSAGE << 16;

// Filters: hWnd NULL takes every message of the thread; (HWND)-1 only thread
// messages (hwnd NULL); a window its messages and its children's (WM_QUIT is
// then not taken, as on Windows). wMsgFilterMin = wMsgFilterMax = 0 takes every
// message. Sent messages are served first whatever the filters. A window
// filter that is not a window of the calling thread fails with 1400.
BOOL WINAPI PeekMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg);
// 0 for WM_QUIT, -1 on a bad argument, else nonzero. Blocks until a matching
// message (or a due timer, or a paint) is there.
BOOL WINAPI GetMessageA(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax);
// Posts WM_CHAR (WM_SYSCHAR) after WM_KEYDOWN (WM_SYSKEYDOWN) for keys with a
// character: letters (upper case while Shift is down), digits, space, Return,
// Tab, Backspace, Escape, and Ctrl+letter as control codes 1..26. Returns TRUE
// for key messages.
BOOL WINAPI TranslateMessage(const MSG* lpMsg);
// Calls the window procedure on the calling thread (the window must belong to
// it: ERROR_ACCESS_DENIED otherwise). WM_TIMER with a TIMERPROC in lParam calls
// that procedure instead, only when it is the procedure of a live timer of the
// thread, so a forged WM_TIMER cannot jump anywhere.
LRESULT WINAPI DispatchMessageA(const MSG* lpMsg);
// The next WM_QUIT read from the calling thread's queue carries nExitCode.
void WINAPI PostQuitMessage(int nExitCode);
// hWnd NULL posts to the calling thread; HWND_BROADCAST to every top-level
// window. Fails with 1400 for no window and ERROR_NOT_ENOUGH_QUOTA (1816) when
// the queue already holds 10000 posted messages.
BOOL WINAPI PostMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);
// ERROR_INVALID_THREAD_ID (1444) when the thread has no message queue.
BOOL WINAPI PostThreadMessageA(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam);
// Blocks until handled (serving messages sent to the calling thread
// meanwhile); 0 when the window does not exist, is destroyed, or its thread
// ends before handling it.
LRESULT WINAPI SendMessageA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

constexpr UINT SMTO_NORMAL = 0x0000;
constexpr UINT SMTO_BLOCK = 0x0001;  // serve no sent messages while waiting
constexpr UINT SMTO_ABORTIFHUNG = 0x0002;
constexpr UINT SMTO_NOTIMEOUTIFNOTHUNG = 0x0008;  // accepted; the time-out applies all the same
// Nonzero on success with the procedure's result in *lpdwResult. 0 with
// ERROR_TIMEOUT (1460) when uTimeout ms (counted from the call) pass first, or
// at once with SMTO_ABORTIFHUNG when the owner thread has not read its queue
// for 5 s; 0 with 1400 when the window does not exist or goes away. A message
// that timed out before its owner took it is withdrawn, never handled late (its
// lParam may point into the sender's memory); one already being handled
// finishes and its result is dropped.
LRESULT WINAPI SendMessageTimeoutA(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam, UINT fuFlags, UINT uTimeout,
                                   PDWORD_PTR lpdwResult);
// TRUE while the calling thread handles a message sent from another thread.
BOOL WINAPI InSendMessage();
// Releases the sender of the message being handled with lResult; FALSE when
// the current message was not sent from another thread or was answered already.
BOOL WINAPI ReplyMessage(LRESULT lResult);
// Blocks until new input (any QS_ALLINPUT kind) arrives; TRUE.
BOOL WINAPI WaitMessage();
// High word: kinds of input there now; low word: kinds added since the last
// look; both masked by flags. Counts as a look.
DWORD WINAPI GetQueueStatus(UINT flags);
// Waits for the handles (any, or all with fWaitAll, in which case new input
// must also be there) or for new input of dwWakeMask; WAIT_OBJECT_0 + nCount
// for input. nCount may be 0; at most MAXIMUM_WAIT_OBJECTS - 1. Sent messages
// are not served here: they end the wait (with QS_SENDMESSAGE) and the next
// PeekMessageA serves them.
DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll, DWORD dwMilliseconds,
                                       DWORD dwWakeMask);
// Key state as read from the queue so far: bit 0x8000 while down.
SHORT WINAPI GetKeyState(int nVirtKey);

// ---- Timers ----------------------------------------------------------------
constexpr UINT USER_TIMER_MINIMUM = 0x0000000A;
constexpr UINT USER_TIMER_MAXIMUM = 0x7FFFFFFF;
// hWnd must be a window of the calling thread (ERROR_ACCESS_DENIED otherwise);
// its (hWnd, nIDEvent) timer is replaced if it exists; returns nonzero. With
// hWnd NULL, an existing thread timer nIDEvent is replaced, otherwise a new id
// is made and returned. uElapse is clamped to USER_TIMER_MINIMUM..MAXIMUM.
UINT_PTR WINAPI SetTimer(HWND hWnd, UINT_PTR nIDEvent, UINT uElapse, TIMERPROC lpTimerFunc);
// ERROR_INVALID_PARAMETER when no such timer exists.
BOOL WINAPI KillTimer(HWND hWnd, UINT_PTR uIDEvent);

// ---- Window tree -------------------------------------------------------------
// Positions are relative to the parent's client area (the screen for top-level
// windows); windows have no frame, so the client area is the whole window.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_NORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_MAXIMIZE = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;
constexpr int SW_SHOWDEFAULT = 10;
// Every command but SW_HIDE shows; returns whether the window was visible.
BOOL WINAPI ShowWindow(HWND hWnd, int nCmdShow);
// WS_VISIBLE on the window and all its ancestors.
BOOL WINAPI IsWindowVisible(HWND hWnd);

constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;
// Sends WM_MOVE / WM_SIZE when position / size change, and invalidates the
// window when its size changes (unless SWP_NOREDRAW). Negative sizes become 0.
BOOL WINAPI SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);
BOOL WINAPI MoveWindow(HWND hWnd, int X, int Y, int nWidth, int nHeight, BOOL bRepaint);
BOOL WINAPI GetClientRect(HWND hWnd, LPRECT lpRect);
// Screen coordinates.
BOOL WINAPI GetWindowRect(HWND hWnd, LPRECT lpRect);
BOOL WINAPI ClientToScreen(HWND hWnd, LPPOINT lpPoint);
BOOL WINAPI ScreenToClient(HWND hWnd, LPPOINT lpPoint);
// The parent of a child window, the owner of a WS_POPUP window, else NULL.
HWND WINAPI GetParent(HWND hWnd);
// Returns the previous parent. hWndNewParent NULL makes the window top-level.
// Making a window its own descendant fails with ERROR_INVALID_PARAMETER.
HWND WINAPI SetParent(HWND hWndChild, HWND hWndNewParent);
BOOL WINAPI IsChild(HWND hWndParent, HWND hWnd);
// A window related to hWnd: GW_CHILD its topmost child, GW_HWNDFIRST /
// GW_HWNDLAST / GW_HWNDNEXT / GW_HWNDPREV among its siblings (z order, top
// first); NULL when there is none (no error) or for a bad handle
// (ERROR_INVALID_WINDOW_HANDLE) or command (ERROR_INVALID_PARAMETER).
constexpr UINT GW_HWNDFIRST = 0;
constexpr UINT GW_HWNDLAST = 1;
constexpr UINT GW_HWNDNEXT = 2;
constexpr UINT GW_HWNDPREV = 3;
constexpr UINT GW_CHILD = 5;
HWND WINAPI GetWindow(HWND hWnd, UINT uCmd);
// Returns whether the window was disabled before; sends WM_ENABLE on change. A
// disabled window loses the focus.
BOOL WINAPI EnableWindow(HWND hWnd, BOOL bEnable);
BOOL WINAPI IsWindowEnabled(HWND hWnd);
// The focus is per thread; only windows of the calling thread can take it
// (NULL returned otherwise). Sends WM_KILLFOCUS to the old and WM_SETFOCUS to
// the new window; returns the old one.
HWND WINAPI SetFocus(HWND hWnd);
HWND WINAPI GetFocus();
// Through WM_SETTEXT / WM_GETTEXT for windows of the calling thread; another
// thread's window text is read directly, as on Windows.
BOOL WINAPI SetWindowTextA(HWND hWnd, LPCSTR lpString);
int WINAPI GetWindowTextA(HWND hWnd, LPSTR lpString, int nMaxCount);
int WINAPI GetWindowTextLengthA(HWND hWnd);
DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId);
// The desktop: the parent of top-level windows as far as coordinates go; its
// rectangle is the screen (1920 x 1080 until a display backend moves it).
HWND WINAPI GetDesktopWindow();
// Top-level windows only, class and title compared without regard to ASCII
// case; NULL arguments match any.
HWND WINAPI FindWindowA(LPCSTR lpClassName, LPCSTR lpWindowName);
// Top-level windows (not message-only), topmost first; FALSE when the callback
// stopped the walk.
BOOL WINAPI EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam);

// ---- Painting ----------------------------------------------------------------
// No drawing happens here: the update region is a bounding rectangle, and the
// HDC given by BeginPaint is a non-null token naming the window (the GUI
// framework draws with its own surfaces).
struct PAINTSTRUCT {
  HDC hdc;
  BOOL fErase;
  RECT rcPaint;
  BOOL fRestore;
  BOOL fIncUpdate;
  BYTE rgbReserved[32];
};
using LPPAINTSTRUCT = PAINTSTRUCT*;
// Adds lpRect (NULL: the client area) to the update region; the owner then
// gets WM_PAINT once its queue holds nothing more urgent, while the window is
// visible. hWnd NULL invalidates every window.
BOOL WINAPI InvalidateRect(HWND hWnd, const RECT* lpRect, BOOL bErase);
BOOL WINAPI ValidateRect(HWND hWnd, const RECT* lpRect);
// Sends WM_PAINT at once when the window has an update region and is visible.
BOOL WINAPI UpdateWindow(HWND hWnd);
BOOL WINAPI GetUpdateRect(HWND hWnd, LPRECT lpRect, BOOL bErase);
// Takes the update region (sending WM_ERASEBKGND when one was asked for) and
// validates the window.
HDC WINAPI BeginPaint(HWND hWnd, LPPAINTSTRUCT lpPaint);
BOOL WINAPI EndPaint(HWND hWnd, const PAINTSTRUCT* lpPaint);

// ---- Message box flags and answers -----------------------------------------
// (The boxes themselves are the GUI framework's; see framework/include/Dialogs.h.)
constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_ABORTRETRYIGNORE = 0x00000002;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_RETRYCANCEL = 0x00000005;
constexpr UINT MB_TYPEMASK = 0x0000000F;
constexpr UINT MB_ICONHAND = 0x00000010;
constexpr UINT MB_ICONSTOP = MB_ICONHAND;
constexpr UINT MB_ICONERROR = MB_ICONHAND;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONEXCLAMATION = 0x00000030;
constexpr UINT MB_ICONWARNING = MB_ICONEXCLAMATION;
constexpr UINT MB_ICONASTERISK = 0x00000040;
constexpr UINT MB_ICONINFORMATION = MB_ICONASTERISK;
constexpr UINT MB_ICONMASK = 0x000000F0;
constexpr UINT MB_DEFBUTTON1 = 0x00000000;
constexpr UINT MB_DEFBUTTON2 = 0x00000100;
constexpr UINT MB_DEFBUTTON3 = 0x00000200;
constexpr UINT MB_DEFMASK = 0x00000F00;
constexpr UINT MB_RTLREADING = 0x00002000;
constexpr UINT MB_RIGHT = 0x00080000;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
