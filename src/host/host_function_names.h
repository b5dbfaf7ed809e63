// The host's exported functions, in the order in which the plug-in looks them up. The first
// kRequiredHostFunctionCount must all exist; the rest are looked up without failing. The
// stand-in host's build reads this list to decide what its executable exports.
#pragma once

#include <cstddef>

namespace cvt {

inline constexpr const char* kHostFunctionNames[] = {
    "CVA_GetVersion",
    "CVA_Command",
    "CVA_GetWindowHandles",
    "CVA_RegisterCommand",
    "CVA_RegisterUICallback",
    "CVA_GetDataFolder",
    "CVA_GetTempFolder",
    "CVA_GetTempFileName",
    "CVA_GetCurrentMailBox",
    "CVA_SetCurrentMailBox",
    "CVA_GetCurrentFolder",
    "CVA_SetCurrentFolder",
    "CVA_GetFolderDisplayName",
    "CVA_SetMessageText",
    "CVA_GetCurrentMail",
    "CVA_SetCurrentMail",
    "CVA_GetNextMail",
    "CVA_SetSel",
    "CVA_AppendMessage",
    "CVA_MoveSelectedMessages",
    "CVA_GetStatus",
    "CVA_ComposeMail",
    "CVA_GetCharSet",
    "CVA_GetSource",
    "CVA_SetSource",
    "CVA_GetHeader",
    "CVA_GetText",
    "CVA_SetText",
    "CVA_GetSpecifiedHeader",
    "CVA_SetSpecifiedHeader",
    "CVA_CompGetCharSet",
    "CVA_CompGetSource",
    "CVA_CompSetSource",
    "CVA_CompGetHeader",
    "CVA_CompGetSpecifiedHeader",
    "CVA_CompSetSpecifiedHeader",
    "CVA_CompGetText",
    "CVA_CompSetText",
    "CVA_CompAttachFile",
    "CVA_Alloc",
    "CVA_ReAlloc",
    "CVA_Free",
    "CVA_ISO_2022_JP",
    "CVA_ISO_2022_KR",
    "CVA_HZ_GB2312",
    "CVA_ISO_8859_2",
    "CVA_EUC_JP",
    "CVA_UTF_7",
    "CVA_UTF_8",
    "CVA_B64Convert",
    "CVA_QPConvert",
    "CVA_MIMEHeader",
    "CVA_SerializeRcpts",
    "CVA_Connect",
    // Optional: CVA_SetStatus becomes required on hosts from version "2.00.06" on.
    "CVA_SetStatus",
    "CVA_NextUnread",
    "CVA_ProcessMail",
    "CVA_GetSize",
};

inline constexpr std::size_t kHostFunctionCount =
    sizeof(kHostFunctionNames) / sizeof(kHostFunctionNames[0]);
inline constexpr std::size_t kRequiredHostFunctionCount = 54;
static_assert(kHostFunctionCount == 58, "the host offers 58 functions");

}  // namespace cvt
