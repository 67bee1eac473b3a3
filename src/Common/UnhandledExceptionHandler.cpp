#include "Common/UnhandledExceptionHandler.h"

void InstallUnhandledExceptionFilter() {}
