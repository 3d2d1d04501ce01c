// The control's COM face as C++ sees it: the identifiers of the type library
// QorvProj1, the dual interface IQorvX in its vtable order, the event
// interface IQorvXEvents and the four enums. The compiled type library
// embedded in QorvProj1.ocx describes the same things to COM; the two must
// agree slot by slot, since ITypeInfo::Invoke calls IQorvX through the table.
//
// Everything lives in namespace QorvProj1_TLB. The interface, identifier and
// enum type names are also brought to global scope; the enum constants are
// not, because the framework's own form enums use the same constant names
// (afbNone, poNone, mbLeft, htKeyword): write QorvProj1_TLB::afbNone.
#pragma once

#include "oaidl.h"
#include "ocidl.h"

namespace QorvProj1_TLB {

// The library's version, as registration and UnRegisterTypeLib give it.
inline constexpr WORD QorvProj1MajorVersion = 1;
inline constexpr WORD QorvProj1MinorVersion = 0;
inline constexpr LCID QorvProj1Lcid = 0x0409;

// {632EC935-6E13-4F33-9708-DE8C4DC904BA}
inline constexpr GUID LIBID_QorvProj1{0x632EC935, 0x6E13, 0x4F33, {0x97, 0x08, 0xDE, 0x8C, 0x4D, 0xC9, 0x04, 0xBA}};
// {7E87331A-7E8A-482B-A144-B858BAAB3E00}
inline constexpr IID IID_IQorvX{0x7E87331A, 0x7E8A, 0x482B, {0xA1, 0x44, 0xB8, 0x58, 0xBA, 0xAB, 0x3E, 0x00}};
// {B6DDE8BA-8348-4938-B6FD-7BB3853EF839}
inline constexpr IID DIID_IQorvXEvents{0xB6DDE8BA, 0x8348, 0x4938, {0xB6, 0xFD, 0x7B, 0xB3, 0x85, 0x3E, 0xF8, 0x39}};
// {FDFC660E-0953-4E1A-A45A-7F37F5E8CD20}
inline constexpr CLSID CLSID_QorvX{0xFDFC660E, 0x0953, 0x4E1A, {0xA4, 0x5A, 0x7F, 0x37, 0xF5, 0xE8, 0xCD, 0x20}};
// {3FA165F9-336F-435C-AA16-7BCEE361B76D}
inline constexpr GUID GUID_TxActiveFormBorderStyle{
    0x3FA165F9, 0x336F, 0x435C, {0xAA, 0x16, 0x7B, 0xCE, 0xE3, 0x61, 0xB7, 0x6D}};
// {7F0FDB66-3F4A-494C-8663-2D33A20D04AC}
inline constexpr GUID GUID_TxPrintScale{0x7F0FDB66, 0x3F4A, 0x494C, {0x86, 0x63, 0x2D, 0x33, 0xA2, 0x0D, 0x04, 0xAC}};
// {10CAF5FF-E07F-40BD-8F95-6064EFCAE7F6}
inline constexpr GUID GUID_TxMouseButton{0x10CAF5FF, 0xE07F, 0x40BD, {0x8F, 0x95, 0x60, 0x64, 0xEF, 0xCA, 0xE7, 0xF6}};
// {FDB69FD3-1A8F-43B0-8A39-A86A6D8C51B3}
inline constexpr GUID GUID_TxHelpType{0xFDB69FD3, 0x1A8F, 0x43B0, {0x8A, 0x39, 0xA8, 0x6A, 0x6D, 0x8C, 0x51, 0xB3}};

// Enums travel as 32-bit integers (VT_I4 slots in the type library).
enum TxActiveFormBorderStyle : LONG { afbNone = 0, afbSingle = 1, afbSunken = 2, afbRaised = 3 };
enum TxPrintScale : LONG { poNone = 0, poProportional = 1, poPrintToFit = 2 };
enum TxMouseButton : LONG { mbLeft = 0, mbRight = 1, mbMiddle = 2 };
enum TxHelpType : LONG { htKeyword = 0, htContext = 1 };

// The control's dual interface. Slots 0-2 are IUnknown's and 3-6 IDispatch's
// (through the base); the members below start at slot 7 and must keep this
// order, which is not the order of their dispids.
struct IQorvX : IDispatch {
  // Stock properties of the form (slots 7-46).
  virtual HRESULT STDMETHODCALLTYPE get_Visible(VARIANT_BOOL* Value) = 0;                   // 7, dispid 1
  virtual HRESULT STDMETHODCALLTYPE put_Visible(VARIANT_BOOL Value) = 0;                    // 8
  virtual HRESULT STDMETHODCALLTYPE get_AutoScroll(VARIANT_BOOL* Value) = 0;                // 9, dispid 2
  virtual HRESULT STDMETHODCALLTYPE put_AutoScroll(VARIANT_BOOL Value) = 0;                 // 10
  virtual HRESULT STDMETHODCALLTYPE get_AutoSize(VARIANT_BOOL* Value) = 0;                  // 11, dispid 3
  virtual HRESULT STDMETHODCALLTYPE put_AutoSize(VARIANT_BOOL Value) = 0;                   // 12
  virtual HRESULT STDMETHODCALLTYPE get_AxBorderStyle(TxActiveFormBorderStyle* Value) = 0;  // 13, dispid 4
  virtual HRESULT STDMETHODCALLTYPE put_AxBorderStyle(TxActiveFormBorderStyle Value) = 0;   // 14
  virtual HRESULT STDMETHODCALLTYPE get_Caption(BSTR* Value) = 0;                           // 15, dispid -518
  virtual HRESULT STDMETHODCALLTYPE put_Caption(BSTR Value) = 0;                            // 16
  virtual HRESULT STDMETHODCALLTYPE get_Color(OLE_COLOR* Value) = 0;                        // 17, dispid -501
  virtual HRESULT STDMETHODCALLTYPE put_Color(OLE_COLOR Value) = 0;                         // 18
  virtual HRESULT STDMETHODCALLTYPE get_Font(IFontDisp** Value) = 0;                        // 19, dispid -512
  virtual HRESULT STDMETHODCALLTYPE put_Font(IFontDisp* Value) = 0;                         // 20
  virtual HRESULT STDMETHODCALLTYPE _set_Font(IFontDisp** Value) = 0;                       // 21 (put-by-reference)
  virtual HRESULT STDMETHODCALLTYPE get_KeyPreview(VARIANT_BOOL* Value) = 0;                // 22, dispid 5
  virtual HRESULT STDMETHODCALLTYPE put_KeyPreview(VARIANT_BOOL Value) = 0;                 // 23
  virtual HRESULT STDMETHODCALLTYPE get_PixelsPerInch(LONG* Value) = 0;                     // 24, dispid 6
  virtual HRESULT STDMETHODCALLTYPE put_PixelsPerInch(LONG Value) = 0;                      // 25
  virtual HRESULT STDMETHODCALLTYPE get_PrintScale(TxPrintScale* Value) = 0;                // 26, dispid 7
  virtual HRESULT STDMETHODCALLTYPE put_PrintScale(TxPrintScale Value) = 0;                 // 27
  virtual HRESULT STDMETHODCALLTYPE get_Scaled(VARIANT_BOOL* Value) = 0;                    // 28, dispid 8
  virtual HRESULT STDMETHODCALLTYPE put_Scaled(VARIANT_BOOL Value) = 0;                     // 29
  virtual HRESULT STDMETHODCALLTYPE get_Active(VARIANT_BOOL* Value) = 0;                    // 30, dispid 9
  virtual HRESULT STDMETHODCALLTYPE get_DropTarget(VARIANT_BOOL* Value) = 0;                // 31, dispid 10
  virtual HRESULT STDMETHODCALLTYPE put_DropTarget(VARIANT_BOOL Value) = 0;                 // 32
  virtual HRESULT STDMETHODCALLTYPE get_HelpFile(BSTR* Value) = 0;                          // 33, dispid 11
  virtual HRESULT STDMETHODCALLTYPE put_HelpFile(BSTR Value) = 0;                           // 34
  virtual HRESULT STDMETHODCALLTYPE get_DoubleBuffered(VARIANT_BOOL* Value) = 0;            // 35, dispid 12
  virtual HRESULT STDMETHODCALLTYPE put_DoubleBuffered(VARIANT_BOOL Value) = 0;             // 36
  virtual HRESULT STDMETHODCALLTYPE get_AlignDisabled(VARIANT_BOOL* Value) = 0;             // 37, dispid 13
  virtual HRESULT STDMETHODCALLTYPE get_VisibleDockClientCount(LONG* Value) = 0;            // 38, dispid 14
  virtual HRESULT STDMETHODCALLTYPE get_Enabled(VARIANT_BOOL* Value) = 0;                   // 39, dispid -514
  virtual HRESULT STDMETHODCALLTYPE put_Enabled(VARIANT_BOOL Value) = 0;                    // 40
  virtual HRESULT STDMETHODCALLTYPE get_Cursor(SHORT* Value) = 0;                           // 41, dispid 15
  virtual HRESULT STDMETHODCALLTYPE put_Cursor(SHORT Value) = 0;                            // 42
  virtual HRESULT STDMETHODCALLTYPE get_HelpType(TxHelpType* Value) = 0;                    // 43, dispid 16
  virtual HRESULT STDMETHODCALLTYPE put_HelpType(TxHelpType Value) = 0;                     // 44
  virtual HRESULT STDMETHODCALLTYPE get_HelpKeyword(BSTR* Value) = 0;                       // 45, dispid 17
  virtual HRESULT STDMETHODCALLTYPE put_HelpKeyword(BSTR Value) = 0;                        // 46
  // The about box, modally (slot 47, dispid -552).
  virtual HRESULT STDMETHODCALLTYPE AboutBox() = 0;
  // Device members (slots 48-85).
  virtual HRESULT STDMETHODCALLTYPE get_Connect(VARIANT_BOOL* Value) = 0;       // 48, dispid 18
  virtual HRESULT STDMETHODCALLTYPE put_Connect(VARIANT_BOOL Value) = 0;        // 49
  virtual HRESULT STDMETHODCALLTYPE get_Disconnect(VARIANT_BOOL* Value) = 0;    // 50, dispid 19
  virtual HRESULT STDMETHODCALLTYPE put_Disconnect(VARIANT_BOOL Value) = 0;     // 51
  virtual HRESULT STDMETHODCALLTYPE get_Line(signed char* Value) = 0;           // 52, dispid 21
  virtual HRESULT STDMETHODCALLTYPE put_Line(signed char Value) = 0;            // 53
  virtual HRESULT STDMETHODCALLTYPE get_StartRecord(VARIANT_BOOL* Value) = 0;   // 54, dispid 23
  virtual HRESULT STDMETHODCALLTYPE put_StartRecord(VARIANT_BOOL Value) = 0;    // 55
  virtual HRESULT STDMETHODCALLTYPE get_StopRecord(VARIANT_BOOL* Value) = 0;    // 56, dispid 24
  virtual HRESULT STDMETHODCALLTYPE put_StopRecord(VARIANT_BOOL Value) = 0;     // 57
  virtual HRESULT STDMETHODCALLTYPE get_SetProtocol1(VARIANT_BOOL* Value) = 0;  // 58, dispid 22
  virtual HRESULT STDMETHODCALLTYPE put_SetProtocol1(VARIANT_BOOL Value) = 0;   // 59
  virtual HRESULT STDMETHODCALLTYPE get_SetProtocol2(VARIANT_BOOL* Value) = 0;  // 60, dispid 25
  virtual HRESULT STDMETHODCALLTYPE put_SetProtocol2(VARIANT_BOOL Value) = 0;   // 61
  virtual HRESULT STDMETHODCALLTYPE get_SetProtocol3(VARIANT_BOOL* Value) = 0;  // 62, dispid 26
  virtual HRESULT STDMETHODCALLTYPE put_SetProtocol3(VARIANT_BOOL Value) = 0;   // 63
  virtual HRESULT STDMETHODCALLTYPE get_SetStarONOFF(VARIANT_BOOL* Value) = 0;  // 64, dispid 27
  virtual HRESULT STDMETHODCALLTYPE put_SetStarONOFF(VARIANT_BOOL Value) = 0;   // 65
  virtual HRESULT STDMETHODCALLTYPE get_SetStatus(VARIANT_BOOL* Value) = 0;     // 66, dispid 28
  virtual HRESULT STDMETHODCALLTYPE put_SetStatus(VARIANT_BOOL Value) = 0;      // 67
  virtual HRESULT STDMETHODCALLTYPE get_Date(BSTR* Value) = 0;                  // 68, dispid 29
  virtual HRESULT STDMETHODCALLTYPE put_Date(BSTR Value) = 0;                   // 69
  virtual HRESULT STDMETHODCALLTYPE get_Time(BSTR* Value) = 0;                  // 70, dispid 30
  virtual HRESULT STDMETHODCALLTYPE put_Time(BSTR Value) = 0;                   // 71
  virtual HRESULT STDMETHODCALLTYPE get_SetTime(VARIANT_BOOL* Value) = 0;       // 72, dispid 31
  virtual HRESULT STDMETHODCALLTYPE put_SetTime(VARIANT_BOOL Value) = 0;        // 73
  virtual HRESULT STDMETHODCALLTYPE get_ReadTime(VARIANT_BOOL* Value) = 0;      // 74, dispid 32
  virtual HRESULT STDMETHODCALLTYPE put_ReadTime(VARIANT_BOOL Value) = 0;       // 75
  virtual HRESULT STDMETHODCALLTYPE get_PortNumber(signed char* Value) = 0;     // 76, dispid 33
  virtual HRESULT STDMETHODCALLTYPE put_PortNumber(signed char Value) = 0;      // 77
  virtual HRESULT STDMETHODCALLTYPE get_SavePath(BSTR* Value) = 0;              // 78, dispid 34
  virtual HRESULT STDMETHODCALLTYPE put_SavePath(BSTR Value) = 0;               // 79
  virtual HRESULT STDMETHODCALLTYPE get_OpenPort(VARIANT_BOOL* Value) = 0;      // 80, dispid 20
  virtual HRESULT STDMETHODCALLTYPE put_OpenPort(VARIANT_BOOL Value) = 0;       // 81
  virtual HRESULT STDMETHODCALLTYPE get_CallerID(BSTR* Value) = 0;              // 82, dispid 35
  virtual HRESULT STDMETHODCALLTYPE put_CallerID(BSTR Value) = 0;               // 83
  virtual HRESULT STDMETHODCALLTYPE get_QorEvent(BSTR* Value) = 0;              // 84, dispid 36
  virtual HRESULT STDMETHODCALLTYPE put_QorEvent(BSTR Value) = 0;               // 85

 protected:
  ~IQorvX() = default;
};

// Number of vtable slots of IQorvX, its IUnknown and IDispatch slots included.
inline constexpr int IQorvXVtableSlots = 86;

// The event interface is dispatch-only: a sink is an IDispatch that answers
// DIID_IQorvXEvents, and events reach it through Invoke with these dispids.
struct IQorvXEvents : IDispatch {
 protected:
  ~IQorvXEvents() = default;
};

inline constexpr DISPID DISPID_QorvX_OnActivate = 1;
inline constexpr DISPID DISPID_QorvX_OnClick = 2;
inline constexpr DISPID DISPID_QorvX_OnCreate = 3;
inline constexpr DISPID DISPID_QorvX_OnDblClick = 5;
inline constexpr DISPID DISPID_QorvX_OnDestroy = 6;
inline constexpr DISPID DISPID_QorvX_OnDeactivate = 7;
inline constexpr DISPID DISPID_QorvX_OnKeyPress = 11;  // one VT_I2 argument by reference: the key
inline constexpr DISPID DISPID_QorvX_OnPaint = 16;

}  // namespace QorvProj1_TLB

using QorvProj1_TLB::CLSID_QorvX;
using QorvProj1_TLB::DIID_IQorvXEvents;
using QorvProj1_TLB::IID_IQorvX;
using QorvProj1_TLB::IQorvX;
using QorvProj1_TLB::IQorvXEvents;
using QorvProj1_TLB::LIBID_QorvProj1;
using QorvProj1_TLB::TxActiveFormBorderStyle;
using QorvProj1_TLB::TxHelpType;
using QorvProj1_TLB::TxMouseButton;
using QorvProj1_TLB::TxPrintScale;
