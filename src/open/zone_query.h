// Windows' own answer to "is this server the organisation's?": the zone that its zone
// settings (Internet Options, or the administrator's policy) give the URL file://server/share.
#pragma once

namespace cvt {

// True only when the zone manager places url in the Local intranet zone; Trusted sites and every
// other zone count as outside.
// urlmon is loaded from the system folder for this question alone, so that the plug-in's
// imports stay those of every Windows it runs on; when it cannot be loaded, the security
// manager cannot be made, or the mapping fails, the answer is false.
bool ZoneSaysInside(const wchar_t* url);

}  // namespace cvt
