// The interfaces of the stand-in movie control that no system header
// declares: the control's scripting interface, its events interface and our
// own test interface. Only identifiers and the members our code needs are
// declared; callers reach the scripting methods through IDispatch by name, so
// the vtable below is ours alone.
#pragma once

#include <ocidl.h>
#include <oleidl.h>
#include <windows.h>

// The control's class.
inline constexpr CLSID CLSID_FlashStandin = {
    0xD27CDB6E, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
inline constexpr wchar_t CLSID_FlashStandinText[] = L"{D27CDB6E-AE6D-11CF-96B8-444553540000}";

// The scripting interface (dual).
inline constexpr IID IID_IFlashScripting = {
    0xD27CDB6C, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// The events interface: a dispinterface, so its sinks are IDispatch.
inline constexpr IID DIID_IFlashEvents = {
    0xD27CDB6D, 0xAE6D, 0x11CF, {0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

// Our own test interface {68A01ABF-147C-4575-8990-595E824ECDA2}.
inline constexpr IID IID_IStandinTest = {
    0x68A01ABF, 0x147C, 0x4575, {0x89, 0x90, 0x59, 0x5E, 0x82, 0x4E, 0xCD, 0xA2}};

// Event DISPIDs of the events interface.
enum : DISPID {
  DISPID_FLASH_READYSTATECHANGE = -609,  // (long newState)
  DISPID_FLASH_ONPROGRESS = 1958,        // (long percentDone)
  DISPID_FLASH_FSCOMMAND = 150,          // (BSTR command, BSTR args)
  DISPID_FLASH_FLASHCALL = 197,          // (BSTR request)
};

// Method DISPIDs of the scripting interface (our own choice; callers look
// them up by name).
enum : DISPID {
  DISPID_FLASH_PLAY = 1201,
  DISPID_FLASH_STOP = 1202,
  DISPID_FLASH_FLASHVERSION = 1203,
  DISPID_FLASH_LOADMOVIE = 1204,
  DISPID_FLASH_SETVARIABLE = 1205,
  DISPID_FLASH_GETVARIABLE = 1206,
  DISPID_FLASH_CALLFUNCTION = 1207,
};

struct IFlashScripting : public IDispatch {
  virtual HRESULT STDMETHODCALLTYPE Play() = 0;
  virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
  // Major version in the high 16 bits.
  virtual HRESULT STDMETHODCALLTYPE FlashVersion(long* version) = 0;
  virtual HRESULT STDMETHODCALLTYPE LoadMovie(int layer, BSTR url) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetVariable(BSTR name, BSTR value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVariable(BSTR name, BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE CallFunction(BSTR request, BSTR* reply) = 0;
};

// Steering and observation for tests. Method names given to SetFailure are
// the first word of the journal line of that call (e.g. L"DoVerb",
// L"put_WMode", L"LoadMovie"); L"Invoke" fails every IDispatch::Invoke.
struct IStandinTest : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetFlashVersion(long version) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetMiscStatus(DWORD status) = 0;
  // In hundredths of a millimetre.
  virtual HRESULT STDMETHODCALLTYPE SetExtent(long cx, long cy) = 0;
  // The next calls of the named method answer result without doing their
  // work; S_OK removes the rule.
  virtual HRESULT STDMETHODCALLTYPE SetFailure(LPCWSTR method, HRESULT result) = 0;
  // What CallFunction answers.
  virtual HRESULT STDMETHODCALLTYPE SetCallReply(LPCWSTR reply) = 0;
  // Invokes the event on every events sink; args in declaration order.
  virtual HRESULT STDMETHODCALLTYPE FireEvent(DISPID dispid, ULONG count, const VARIANT* args) = 0;
  // Asks the windowless site to repaint rect (nil: everything).
  virtual HRESULT STDMETHODCALLTYPE RequestRepaint(const RECT* rect) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetJournalCount(ULONG* count) = 0;
  // S_FALSE and nil for an index past the end.
  virtual HRESULT STDMETHODCALLTYPE GetJournalLine(ULONG index, BSTR* line) = 0;
  virtual HRESULT STDMETHODCALLTYPE ClearJournal() = 0;
  // The bytes of the latest download. size receives the full length; only
  // min(capacity, size) bytes are copied; a short buffer gives
  // HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER).
  virtual HRESULT STDMETHODCALLTYPE GetReceivedBytes(ULONG capacity, BYTE* buffer, ULONG* size) = 0;
  // Live COM objects of the DLL (controls, connection helpers, callbacks,
  // factories), this control included, and the server lock count.
  virtual HRESULT STDMETHODCALLTYPE GetLiveObjects(long* objects, long* locks) = 0;
};

#ifdef __CRT_UUID_DECL
// For __uuidof and ComPtr::As.
__CRT_UUID_DECL(IFlashScripting, 0xD27CDB6C, 0xAE6D, 0x11CF, 0x96, 0xB8, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00)
__CRT_UUID_DECL(IStandinTest, 0x68A01ABF, 0x147C, 0x4575, 0x89, 0x90, 0x59, 0x5E, 0x82, 0x4E, 0xCD, 0xA2)
#endif
