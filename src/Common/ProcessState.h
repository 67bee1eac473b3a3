// Process-wide values the entry writes during start-up, before any worker
// thread exists, and that the crash handler and the install flow read later.
// No lock guards them: written once on the first thread, read afterwards.
#pragma once
#include <cstdint>
#include <string>

namespace platform {
class NamedMutex;
}

namespace process_state {

// The single-instance mutex, owned from start-up until shutdown (or until the
// install flow restarts the program). Null when not held.
extern platform::NamedMutex* g_singleInstanceMutex;
extern int32_t g_downloaderId;
// "MV_UI_Frame_" and the downloader id; empty when the package gave no id.
extern std::wstring g_mainWindowClassName;

}  // namespace process_state
