// Owners of what Win32 hands out to be given back: kernel handles, registry keys,
// find handles, mapped views, GDI objects, memory blocks, device contexts, COM
// references and COM itself. One of each for all the Windows code; each closes
// what it holds when destroyed, so an early return or an exception leaves
// nothing open.
#pragma once

#include <windows.h>

#include <objbase.h>

namespace platform {

// One owner for every kind of handle that a single function gives back.
// `Traits` names the handle type, the value that holds nothing and the
// function that gives the handle back.
template <typename Traits>
class UniqueResource {
 public:
  using Value = typename Traits::Value;

  UniqueResource() = default;
  explicit UniqueResource(Value value) : value_(value) {}
  ~UniqueResource() { reset(); }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }

  Value get() const { return value_; }
  bool valid() const { return Traits::Valid(value_); }
  // Gives back what is held, then holds `value`.
  void reset(Value value = Traits::Empty()) {
    if (valid()) Traits::Close(value_);
    value_ = value;
  }
  // Lets go without giving back: someone else owns it now.
  Value release() {
    const Value value = value_;
    value_ = Traits::Empty();
    return value;
  }

 private:
  Value value_ = Traits::Empty();
};

namespace handle_traits {

// Kernel objects: functions that fail give back either of two values.
struct Kernel {
  using Value = HANDLE;
  static Value Empty() { return nullptr; }
  static bool Valid(Value value) { return value != nullptr && value != INVALID_HANDLE_VALUE; }
  static void Close(Value value) { CloseHandle(value); }
};
struct Key {
  using Value = HKEY;
  static Value Empty() { return nullptr; }
  static bool Valid(Value value) { return value != nullptr; }
  static void Close(Value value) { RegCloseKey(value); }
};
struct Find {
  using Value = HANDLE;
  static Value Empty() { return INVALID_HANDLE_VALUE; }
  static bool Valid(Value value) { return value != INVALID_HANDLE_VALUE; }
  static void Close(Value value) { FindClose(value); }
};
struct View {
  using Value = void*;
  static Value Empty() { return nullptr; }
  static bool Valid(Value value) { return value != nullptr; }
  static void Close(Value value) { UnmapViewOfFile(value); }
};
template <typename Object>
struct Gdi {
  using Value = Object;
  static Value Empty() { return nullptr; }
  static bool Valid(Value value) { return value != nullptr; }
  static void Close(Value value) { DeleteObject(value); }
};
struct Global {
  using Value = HGLOBAL;
  static Value Empty() { return nullptr; }
  static bool Valid(Value value) { return value != nullptr; }
  static void Close(Value value) { GlobalFree(value); }
};
struct Local {
  using Value = HLOCAL;
  static Value Empty() { return nullptr; }
  static bool Valid(Value value) { return value != nullptr; }
  static void Close(Value value) { LocalFree(value); }
};

}  // namespace handle_traits

using UniqueHandle = UniqueResource<handle_traits::Kernel>;  // files, mappings, processes, tokens
using UniqueKey = UniqueResource<handle_traits::Key>;
using UniqueFind = UniqueResource<handle_traits::Find>;  // FindFirstFileA
using UniqueView = UniqueResource<handle_traits::View>;  // MapViewOfFile
// A brush, font or bitmap of one's own (not a stock object or a system colour's brush).
template <typename Object>
using UniqueGdiObject = UniqueResource<handle_traits::Gdi<Object>>;
using UniqueGlobal = UniqueResource<handle_traits::Global>;  // GlobalAlloc
using UniqueLocal = UniqueResource<handle_traits::Local>;    // FormatMessageA's buffer

// A window's device context (GetDC), given back to that window.
class WindowDC {
 public:
  explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
  ~WindowDC() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  WindowDC(const WindowDC&) = delete;
  WindowDC& operator=(const WindowDC&) = delete;
  HDC get() const { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// One reference to a COM object.
template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;

  Interface* operator->() const { return pointer_; }
  Interface* get() const { return pointer_; }
  bool valid() const { return pointer_ != nullptr; }
  void reset() {
    if (pointer_) pointer_->Release();
    pointer_ = nullptr;
  }
  // For functions that hand out a typed pointer (CreateStreamOnHGlobal).
  Interface** out() {
    reset();
    return &pointer_;
  }
  // For functions that take an interface id (CoCreateInstance, QueryInterface).
  void** outVoid() { return reinterpret_cast<void**>(out()); }

 private:
  Interface* pointer_ = nullptr;
};

// COM for the calling thread (single-threaded apartment); undone on
// destruction only when it succeeded.
class ComInitialization {
 public:
  ComInitialization() : result_(CoInitialize(nullptr)) {}
  ~ComInitialization() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComInitialization(const ComInitialization&) = delete;
  ComInitialization& operator=(const ComInitialization&) = delete;
  bool Succeeded() const { return SUCCEEDED(result_); }
  HRESULT Result() const { return result_; }

 private:
  HRESULT result_;
};

}  // namespace platform
