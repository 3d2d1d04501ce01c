// OLE helpers that read what a class registered about itself, for objects
// that answer their containers from the registry.
#pragma once

#include "oleidl.h"

// A registry value that is not of the form its key requires.
constexpr HRESULT REGDB_E_INVALIDVALUE = static_cast<HRESULT>(0x80040153u);

// The verbs under HKEY_CLASSES_ROOT\CLSID\{clsid}\Verb, in verb-number order.
// Each subkey is the verb number; its default value is "name,flags,attribs"
// (menu flags and OLEVERBATTRIB bits as decimal numbers). The caller owns the
// enumerator; the names it hands out are in task memory, freed by the caller.
// Results: E_INVALIDARG for a null out pointer, REGDB_E_CLASSNOTREG when the
// class is not registered, OLEOBJ_E_NOVERBS when it registers no verb,
// REGDB_E_INVALIDVALUE when a verb's key or value is not of that form,
// E_OUTOFMEMORY when memory runs out. *ppenum is null after a failure.
HRESULT WINAPI OleRegEnumVerbs(REFCLSID clsid, IEnumOLEVERB** ppenum);
