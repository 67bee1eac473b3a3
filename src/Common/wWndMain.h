// The process entry of the downloader. Runs on the process's first thread,
// which becomes the UI thread. commandLine is the command line without the
// program name. Every path returns 0.
#pragma once
#include <string>

int wWinMain(void* instance, void* previousInstance, const std::wstring& commandLine, int showCommand);
