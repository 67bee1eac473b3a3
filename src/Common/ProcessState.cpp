#include "Common/ProcessState.h"

namespace process_state {

platform::NamedMutex* g_singleInstanceMutex = nullptr;
int32_t g_downloaderId = 0;
std::wstring g_mainWindowClassName;

}  // namespace process_state
