// Small steps that the Windows back end's file services share among their
// files (windows_files.cpp, windows_folder.cpp, windows_identity.cpp); not
// for use outside that back end.
#pragma once

#include <memory>
#include <string>

#include "platform/file_system.h"
#include "platform/windows_text.h"  // brings <windows.h>, lean and without min/max

namespace talvoren::windows {

// A wide path to the narrow code page the C library opens files with; empty
// when some character has no narrow form there.
std::string narrowPath(const std::wstring& wide);

// The game's error for a Windows error code, which it keeps for the reason.
FileError errorOf(DWORD code);

// The error of the last system call that failed on this thread.
FileError lastError();

// No error when `failed` is false, else lastError(): for calls that tell
// only whether they failed.
FileError unless(bool failed);

// The owner of the file held open by `file`, as SID text ("S-1-5-21-...");
// empty when its security descriptor cannot be read or names none.
std::string ownerOf(HANDLE file);

// What the file's information by its handle tells: a folder or a plain file,
// writable or read-only, its volume, file ID and size.
EntryInfo entryOf(const BY_HANDLE_FILE_INFORMATION& data);

// Whether the open file is a symbolic link, a junction or another name for
// some other file (a name surrogate), and not a file of its own; a tag that
// cannot be read counts as one.
bool isNameSurrogate(HANDLE file, DWORD attributes);

// The save's open file over `file`, which it closes when closed or destroyed.
std::unique_ptr<OpenFile> makeOpenFile(HANDLE file);

}  // namespace talvoren::windows
