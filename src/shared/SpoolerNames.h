// Tests on the names of queues and of the running process.
#pragma once

#include <string>

// The marker of an iPrint upload in a name.
extern const wchar_t* const kIPrintUpload;

// The text contains (case-sensitive) "qz ", "QZ ", "Tarvokin", "TARVOKIN" or "Calvenor".
bool isMakerName(const std::wstring& text);
// The text contains "iPrintUpload".
bool isIPrintUpload(const std::wstring& text);
// A non-empty name that begins with two backslashes and contains "ipp://".
bool isIPrintQueue(const std::wstring& name);
// The process's file name, ignoring case, contains "spoolsv.exe" or
// "printisolationhost.exe".
bool isSpoolerProcess();
