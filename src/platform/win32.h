// The few Win32 calls the plug-in makes. On Windows this is <windows.h>; the Linux twin
// gets small stand-ins with the same names and meanings (win32_linux.cpp).
#pragma once

#include <cstddef>
#include <cstdint>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
using BOOL = int;
using DWORD = std::uint32_t;
using HMODULE = void*;
using HINSTANCE = void*;
using HWND = void*;
using LPVOID = void*;
using UINT = unsigned int;
using FARPROC = void (*)();
#define WINAPI
#define TRUE 1
#define FALSE 0
#define MB_ICONWARNING 0x30u
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3

// Backslashes become '/', an existing target is overwritten unless fail_if_exists;
// nonzero on success, else the Windows error code is left for GetLastError.
BOOL CopyFileA(const char* source, const char* target, BOOL fail_if_exists);
DWORD GetLastError();
FARPROC GetProcAddress(HMODULE module, const char* name);
// Writes "[MessageBox 0x<style>] <caption>: <text>" on standard error and returns IDOK.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT style);
BOOL DisableThreadLibraryCalls(HMODULE module);
#endif

// The plug-in's exported entry points: listed in the .def file on Windows, default
// visibility in the Linux twin (everything else there is hidden).
#ifdef _WIN32
#define PLUGIN_EXPORT
#else
#define PLUGIN_EXPORT __attribute__((visibility("default")))
#endif

// True when every byte of [address, address + length) can be read without a fault.
bool Is_Readable_Memory(const void* address, std::size_t length);
