// Shared internals of the host platform layer: the last-error slot, the
// injected failures of kit_test::FailCall, errno translation, and the reset
// hooks each part of the layer registers with kit_test::Reset.
#ifndef PLATFORM_HOST_INTERNAL_H
#define PLATFORM_HOST_INTERNAL_H

#include <string>

#include "platform/win32.h"

namespace kit_host {

void SetLastErrorCode(DWORD error);

// True when kit_test::FailCall armed a failure for `function`; consumes one
// count and stores the chosen error in *error (and as the last error).
bool InjectedFailure(const char* function, DWORD* error);

// Whether `function` is a name of win32.h (FailCall warns about others).
bool IsKnownFunction(const char* function);

// The Win32 error closest to an errno value.
DWORD ErrorFromErrno(int err);

// The running program's path as GetModuleFileNameA reports it.
std::string ModuleFileName();

// Bytes as a JSON string literal, each byte the character of that code
// point (the message box log's form).
std::string JsonString(const std::string& bytes);

// Each part of the layer forgets its state; called by kit_test::Reset.
void ResetRegistry();
void ResetProcesses();
void ResetMessageBoxes();
void ResetSystemInfo();
void ResetGlobalMemory();

}  // namespace kit_host

#endif
