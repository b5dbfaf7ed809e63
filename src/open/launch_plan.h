// The pure part of the open command: from a captured selection to the program, window state
// and parameter text handed to the shell. The Win32 command keeps only the settings reads,
// the dialogs, the allocations and the ShellExecuteExW call.
//
// Road for the Win32 caller:
//   1. workCopy = new char16_t[WorkCopyCapacity(length of SelectedText)];
//   2. PrepareOpen(SelectedText, workCopy, capacity, &path): kNoPath -> return silently,
//      kInvalidPath -> invalid-path message box, kLaunch -> go on with path;
//   3. fileOn = ReadSetting(TrivaneFile) == 1 (read before the confirmation dialog);
//      confirmation and progress window;
//   4. plan = ChooseLaunch(path, fileOn, no DisableCMD policy); parameters = new
//   char16_t[LaunchParameterCapacity(
//      length of path)]; FormatLaunchParameters(plan, path, parameters, that capacity);
//   5. ShellExecuteExW with verb "open", plan.program in plan.folder by its full path,
//      parameters, plan.showCommand.
#pragma once

#include <cstddef>

#include "common/bounded_text.h"

namespace cvt {

enum class LaunchForm {
    kSelectFile,    // explorer.exe /select,"<path>"
    kQuotedFolder,  // explorer.exe "<path>\"
    kStart,         // cmd.exe /c start <path>\ (hidden)
};

// The folder a program is launched from, by its full path: a bare name would be looked for
// in the host's current folder too, which follows its file dialogs.
enum class ProgramFolder {
    kSystem,   // GetSystemDirectoryW, for cmd.exe
    kWindows,  // the shared Windows folder, for explorer.exe
};

struct LaunchPlan {
    LaunchForm form;
    const char16_t* program;  // u"explorer.exe" or u"cmd.exe", without a folder
    ProgramFolder folder;     // where program lives
    int showCommand;          // SW_SHOWNORMAL (1) for Explorer, SW_HIDE (0) for cmd.exe
};

inline constexpr char16_t kExplorerProgram[] = u"explorer.exe";
inline constexpr char16_t kInterpreterProgram[] = u"cmd.exe";
inline constexpr char16_t kOpenVerb[] = u"open";
constexpr int kShowNormal = 1;
constexpr int kHide = 0;

// What keeps a path away from "cmd.exe /c start <path>", so that mail text can neither name
// a variable nor make start open (or run) another place than the one shown:
// - '%' and '!': the interpreter expands %name% (and !name! under delayed expansion);
// - ',', ';' and '=': it splits start's arguments there, as at a blank;
// - every control character (U+0000-U+001F, U+007F-U+009F): it splits at tab, vertical tab
//   and form feed, ends the command at a line feed, and the rest are invisible in the
//   question, so none of them may reach it;
// - every space other than U+0020 (U+00A0, U+00FF, U+1680, U+2000-U+200A, U+2028, U+2029,
//   U+202F, U+205F, U+3000, U+FEFF): converted to the console's code page they may become a
//   byte the interpreter or the shell takes for a separator (0xFF is a blank in the OEM code
//   pages), so start would get a shortened path without its final backslash.
// The path then goes to quoted Explorer, which opens the same folder.
inline constexpr char16_t InterpreterSpecialChars[] = u"%!,;=";
bool IsInterpreterSeparatorOrControl(char16_t c);

// Work copy of a selection of selectionLength characters, NUL included.
constexpr std::size_t WorkCopyCapacity(std::size_t selectionLength) { return selectionLength + 1; }

// Parameter buffer for a path of pathLength characters; the longest form needs
// pathLength + 11, so formatting never cuts the path.
constexpr std::size_t LaunchParameterCapacity(std::size_t pathLength) { return pathLength + 20; }

enum class OpenVerdict {
    kNoPath,       // nothing to open; the command ends without a sign
    kInvalidPath,  // the command shows the invalid-path message
    kLaunch,       // *pathOut is the path to launch
};

// Reads and validates the path in workCopy, in place. A path that holds a character no path
// may hold only in a sentence after its last folder ends at the longest candidate end before
// that sentence. *pathOut is set to the path for kLaunch and kInvalidPath, to nullptr for
// kNoPath.
OpenVerdict PrepareOpen(char16_t* workCopy, char16_t** pathOut);

// Copies selectedText into workCopy (workCapacity characters, see WorkCopyCapacity) and
// runs PrepareOpen on it. A failed copy counts as no path.
OpenVerdict PrepareOpen(const char16_t* selectedText, char16_t* workCopy, std::size_t workCapacity,
                        char16_t** pathOut);

// The first form that applies: select file (fileSettingOn is TrivaneFile == 1 and the path
// names a file), quoted folder (the path needs quoting, holds a character of
// InterpreterSpecialChars or one that IsInterpreterSeparatorOrControl names, or the
// interpreter is not allowed because a policy disables it), else start.
LaunchPlan ChooseLaunch(const char16_t* path, bool fileSettingOn, bool interpreterAllowed = true);

// Writes the parameters of plan for path with BoundedFormat and returns its status:
//   kSelectFile   "/select,\"%s\""   path, quoted: Explorer splits its command line at commas
//   kQuotedFolder "\"%s%s"           path, then "\"" after a final backslash, else "\\\""
//   kStart        "/c start %s%c"    path, then '\\' unless the path ends with one
// The path itself is never changed; an empty path counts as not ending with a backslash.
Status FormatLaunchParameters(const LaunchPlan& plan, const char16_t* path, char16_t* buffer,
                              std::size_t capacity);

}  // namespace cvt
