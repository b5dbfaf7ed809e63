#include "open/launch_plan.h"

#include "open/path_ends.h"
#include "open/path_logic.h"

namespace cvt {

namespace {

bool EndsWithBackslash(const char16_t* path) {
    if (*path == u'\0') return false;
    const char16_t* p = path;
    while (p[1] != u'\0') ++p;
    return *p == u'\\';
}

}  // namespace

OpenVerdict PrepareOpen(char16_t* workCopy, char16_t** pathOut) {
    *pathOut = nullptr;
    char16_t* path = ExtractPath(workCopy);
    if (path == nullptr || *path == u'\0') return OpenVerdict::kNoPath;
    *pathOut = path;
    if (ValidatePath(path)) return OpenVerdict::kLaunch;
    // A sentence after the path may hold what no name may ("ご確認ください?", "10:00"): the
    // name then ends at the longest candidate end before it, when there is one.
    const std::size_t restStart = CuttableRestStart(path);
    if (restStart == 0) return OpenVerdict::kInvalidPath;
    std::size_t ends[kMostCandidateEnds];
    const std::size_t count = ListCandidateEnds(path, restStart, ends, kMostCandidateEnds);
    for (std::size_t i = 0; i < count; ++i) {
        const char16_t kept = path[ends[i]];
        path[ends[i]] = u'\0';
        if (ValidatePath(path)) return OpenVerdict::kLaunch;
        path[ends[i]] = kept;
    }
    return OpenVerdict::kInvalidPath;
}

OpenVerdict PrepareOpen(const char16_t* selectedText, char16_t* workCopy, std::size_t workCapacity,
                        char16_t** pathOut) {
    *pathOut = nullptr;
    if (selectedText == nullptr) return OpenVerdict::kNoPath;
    if (Failed(BoundedCopy(workCopy, workCapacity, selectedText, kCopyWholeString))) {
        return OpenVerdict::kNoPath;
    }
    return PrepareOpen(workCopy, pathOut);
}

bool IsInterpreterSeparatorOrControl(char16_t c) {
    if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
    if (c >= 0x2000 && c <= 0x200A) return true;
    switch (c) {
        case 0x00A0:
        case 0x00FF:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
        case 0xFEFF:
            return true;
    }
    return false;
}

namespace {

bool InterpreterWouldChangeIt(const char16_t* path) {
    if (ContainsAnyOf(InterpreterSpecialChars, path)) return true;
    for (const char16_t* p = path; *p != u'\0'; ++p) {
        if (IsInterpreterSeparatorOrControl(*p)) return true;
    }
    return false;
}

}  // namespace

LaunchPlan ChooseLaunch(const char16_t* path, bool fileSettingOn, bool interpreterAllowed) {
    if (fileSettingOn && PathNamesFile(path)) {
        return {LaunchForm::kSelectFile, kExplorerProgram, ProgramFolder::kWindows, kShowNormal};
    }
    if (!interpreterAllowed || PathNeedsQuoting(path) || InterpreterWouldChangeIt(path)) {
        return {LaunchForm::kQuotedFolder, kExplorerProgram, ProgramFolder::kWindows, kShowNormal};
    }
    return {LaunchForm::kStart, kInterpreterProgram, ProgramFolder::kSystem, kHide};
}

Status FormatLaunchParameters(const LaunchPlan& plan, const char16_t* path, char16_t* buffer,
                              std::size_t capacity) {
    if (path == nullptr) return kInvalidArg;
    const bool endsWithBackslash = EndsWithBackslash(path);
    switch (plan.form) {
        case LaunchForm::kSelectFile:
            return BoundedFormat(buffer, capacity, u"/select,\"%s\"", path);
        case LaunchForm::kQuotedFolder:
            return BoundedFormat(buffer, capacity, u"\"%s%s", path,
                                 endsWithBackslash ? u"\"" : u"\\\"");
        case LaunchForm::kStart:
            return BoundedFormat(buffer, capacity, u"/c start %s%c", path,
                                 endsWithBackslash ? u'\0' : u'\\');
    }
    return kInvalidArg;
}

}  // namespace cvt
