// Input for a form as a person would give it: posted to the form's window
// queue as mouse and key messages, handled when the thread next reads its
// queue (Application->ProcessMessages, or a modal loop). Tests and the
// headless backend use these; the X11 backend posts the same messages.
#pragma once

#include "Forms.h"

// Moves the mouse to (x, y) of the form's client area, presses and releases
// the left button there.
void PostClick(TCustomForm& form, int x, int y);
void PostMouseMove(TCustomForm& form, int x, int y);
void PostMouseButton(TCustomForm& form, UINT message, int x, int y);
// A key pressed and released; characters follow from the key as the queue
// translates it.
void PostKey(TCustomForm& form, WORD virtualKey);
// One typed character (ANSI code page), as a keyboard layout would give it.
void PostChar(TCustomForm& form, char character);
// The close box of the title bar.
void PostClose(TCustomForm& form);
