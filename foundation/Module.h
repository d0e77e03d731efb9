// The module's entry routine and its notifications (internal).
#pragma once

enum ZaqModuleReason : unsigned long {
    ZAQ_PROCESS_DETACH = 0,
    ZAQ_PROCESS_ATTACH = 1,
    ZAQ_THREAD_ATTACH = 2,
    ZAQ_THREAD_DETACH = 3
};

/// Handles one notification; always returns 1. The shared library's load and unload send the
/// process notifications; the platform sends no thread notifications on Linux.
int ZaqModuleMain(void* module, unsigned long reason, void* reserved);

/// Opens "ZAQ-SDK_Err.html" in the current directory and writes its header (once).
void OpenErrorLog();
/// Closes the log when no process holds the module any more.
void CloseErrorLog();
