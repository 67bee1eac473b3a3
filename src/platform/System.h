// Small system queries. Any thread.
#pragma once
#include <cstdint>
#include <string>

namespace platform {

// Milliseconds of CLOCK_MONOTONIC (GetTickCount wraps at 32 bits as on Windows).
uint32_t GetTickCount();
uint64_t GetTickCount64();

// IsWow64Process stand-in: sets *runsOn64BitSystem to true when the operating
// system is 64-bit. False when the query is unavailable. Tests force a 32-bit
// system with VORNIK_FORCE_32BIT_OS=1 and an unavailable query with
// VORNIK_FORCE_32BIT_OS=unavailable.
bool IsWow64Process(bool* runsOn64BitSystem);

// COM stand-ins: nothing to initialise here, so they succeed.
bool CoInitializeApartment();
void CoUninitialize();

// HRESULT of creating the firewall manager COM class: there is none here (a
// failure path of PLATFORM.md; the first call logs why).
constexpr uint32_t kClassNotRegistered = 0x80040154u;
uint32_t CreateFirewallManager();

}  // namespace platform
