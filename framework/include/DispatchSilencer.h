// The wrapper a control puts around a connected event sink: it answers
// IUnknown, IDispatch and the event interface itself, passes the type
// questions and Invoke on to the sink, and reports success from every
// Invoke, whatever the sink answered, so a failing sink never reaches the
// form that fired the event.
#pragma once

#include <oaidl.h>

// A new wrapper holding its own reference on sink; the caller owns the
// reference returned. sink must not be null.
IDispatch* NewDispatchSilencer(IDispatch* sink, REFIID eventIid);

// Fires an event on a sink as a method call without arguments or result;
// a null sink fires nothing.
void FireSinkEvent(IDispatch* sink, DISPID dispid);
// Fires a key event: one 16-bit argument by reference holding the key
// (zero-extended); after the call the key becomes the low 8 bits of it, so
// the sink can change the key.
void FireSinkKeyEvent(IDispatch* sink, DISPID dispid, char& key);
